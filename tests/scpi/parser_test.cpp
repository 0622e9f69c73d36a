// The parser through a session on the fake instrument: what reaches the
// instrument, what is replied and which errors are queued, line by line.
#include "FakeInstrument.h"
#include "scpi/Session.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Calls = std::vector<std::string>;
using Codes = std::vector<int>;

struct LineCase {
    std::string line;
    Calls calls;        // what reached the instrument, in order
    std::string reply;  // "" for none
    Codes errors;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class Line : public ::testing::TestWithParam<LineCase> {};

TEST_P(Line, ReachesTheInstrumentAsWritten) {
    const LineCase& c = GetParam();
    FakeInstrument fake;
    scpi::Session session(fake);
    const scpi::LineResult r = session.execute(c.line);
    EXPECT_EQ(fake.calls, c.calls);
    EXPECT_EQ(r.replied, !c.reply.empty());
    EXPECT_EQ(r.reply, c.reply);
    Codes codes;
    for (const auto& e : r.errors) codes.push_back(e.code);
    EXPECT_EQ(codes, c.errors);
    EXPECT_EQ(session.queue().count(), c.errors.size());
}

LineCase set(std::string line, std::string call) { return {std::move(line), {std::move(call)}, "", {}}; }
LineCase refused(std::string line, int code) { return {std::move(line), {}, "", {code}}; }
LineCase query(std::string line, std::string reply) { return {std::move(line), {}, std::move(reply), {}}; }

INSTANTIATE_TEST_SUITE_P(Headers, Line, ::testing::Values(
    set("FREQ0 1000", "setFrequency(0,1000)"),
    set("frequency1 1000", "setFrequency(1,1000)"),
    set("FrEqUeNcY0 5", "setFrequency(0,5)"),
    refused("FREQU0 5", -113),          // neither the short nor the long form
    refused("FREQ 10", -113),           // the suffix is required
    refused("FREQ2 10", -114),           // a suffix out of range
    refused("FREQ0000 1", -114),
    refused("FREQ2?", -114),
    refused("CLOC1 5", -113),           // no suffix allowed here
    refused("SEL:FREQ0 1", -113),
    refused("PHAS4 1", -114),
    refused("SWE2:INIT", -114),
    refused("SWE:INIT", -113),
    refused("SEL:PHAS4 1", -113),    // no suffix there at all
    set("PHAS3 7", "setPhase(3,7)"),
    set("phase2 12.9", "setPhase(2,12.9)"),
    set("INIT", "initialise()"),
    set("initialise", "initialise()"),
    refused("INITI", -113),
    refused("INITialize", -113),
    set("*RST", "reset()"),
    set("*rst", "reset()"),
    refused("*IDN", -113),              // query only
    refused("*FOO?", -113),
    refused(":*IDN?", -113),
    set("CONT:CLE", "clear()"),
    set("control:clear", "clear()"),
    refused("CONT:CLE?", -113),
    refused("CONT:CLE 1", -108),
    set("SWE0:INIT", "startSweep(0)"),
    set("sweep1:abort", "stopSweep(1)"),
    refused("SWE0:STAT", -113),
    refused("SYST:ERR:COUN", -113),
    refused("WORD?", -113),
    refused("FREQ0:", -102),
    refused("::WORD 1", -102),
    refused("FR@Q0 1", -102),
    refused("?", -102),
    refused("FREQ0? 5", -108),
    set(":WORD 1", "sendWord(1)")));

INSTANTIATE_TEST_SUITE_P(Numbers, Line, ::testing::Values(
    set("FREQ0 10 KHZ", "setFrequency(0,10000)"),
    set("FREQ0 10kHz", "setFrequency(0,10000)"),
    set("FREQ0 2.5MHZ", "setFrequency(0,2500000)"),  // MHZ is megahertz
    set("FREQ0 7hz", "setFrequency(0,7)"),
    set("FREQ0 1.5e3", "setFrequency(0,1500)"),
    set("FREQ0 1.5E+3HZ", "setFrequency(0,1500)"),
    set("FREQ0 25E-1 khz", "setFrequency(0,2500)"),
    set("FREQ0 .5", "setFrequency(0,0.5)"),
    set("FREQ0 5.", "setFrequency(0,5)"),
    set("FREQ0 +7", "setFrequency(0,7)"),
    refused("FREQ0 -3", -222),          // below the range: nothing happens
    set("FREQ0\t12", "setFrequency(0,12)"),
    set("CLOC 60MHZ", "setClock(60000000)"),
    set("SWE1:STAR 1kHz", "setSweep(1,0,1000)"),
    set("SWEEP0:STOP 2e6", "setSweep(0,1,2000000)"),
    set("SWE0:STEP 100", "setSweep(0,2,100)"),
    set("SWE0:LOOP 3", "setSweep(0,3,3)"),
    set("SWE1:DEL 2.5", "setSweep(1,4,2.5)"),
    set("SWE1:DEL 2.5ms", "setSweep(1,4,2.5)"),
    set("SWE0:DEL 1S", "setSweep(0,4,1000)"),
    refused("FREQ0 10 V", -131),
    refused("FREQ0 10GHZ", -222),
    set("FREQ0 0.0125GHZ", "setFrequency(0,12500000)"),
    set("FREQ0 2.5mahz", "setFrequency(0,2500000)"),
    set("SWE0:DEL 1500US", "setSweep(0,4,1.5)"),
    set("FREQ0 25MHZ", "setFrequency(0,25000000)"),  // half the clock: the top
    refused("FREQ0 25.0001MHZ", -222),
    set("FREQ1 MIN", "setFrequency(1,0)"),
    set("FREQ1 maximum", "setFrequency(1,25000000)"),
    set("FREQ1 DEF", "setFrequency(1,0)"),
    set("PHAS2 MAX", "setPhase(2,4095)"),
    refused("PHAS2 4096", -222),
    refused("PHAS2 -1", -222),
    set("CLOC MIN", "setClock(1000)"),
    set("CLOC MAX", "setClock(1000000000)"),
    set("CLOC DEF", "setClock(50000000)"),
    refused("CLOC 999", -222),
    refused("CLOC 1e40", -222),
    refused("CLOC 1001MHZ", -222),
    set("SWE1:LOOP MAX", "setSweep(1,3,9999999)"),
    refused("SWE1:LOOP 0", -222),
    set("SWE0:STOP DEF", "setSweep(0,1,10000000)"),
    set("SWE0:DEL MAX", "setSweep(0,4,100000)"),
    refused("SWE0:DEL 100001", -222),
    refused("SWE0:STAR 26MHZ", -222),
    refused("FREQ0 MAXI", -104),
    refused("FREQ0 1e", -131),
    refused("PHAS0 5HZ", -131),
    refused("SWE0:DEL 5HZ", -131),
    refused("SWE0:LOOP 3MS", -131),
    refused("FREQ0 1e999", -222),
    refused("FREQ0 1e305 MHZ", -222),
    refused("FREQ0 1.2.3", -102),
    refused("FREQ0 10 20", -102),
    refused("FREQ0 -", -102),
    refused("FREQ0 - 5", -102),
    refused("FREQ0 @", -102),
    refused("FREQ0 \"5", -102),
    refused("FREQ0 :WORD 5", -102),
    refused("FREQ0 ON", -104),
    refused("FREQ0 \"5\"", -104),
    refused("FREQ0 #H10", -104),
    refused("FREQ0", -109),
    refused("FREQ0 1,2", -108),
    refused("FREQ0 1,", -108)));

INSTANTIATE_TEST_SUITE_P(Words, Line, ::testing::Values(
    set("FREQ0:WORD #H40000000", "setFrequencyWord(0,1073741824)"),
    set("FREQ1:WORD 255", "setFrequencyWord(1,255)"),
    set("FREQ0:WORD #h1f", "setFrequencyWord(0,31)"),
    set("FREQ0:WORD #HFFFFFFFF", "setFrequencyWord(0,4294967295)"),
    set("FREQ0:WORD 4294967295", "setFrequencyWord(0,4294967295)"),
    set("FREQ0:WORD #H0000000000000001", "setFrequencyWord(0,1)"),
    refused("FREQ0:WORD #H100000000", -222),
    refused("FREQ0:WORD 4294967296", -222),
    refused("FREQ0:WORD 1.5", -222),
    refused("FREQ0:WORD -1", -222),
    refused("FREQ0:WORD #HXYZ", -102),
    refused("FREQ0:WORD #H", -102),
    refused("FREQ0:WORD #H12 34", -102),
    set("FREQ0:WORD #B101", "setFrequencyWord(0,5)"),
    set("FREQ0:WORD #q17", "setFrequencyWord(0,15)"),
    set("WORD #b1111111111111111", "sendWord(65535)"),
    refused("WORD #B10000000000000000", -222),
    refused("FREQ0:WORD #Q40000000000", -222),
    refused("FREQ0:WORD #B102", -102),
    refused("FREQ0:WORD #Q8", -102),
    refused("FREQ0:WORD #B", -102),
    refused("FREQ0 #B1", -104),         // a frequency is decimal only
    refused("FREQ0:WORD #15abcde", -104),
    refused("FREQ0:WORD 5HZ", -131),
    set("WORD #H1234", "sendWord(4660)"),
    set("WORD 65535", "sendWord(65535)"),
    set("WORD 1e3", "sendWord(1000)"),
    refused("WORD 65536", -222),
    refused("WORD #H10000", -222),
    refused("WORD", -109),
    refused("WORD 1,2", -108)));

INSTANTIATE_TEST_SUITE_P(Booleans, Line, ::testing::Values(
    set("CONT:SYNC ON", "setControl(0,1)"),
    set("cont:sync off", "setControl(0,0)"),
    set("CONT:SELS 1", "setControl(1,1)"),
    set("CONTROL:SELSRC 1", "setControl(1,1)"),
    set("CONT:SLE 0", "setControl(2,0)"),
    set("CONT:RES On", "setControl(3,1)"),
    set("CONT:RESET 1.0", "setControl(3,1)"),
    set("CONT:SYNC 2", "setControl(0,1)"),      // non-zero is ON
    set("CONT:SYNC 0.5", "setControl(0,0)"),    // rounded to 0
    set("CONT:SYNC 0.7", "setControl(0,1)"),
    set("CONT:SYNC -1", "setControl(0,1)"),
    refused("CONT:SYNC 1HZ", -131),
    refused("CONT:SYNC YES", -104),
    refused("CONT:SYNC #H1", -104),
    refused("CONT:SYNC", -109)));

INSTANTIATE_TEST_SUITE_P(Selections, Line, ::testing::Values(
    LineCase{"SEL:FREQ 1", {"selectFrequency(1)"}, "", {-221}},  // SELSRC is 0
    LineCase{"CONT:SELS ON;:SEL:FREQ 1;PHAS 3;FREQ?;PHAS?",
             {"setControl(1,1)", "selectFrequency(1)", "selectPhase(3)"}, "1;3", {}},
    refused("SEL:PHAS 4", -222),
    refused("SEL:FREQ 0.5", -222),
    refused("SEL:FREQ #H1", -104)));

// Keying settings: each form as it reaches the instrument, refusals reach nothing.
INSTANTIATE_TEST_SUITE_P(Keying, Line, ::testing::Values(
    LineCase{"modulation:type qpsk;type?", {"setKeyingType(2)"}, "QPSK", {}},
    refused("MOD:TYPE ASK", -224),
    refused("MOD:TYPE \"FSK\"", -104),
    LineCase{"MOD:PATT \"0110 1001\";PATT?", {"setKeyingPattern(0110 1001)"}, "\"0110 1001\"", {}},
    LineCase{"MOD:PATT '#H0F96';PATT?", {"setKeyingPattern(#H0F96)"}, "\"#H0F96\"", {}},
    LineCase{"MOD:PATT prbs15;PATT?", {"setKeyingPattern(prbs15)"}, "PRBS15", {}},
    LineCase{"MOD:PATT \"01;10\"", {"setKeyingPattern(01;10)"}, "", {-224}},  // ';' inside quotes
    refused("MOD:PATT PRBS8", -224),
    refused("MOD:PATT 0110", -104),
    refused("MOD:PATT \"01\"1\"", -102),
    set("MOD:RATE 2 KHZ", "setKeyingRate(2000)"),
    set("MOD:RATE DEF", "setKeyingRate(1000)"),
    refused("MOD:RATE 5001", -222),
    refused("MOD:RATE 0.009", -222),
    query("MOD:RATE? MIN", "0.01"),
    LineCase{"MOD:COUN 8;COUN?", {"setKeyingCount(8)"}, "8", {}},
    LineCase{"MOD:COUN INF;COUN?", {"setKeyingCount(0)"}, "9.9E37", {}},
    set("MOD:COUN 9.9E37", "setKeyingCount(0)"),
    refused("MOD:COUN 0", -222),
    refused("MOD:COUN 2.5", -222),
    refused("MOD:COUN 4294967296", -222),
    set("MOD:COUN MIN", "setKeyingCount(1)"),
    set("MOD:COUN max", "setKeyingCount(4294967295)"),
    set("MOD:COUN DEF", "setKeyingCount(0)"),  // INFinity, as after *RST
    query("MOD:COUN? MAX", "4294967295"),
    query("MOD:COUN? DEF", "9.9E37"),
    refused("MOD:COUN? 5", -108),
    LineCase{"MOD:STAT 1;STAT ON;STAT?", {"startKeying()"}, "1", {-213}},  // already running
    LineCase{"MOD:STAT ON;STAT OFF;STAT?", {"startKeying()", "stopKeying()"}, "0", {}}));

INSTANTIATE_TEST_SUITE_P(Paths, Line, ::testing::Values(
    LineCase{"SWE1:STAR 1;STOP 2;LOOP 3", {"setSweep(1,0,1)", "setSweep(1,1,2)", "setSweep(1,3,3)"}, "", {}},
    LineCase{"FREQ0 1;FREQ1 2", {"setFrequency(0,1)", "setFrequency(1,2)"}, "", {}},
    LineCase{"FREQ0:WORD 5;FREQ1 3", {"setFrequencyWord(0,5)"}, "", {-113}},  // FREQ1 under FREQ0
    LineCase{"FREQ0:WORD 5;:FREQ1 3", {"setFrequencyWord(0,5)", "setFrequency(1,3)"}, "", {}},
    LineCase{"CONT:SYNC ON;*IDN?;SLE ON", {"setControl(0,1)", "setControl(2,1)"}, "Maker,QZ4471,sim,2.0.0", {}},
    LineCase{"SWE0:STAR 1;:SWE1:STAR 2", {"setSweep(0,0,1)", "setSweep(1,0,2)"}, "", {}},
    LineCase{"FREQ1:WORD #H10;WORD?;:PHAS1?", {"setFrequencyWord(1,16)"}, "#H00000010;0", {}},
    LineCase{"FOO;WORD 1", {}, "", {-113}},                    // a command error drops the rest
    LineCase{"WORD 1,2;WORD 3", {}, "", {-108}},
    LineCase{"WORD 70000;WORD 1", {"sendWord(1)"}, "", {-222}},  // an execution error does not
    LineCase{"WORD 1;;WORD 2;", {"sendWord(1)", "sendWord(2)"}, "", {}},
    LineCase{"WORD 1 ; WORD 2", {"sendWord(1)", "sendWord(2)"}, "", {}},
    LineCase{"*IDN?;*OPC?", {}, "Maker,QZ4471,sim,2.0.0;1", {}}));

INSTANTIATE_TEST_SUITE_P(Queries, Line, ::testing::Values(
    query("*IDN?", "Maker,QZ4471,sim,2.0.0"),
    query("*OPC?", "1"),
    LineCase{"*WAI", {}, "", {}},
    query("FREQ0?", "0.0000"),
    LineCase{"FREQ0:WORD #H40000000;:FREQ0?", {"setFrequencyWord(0,1073741824)"}, "12500000.0000", {}},
    LineCase{"FREQ1 1000;:FREQ1?", {"setFrequency(1,1000)"}, "999.9960", {}},  // from the word
    LineCase{"FREQ1:WORD #HABC;WORD?", {"setFrequencyWord(1,2748)"}, "#H00000ABC", {}},
    query("CLOC?", "50000000.0000"),
    query("SWE0:DEL?", "1"),
    LineCase{"SWE0:DEL 0.1;DEL?", {"setSweep(0,4,0.1)"}, "0.1", {}},
    LineCase{"SWE1:LOOP 100000;LOOP?", {"setSweep(1,3,100000)"}, "100000", {}},
    query("SWE0:STAR?", "0.0000"),
    query("SWE1:STOP?", "10000000.0000"),
    query("SWE1:STAT?", "IDLE"),
    LineCase{"SWE1:INIT;STAT?", {"startSweep(1)"}, "RUN", {}},
    query("CONT:SELS?", "0"),
    LineCase{"CONT:RES ON;RES?", {"setControl(3,1)"}, "1", {}},
    query("SEL:PHAS?", "0"),
    LineCase{"PHAS3 4094.5;PHAS3?", {"setPhase(3,4094.5)"}, "4094", {}},
    refused("PHAS3 4095.5", -222),
    query("FREQ0? MAX", "25000000.0000"),
    query("FREQ0? min", "0.0000"),
    query("FREQ1:WORD? MAX", "#HFFFFFFFF"),
    query("PHAS1? DEF", "0"),
    query("CLOC? MIN", "1000.0000"),
    query("SWE1:STOP? DEF", "10000000.0000"),
    query("SWE0:DEL? MAX", "100000"),
    query("SWE0:LOOP? MAX", "9999999"),
    query("SEL:PHAS? MAX", "3"),
    refused("FREQ0? 5", -108),
    refused("FREQ0? MAX,MIN", -108),
    refused("CONT:SYNC? MAX", -108),
    query("SYST:VERS?", "1999.0"),
    LineCase{"SWE1:INIT;INIT", {"startSweep(1)"}, "", {-213}}));  // already running

INSTANTIATE_TEST_SUITE_P(RawBytes, Line, ::testing::Values(
    set("WORD 1\r", "sendWord(1)"),
    LineCase{"", {}, "", {}},
    LineCase{"  \t ", {}, "", {}},
    refused("WORD 1\x01", -100),
    refused("WORD 1\xff", -101),       // not ASCII, outside a string
    refused("WORD 1\x7f", -101),
    LineCase{"WORD \"\xc3\xa9\"", {}, "", {-104}},  // inside a string: the parameter is wrong
    refused(std::string("WORD\0 1", 7), -100),
    refused("WORD 1\r\r", -100),
    refused("\x1b[A", -100)));

TEST(Session, InstrumentFailureIsQueuedAndSendsNoReply) {
    FakeInstrument fake;
    scpi::Session session(fake);
    fake.failNext = scpi::Outcome::hardware("port write failed");
    const scpi::LineResult r = session.execute("FREQ0 1;*OPC?");
    EXPECT_EQ(r.reply, "1");  // the failing command replies nothing; the line goes on
    EXPECT_EQ(session.execute("SYST:ERR?").reply, "-240,\"Hardware error;port write failed\"");
}

TEST(Session, InstrumentExceptionBecomesHardwareError) {
    struct Throwing : FakeInstrument {
        scpi::Outcome sendWord(uint16_t) override { throw std::runtime_error("device gone"); }
    } fake;
    scpi::Session session(fake);
    EXPECT_FALSE(session.execute("WORD 1").replied);
    EXPECT_EQ(session.execute("SYST:ERR?").reply, "-240,\"Hardware error;device gone\"");
}

TEST(ErrorQueue, OldestFirstThenNoError) {
    FakeInstrument fake;
    scpi::Session session(fake);
    session.execute("FREQ 1");
    session.execute("WORD 99999");
    EXPECT_EQ(session.execute("SYST:ERR:COUN?").reply, "2");
    EXPECT_EQ(session.execute("SYSTem:ERRor?").reply, "-113,\"Undefined header\"");
    EXPECT_EQ(session.execute("syst:err:next?").reply, "-222,\"Data out of range\"");
    EXPECT_EQ(session.execute("SYST:ERR?").reply, "0,\"No error\"");
    EXPECT_EQ(session.execute("SYST:ERR:COUN?").reply, "0");
}

TEST(ErrorQueue, OverflowReplacesTheNewestEntry) {
    FakeInstrument fake;
    scpi::Session session(fake);
    for (int i = 0; i < 19; ++i) session.execute("FREQ 1");
    session.execute("WORD 99999");  // the 20th entry: overwritten below
    session.execute("*FOO");
    session.execute("*BAR");
    EXPECT_EQ(session.execute("SYST:ERR:COUN?").reply, "20");
    for (int i = 0; i < 19; ++i) ASSERT_EQ(session.execute("SYST:ERR?").reply, "-113,\"Undefined header\"") << i;
    EXPECT_EQ(session.execute("SYST:ERR?").reply, "-350,\"Queue overflow\"");
    EXPECT_EQ(session.execute("SYST:ERR?").reply, "0,\"No error\"");
    // Once read, the queue takes errors again.
    session.execute("WORD 99999");
    EXPECT_EQ(session.execute("SYST:ERR?").reply, "-222,\"Data out of range\"");
}

TEST(ErrorQueue, ClearEmptiesIt) {
    FakeInstrument fake;
    scpi::Session session(fake);
    session.execute("FREQ 1;*CLS");  // dropped after the error: *CLS does not run
    EXPECT_EQ(session.execute("SYST:ERR:COUN?").reply, "1");
    session.execute("*CLS");
    EXPECT_EQ(session.execute("SYST:ERR:COUN?").reply, "0");
}

TEST(ErrorQueue, QuotesInTheTextAreDoubled) {
    EXPECT_EQ(scpi::formatError(scpi::Outcome::error(-221, "field \"Start\"\nbad")),
              "-221,\"Settings conflict;field \"\"Start\"\" bad\"");
}

// A fresh instrument's setup: every command from the root.
const std::string kFreshSetup =
    "CLOC 50000000;:FREQ0:WORD #H00000000;:FREQ1:WORD #H00000000;:PHAS0 0;:PHAS1 0;:PHAS2 0;:PHAS3 0;"
    ":CONT:SYNC 0;:CONT:SELS 1;:SEL:FREQ 0;:SEL:PHAS 0;:CONT:SELS 0;:CONT:SLE 0;:CONT:RES 0;"
    ":MOD:TYPE FSK;:MOD:PATT PRBS7;:MOD:RATE 1000;:MOD:COUN 9.9E37;"
    ":SWE0:SPAC LIN;:SWE0:DIR UP;:SWE0:STAR 0;:SWE0:STOP 10000000;:SWE0:STEP 1000000;:SWE0:POIN 11;"
    ":SWE0:LOOP 1;:SWE0:DEL 1;"
    ":SWE1:SPAC LIN;:SWE1:DIR UP;:SWE1:STAR 0;:SWE1:STOP 10000000;:SWE1:STEP 1000000;:SWE1:POIN 11;"
    ":SWE1:LOOP 1;:SWE1:DEL 1;:LIST:COUN 1;:TRIG:SOUR IMM";

// Everything SYSTem:SETup? covers, as query replies.
std::string state(scpi::Session& s) {
    return s.execute("CLOC?;:FREQ0?;FREQ0:WORD?;:FREQ1?;FREQ1:WORD?;:PHAS0?;PHAS1?;PHAS2?;PHAS3?;"
                     ":CONT:SYNC?;SELS?;SLE?;RES?;:SEL:FREQ?;PHAS?;:MOD:TYPE?;PATT?;RATE?;COUN?").reply;
}

TEST(Setup, RestoresTheStateOnAFreshInstrument) {
    const char* const scenarios[] = {
        "",
        "CLOC 40MHZ;:FREQ0 1MHZ;:CLOC 60MHZ;:FREQ1 7MHZ;:CLOC 33.3MHZ;:PHAS0 4095;PHAS2 291;"
        ":CONT:SYNC ON;SLE ON;RES ON",
        "CONT:SELS ON;:SEL:FREQ 1;PHAS 2;:CONT:SELS OFF;:FREQ1:WORD #H7FFFFFFF",
        "CONT:SELS ON;:SEL:PHAS 3;:CLOC 12345.678;:FREQ0 1000",
        "MOD:TYPE QPSK;PATT \"0110 1001\";RATE 0.01;COUN 4294967295",
        "MOD:TYPE BPSK;PATT '#H0F96';RATE 2.5KHZ;COUN 8;STAT ON",  // the state is not restored
    };
    for (const char* scenario : scenarios) {
        FakeInstrument a, b;
        scpi::Session sa(a), sb(b);
        ASSERT_TRUE(sa.execute(scenario).errors.empty()) << scenario;
        const std::string setup = sa.execute("SYST:SET?").reply;
        const scpi::LineResult restored = sb.execute(setup);
        EXPECT_TRUE(restored.errors.empty()) << setup;
        EXPECT_EQ(state(sb), state(sa)) << setup;
        EXPECT_FALSE(b.keyingRunning()) << setup;
    }
}

TEST(Setup, IsOneLineOfPlainCommands) {
    FakeInstrument fake;
    scpi::Session session(fake);
    EXPECT_EQ(session.execute("SYST:SET?").reply, kFreshSetup);
}

}  // namespace

