// The SCPI commands on the program's own chip: commands whose words would be
// dropped (a printer port that could not be opened) fail with -241 naming the
// port and change nothing, commands that send nothing still work, and a
// sweep's progress as the engine announces it, and keying: what is refused
// changes nothing, and *RST ends a keying with its end words.
#include "portlib/TracePort.h"
#include "portlib/ppdev/PpdevPort.h"
#include "scpi/ChipInstrument.h"
#include "scpi/Session.h"
#include "support/WireHarness.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

class HardwareMissing : public ::testing::TestWithParam<const char*> {
protected:
    HardwareMissing() {
        wire.port.setBackend(std::make_unique<PpdevPort>("/nonexistent/parport77", "/nonexistent"));
        wire.port.ClaimParallelPort(1, -1);  // fails: nothing at that path
    }
    std::string ask(const char* line) { return session.execute(line).reply; }

    WireHarness wire;
    scpi::ChipInstrument instrument{wire.chip};
    scpi::Session session{instrument};
};

TEST_P(HardwareMissing, IsRefusedNamingThePortAndChangesNothing) {
    const std::string before = ask("FREQ0:WORD?;:PHAS1?;:CONT:SYNC?;:SWE0:STAT?");
    session.execute(GetParam());
    EXPECT_EQ(ask("SYST:ERR?"), "-241,\"Hardware missing;PARPORT /nonexistent/parport77\"") << GetParam();
    EXPECT_EQ(ask("FREQ0:WORD?;:PHAS1?;:CONT:SYNC?;:SWE0:STAT?"), before) << GetParam();
    EXPECT_EQ(ask("*IDN?").find(",NONE,") != std::string::npos, true);
}

INSTANTIATE_TEST_SUITE_P(Commands, HardwareMissing,
                         ::testing::Values("FREQ0 1MHZ", "PHAS1 5", "CONT:SYNC ON", "INIT", "WORD 1", "SWE0:INIT",
                                           "*RST", "FREQ1:WORD #H1000"));

TEST(HardwareMissingClock, ACommandThatSendsNothingStillWorks) {
    WireHarness wire;
    wire.port.setBackend(std::make_unique<PpdevPort>("/nonexistent/parport77", "/nonexistent"));
    scpi::ChipInstrument instrument(wire.chip);
    scpi::Session session(instrument);
    session.execute("CLOC 40MHZ");
    EXPECT_EQ(session.execute("CLOC?;:SYST:ERR?").reply, "40000000.0000;0,\"No error\"");
    EXPECT_EQ(session.execute("STAT:QUES:COND?").reply, "512");
}

// A trace whose write failed sets QUEStionable bit 10, and the words still go out.
TEST(TraceIncomplete, SetsQuestionableBit10) {
    WireHarness wire;
    wire.port.setBackend(
        std::make_unique<TracePort>(wire.port.setBackend(nullptr), "/dev/full", [] { return std::chrono::nanoseconds(0); }));
    scpi::ChipInstrument instrument(wire.chip);
    scpi::Session session(instrument);
    EXPECT_EQ(session.execute("STAT:QUES:COND?").reply, "0");
    session.execute("WORD 1");
    wire.port.flush();
    EXPECT_EQ(session.execute("STAT:QUES:COND?;EVEN?;EVEN?").reply, "1024;1024;0");
    EXPECT_EQ(wire.words(), std::vector<uint16_t>{1});
}

// Step k of n in loop i of N: running, after the end, and before any sweep.
TEST(SweepProgress, AnswersTheEnginesFigures) {
    WireHarness wire;
    scpi::ChipInstrument instrument(wire.chip);
    scpi::Session session(instrument);
    EXPECT_EQ(session.execute("SWE0:PROG?").reply, "0,0,0,0") << "before any sweep";
    session.execute("SWE1:STAR 0;STOP 2 MHZ;STEP 1 MHZ;LOOP 2;DEL 100 S");
    session.execute("SWE1:INIT");
    wire.chip.sweepTick(2);
    wire.chip.sweepTick(2);
    EXPECT_EQ(session.execute("SWE1:PROG?").reply, "2,4,1,2") << "0 and 1 MHz loaded of 0, 1, 2, 2";
    for (int i = 0; i < 6; ++i) wire.chip.sweepTick(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.execute("SWE1:STAT?").reply == "IDLE"; }, 2000));
    EXPECT_EQ(session.execute("SWE1:PROG?").reply, "4,4,2,2") << "the last sweep's figures when idle";
    EXPECT_EQ(session.execute("SYST:ERR?").reply, "0,\"No error\"");
}