namespace {

// The status registers of one session after a sequence of lines: the last
// line's reply.
struct StatusCase {
    std::vector<std::string> lines;
    std::string reply;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    for (const auto& l : c.lines) *os << '"' << l << "\" ";
}

class Status : public ::testing::TestWithParam<StatusCase> {};

TEST_P(Status, RegistersFollowTheCommands) {
    FakeInstrument fake;
    scpi::Session session(fake);
    scpi::LineResult r;
    for (const std::string& line : GetParam().lines) r = session.execute(line);
    EXPECT_FALSE(r.held);
    EXPECT_EQ(r.reply, GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(EventStatus, Status, ::testing::Values(
    StatusCase{{"*ESR?"}, "128"},                       // power on, for every new client
    StatusCase{{"*ESR?", "*ESR?"}, "0"},                // read clears it
    StatusCase{{"*CLS", "FOO", "*ESR?"}, "32"},         // command error
    StatusCase{{"*CLS", "FREQ0 1\xff", "*ESR?"}, "32"},
    StatusCase{{"*CLS", "WORD 70000", "*ESR?"}, "16"},  // execution error
    StatusCase{{"*CLS", "SWE0:INIT;INIT", "*ESR?"}, "16"},
    StatusCase{{"*CLS", "*OPC", "*ESR?"}, "1"},         // nothing running: complete at once
    StatusCase{{"*CLS", "SWE0:INIT", "*OPC", "*ESR?"}, "0"},
    StatusCase{{"*CLS", "SWE0:INIT", "*OPC", "SWE0:ABOR", "*ESR?"}, "1"},
    StatusCase{{"*CLS", "SWE0:INIT", "*OPC", "*CLS", "SWE0:ABOR", "*ESR?"}, "0"},  // *CLS forgets it
    StatusCase{{"*CLS", "MOD:COUN 8;STAT ON", "*OPC;*ESR?"}, "0"},                 // a counted keying is waited for
    StatusCase{{"*CLS", "MOD:COUN 8;STAT ON", "*OPC", "MOD:STAT OFF", "*ESR?"}, "1"},
    StatusCase{{"*CLS", "MOD:COUN INF;STAT ON", "*OPC", "*ESR?"}, "1"},           // one until stopped is not
    StatusCase{{"*ESE 255", "*ESE?"}, "255"},
    StatusCase{{"*ESE 256"}, ""},
    StatusCase{{"*ESE 256", "SYST:ERR?"}, "-222,\"Data out of range\""}));

INSTANTIATE_TEST_SUITE_P(StatusByte, Status, ::testing::Values(
    StatusCase{{"*CLS", "*STB?"}, "0"},
    StatusCase{{"*CLS", "FOO", "*STB?"}, "4"},                               // error queue not empty
    StatusCase{{"*CLS", "*ESE 32", "FOO", "*STB?"}, "36"},                   // event summary
    StatusCase{{"*CLS", "*ESE 32", "*SRE 32", "FOO", "*STB?"}, "100"},       // master summary
    StatusCase{{"*CLS", "*SRE 4", "FOO", "*STB?"}, "68"},
    StatusCase{{"*CLS", "*SRE 4", "*STB?"}, "0"},
    StatusCase{{"*SRE 255", "*SRE?"}, "191"},                                // bit 6 cannot be enabled
    StatusCase{{"*CLS", "*IDN?;*STB?"}, "Maker,QZ4471,sim,2.0.0;16"},       // a reply is waiting
    StatusCase{{"*CLS", "FOO", "*CLS", "*STB?"}, "0"},
    StatusCase{{"*CLS", "STAT:OPER:ENAB 8", "SWE1:INIT", "*STB?"}, "128"},   // operation summary
    StatusCase{{"*CLS", "STAT:OPER:ENAB 8", "SWE1:INIT", "STAT:OPER?", "*STB?"}, "0"}));

INSTANTIATE_TEST_SUITE_P(Registers, Status, ::testing::Values(
    StatusCase{{"STAT:OPER:COND?"}, "0"},
    StatusCase{{"SWE0:INIT", "STAT:OPER:COND?"}, "8"},
    StatusCase{{"SWE0:INIT", "SWE0:ABOR", "STAT:OPER:COND?"}, "0"},
    StatusCase{{"SWE0:INIT", "SWE0:ABOR", "STAT:OPER?"}, "8"},               // the event stays latched
    StatusCase{{"SWE0:INIT", "SWE0:ABOR", "STAT:OPER:EVEN?", "STAT:OPER?"}, "0"},
    StatusCase{{"STAT:OPER:ENAB 264", "STAT:OPER:ENAB?"}, "264"},
    StatusCase{{"STAT:OPER:ENAB 8;:STAT:PRES", "STAT:OPER:ENAB?"}, "0"},
    StatusCase{{"STAT:QUES:ENAB #H200", "STAT:QUES:ENAB?"}, "512"},
    StatusCase{{"STAT:QUES:COND?"}, "0"},
    StatusCase{{"MOD:STAT ON", "STAT:OPER:COND?"}, "256"},
    StatusCase{{"MOD:STAT ON", "MOD:STAT OFF", "STAT:OPER:COND?;EVEN?;EVEN?"}, "0;256;0"},
    StatusCase{{"MOD:TYPE QPSK;PATT \"01\";RATE 20;COUN 9", "*RST", "MOD:TYPE?;PATT?;RATE?;COUN?"},
               "FSK;PRBS7;1000;9.9E37"},
    StatusCase{{"SYST:VERS?"}, "1999.0"}));

// Transition filters: which edges of a condition latch into its event register.
INSTANTIATE_TEST_SUITE_P(Transitions, Status, ::testing::Values(
    StatusCase{{"STAT:OPER:PTR?;NTR?;:STAT:QUES:PTR?;NTR?"}, "32767;0;32767;0"},
    StatusCase{{"STAT:OPER:PTR? MAX;PTR? DEF;NTR? DEF"}, "65535;32767;0"},
    StatusCase{{"STAT:OPER:PTR #HFFFF;PTR?"}, "32767"},  // bit 15 is always 0
    StatusCase{{"STAT:OPER:PTR 0", "SWE0:INIT", "STAT:OPER?"}, "0"},
    StatusCase{{"STAT:OPER:PTR 0;NTR 8", "SWE0:INIT", "SWE0:ABOR", "STAT:OPER?"}, "8"},
    StatusCase{{"STAT:OPER:NTR 256", "MOD:STAT ON", "STAT:OPER?", "MOD:STAT OFF", "STAT:OPER?"}, "256"},
    StatusCase{{"STAT:OPER:PTR 0;NTR 8;:STAT:PRES", "STAT:OPER:PTR?;NTR?"}, "32767;0"},
    StatusCase{{"STAT:QUES:PTR 0;NTR MAX", "STAT:QUES:PTR?;NTR?"}, "0;32767"}));

TEST(Status, DroppedPortWritesAreQuestionable) {
    FakeInstrument fake;
    scpi::Session session(fake);
    session.execute("*CLS;STAT:QUES:ENAB 512");
    fake.missing = "PARPORT /dev/parport0";
    EXPECT_EQ(session.execute("*STB?").reply, "8");
    EXPECT_EQ(session.execute("STAT:QUES:COND?;EVEN?;EVEN?").reply, "512;512;0");
}

TEST(Status, EachSessionHasItsOwnRegisters) {
    FakeInstrument fake;
    scpi::Session a(fake), b(fake);
    a.execute("*ESR?;*ESE 4;FOO");
    EXPECT_EQ(b.execute("*ESR?;*ESE?").reply, "128;0");
    EXPECT_EQ(a.execute("*ESR?").reply, "32");
}

// Overlapped sweeps: *OPC? and *WAI hold the rest until the sweeps running
// when they were parsed have ended.
TEST(Overlap, OpcQueryRepliesWhenTheSweepEnds) {
    FakeInstrument fake;
    scpi::Session session(fake);
    session.execute("SWE0:INIT");
    scpi::LineResult r = session.execute("FREQ0?;*OPC?;FREQ1 5MHZ;FREQ1:WORD?");
    EXPECT_TRUE(r.held);
    EXPECT_FALSE(session.ready());
    EXPECT_EQ(fake.calls, Calls{"startSweep(0)"});  // FREQ1 waits
    fake.finishSweep(0);
    ASSERT_TRUE(session.ready());
    r = session.resume();
    EXPECT_FALSE(r.held);
    EXPECT_EQ(r.reply, "0.0000;1;#H1999999A");
    EXPECT_EQ(fake.calls, (Calls{"startSweep(0)", "setFrequency(1,5000000)"}));
}

TEST(Overlap, WaitHoldsOnlyUntilTheSweepsRunningAtParseTime) {
    FakeInstrument fake;
    scpi::Session a(fake), b(fake);
    int woken = 0;
    a.onReady([&] { ++woken; });
    a.execute("SWE0:INIT");
    EXPECT_TRUE(a.execute("*WAI;WORD 7").held);
    b.execute("SWE1:INIT");  // started later: not waited for
    EXPECT_EQ(woken, 0);
    b.execute("SWE0:ABOR");  // a Stop elsewhere ends the wait
    EXPECT_EQ(woken, 1);
    EXPECT_TRUE(a.ready());
    EXPECT_FALSE(a.resume().replied);
    EXPECT_EQ(fake.calls.back(), "sendWord(7)");
    EXPECT_TRUE(fake.sweepRunning(1));
}

TEST(Overlap, NothingRunningNothingHeld) {
    FakeInstrument fake;
    scpi::Session session(fake);
    const scpi::LineResult r = session.execute("*WAI;*OPC?;WORD 1");
    EXPECT_FALSE(r.held);
    EXPECT_EQ(r.reply, "1");
    EXPECT_EQ(fake.calls, Calls{"sendWord(1)"});
}

}  // namespace

// Integer registers round a fraction; the error queue read whole or by code;
// *OPT?, *TRG with nothing waiting and a root ABORt.
TEST(ConformancePoints, RoundReadAndStop) {
    const struct {
        std::string line, reply;
        Codes errors;
    } cases[] = {
        {"*ESE 12.6;*ESE?", "13", {}},
        {"*SRE 0.4;*SRE?", "0", {}},
        {"*ESE 255.6", "", {scpi::DataOutOfRange}},
        {"STAT:OPER:ENAB 7.5;ENAB?", "8", {}},
        {"*ESE #H0C;*ESE?", "12", {}},
        {"*OPT?", "0", {}},
        {"*TRG;*OPC?", "1", {scpi::TriggerIgnored}},  // no list waits for a trigger
        {"WORD 70000;:SYST:ERR:CODE?", "-222", {scpi::DataOutOfRange}},
        {"SYST:ERR:CODE:NEXT?", "0", {}},
        {"SYST:ERR:ALL?", "0,\"No error\"", {}},
        {"*ESE #B1010;*ESE?", "10", {}},
        {"STAT:QUES:ENAB #Q1000;ENAB?", "512", {}},
        {"*ESE MAX", "", {scpi::DataTypeError}},  // common commands take numbers only
        {"*LRN?", kFreshSetup, {}},
        {"*SAV 10", "", {scpi::DataOutOfRange}},
        {"*SAV", "", {scpi::MissingParameter}},
        {"*RCL 4", "", {scpi::SettingsConflict}},  // nothing saved there
    };
    for (const auto& c : cases) {
        FakeInstrument fake;
        scpi::Session session(fake);
        const scpi::LineResult r = session.execute(c.line);
        EXPECT_EQ(r.reply, c.reply) << c.line;
        Codes codes;
        for (const auto& e : r.errors) codes.push_back(e.code);
        EXPECT_EQ(codes, c.errors) << c.line;
    }
    FakeInstrument fake;
    scpi::Session session(fake);
    session.execute("NOSUCH");
    session.execute("WORD 70000");
    EXPECT_EQ(session.execute("SYST:ERR:ALL?").reply, "-113,\"Undefined header\",-222,\"Data out of range\"");
    EXPECT_EQ(session.queue().count(), 0u);
    fake.calls.clear();
    session.execute("ABOR");
    EXPECT_EQ(fake.calls, (Calls{"stopSweep(0)", "stopSweep(1)", "stopKeying()"}));
}

// *SAV and *RCL: a setup comes back whole; a client beyond loopback may do neither.
TEST(SetupSlots, SaveRecallAndWhoMay) {
    FakeInstrument fake;
    scpi::Session local(fake), remote(fake);
    remote.setRemote(true);
    ASSERT_TRUE(local.execute("CLOC 40MHZ;:FREQ1 1MHZ;:PHAS2 7;:MOD:TYPE QPSK;COUN 9;*SAV 3").errors.empty());
    const std::string saved = state(local);
    ASSERT_TRUE(local.execute("*RST;CLOC 60MHZ;:FREQ1 2MHZ;:PHAS2 9").errors.empty());
    ASSERT_NE(state(local), saved);
    EXPECT_TRUE(local.execute("*RCL 3.2").errors.empty());
    EXPECT_EQ(state(local), saved);
    for (const char* line : {"*SAV 1", "*RCL 3"}) {
        const scpi::LineResult r = remote.execute(line);
        ASSERT_EQ(r.errors.size(), 1u) << line;
        EXPECT_EQ(r.errors[0].text, "Settings conflict;files only from this computer") << line;
    }
    // A slot that recalls itself stops at once.
    fake.storeSetup(5, "# loops\n*RCL 5\n");
    EXPECT_EQ(local.execute("*RCL 5;*OPC?").reply, "1");
    EXPECT_EQ(local.execute("SYST:ERR?").reply, "-221,\"Settings conflict;inside a recalled setup\"");
}