// What a keying command may change.
constexpr const char* kKeyingState = "MOD:TYPE?;PATT?;RATE?;COUN?;STAT?;:SEL:FREQ?;PHAS?;:CONT:SELS?";

struct KeyingRefusalCase {
    std::string setup;   // run first, without an error
    std::string line;    // refused
    std::string error;   // how SYST:ERR? begins
};

void PrintTo(const KeyingRefusalCase& c, std::ostream* os) { *os << '"' << c.line.substr(0, 40) << '"'; }

class KeyingRefusal : public ::testing::TestWithParam<KeyingRefusalCase> {};

TEST_P(KeyingRefusal, NamesWhyAndChangesNothing) {
    const KeyingRefusalCase& c = GetParam();
    WireHarness wire;
    scpi::ChipInstrument instrument(wire.chip);
    scpi::Session session(instrument);
    ASSERT_TRUE(session.execute(c.setup).errors.empty()) << c.setup;
    const std::string before = session.execute(kKeyingState).reply;
    session.execute(c.line);
    const std::string error = session.execute("SYST:ERR?").reply;
    EXPECT_EQ(error.substr(0, c.error.size()), c.error) << error;
    EXPECT_EQ(session.execute(kKeyingState).reply, before);
}

// Runs until stopped and sends nothing after its first symbol.
const std::string kBpskRunning = "MOD:TYPE BPSK;PATT \"1\";RATE 0.01;STAT ON";
const std::string kInvalid = "-224,\"Illegal parameter value;";
const std::string kRange = "-222,\"Data out of range\"";

INSTANTIATE_TEST_SUITE_P(Keying, KeyingRefusal, ::testing::Values(
    KeyingRefusalCase{"", "MOD:PATT \"01x0\"", kInvalid + "The pattern cannot hold \"\"x\"\" (character 3)."},
    KeyingRefusalCase{"MOD:PATT \"0110\"", "MOD:PATT \"#H0G\"", kInvalid + "The pattern cannot hold \"\"G\"\" (character 4)."},
    KeyingRefusalCase{"", "MOD:PATT \" \"", kInvalid + "The pattern is empty"},
    KeyingRefusalCase{"", "MOD:PATT \"#H" + std::string(1025, 'F') + "\"", kInvalid + "The pattern is longer than 4096 bits."},
    KeyingRefusalCase{"", "MOD:TYPE OOK", "-224,\"Illegal parameter value\""},
    KeyingRefusalCase{"MOD:RATE 200", "MOD:RATE 1E6", kRange},
    KeyingRefusalCase{"", "MOD:RATE 0", kRange},
    KeyingRefusalCase{"MOD:COUN 8", "MOD:COUN 0", kRange},
    KeyingRefusalCase{"", "MOD:COUN 1.5", kRange},
    KeyingRefusalCase{"", "MOD:COUN 4294967296", kRange},
    KeyingRefusalCase{kBpskRunning, "MOD:STAT ON", "-213,\"Init ignored\""},
    KeyingRefusalCase{kBpskRunning, "SEL:PHAS 2", "-221,\"Settings conflict;keying\""},
    KeyingRefusalCase{"MOD:TYPE QPSK;PATT \"11\";RATE 0.01;STAT ON", "SEL:PHAS 1", "-221,\"Settings conflict;keying\""},
    KeyingRefusalCase{"MOD:TYPE FSK;PATT \"1\";RATE 0.01;STAT ON", "SEL:FREQ 1", "-221,\"Settings conflict;keying\""}));

TEST(KeyingReset, EndsTheKeyingWithItsEndWordsThenRestoresTheDefaults) {
    WireHarness wire;
    scpi::ChipInstrument instrument(wire.chip);
    scpi::Session session(instrument);
    session.execute("MOD:COUN 9;:" + kBpskRunning);
    ASSERT_TRUE(QTest::qWaitFor([&] { return wire.chip.keyingProgress().sent >= 1; }, 5000));
    wire.clear();
    session.execute("*RST");
    const std::vector<uint16_t> words = wire.words();
    ASSERT_GE(words.size(), 2u);
    // The main window's phase selection, then SELSRC lowered as the keying raised it.
    EXPECT_EQ(hexWords({words[0], words[1]}), "0x4000 0x8000") << hexWords(words);
    EXPECT_EQ(session.execute("MOD:TYPE?;PATT?;RATE?;COUN?;STAT?;:SYST:ERR?").reply,
              "FSK;PRBS7;1000;9.9E37;0;0,\"No error\"");
}

}  // namespace
