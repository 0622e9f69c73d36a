// Hop lists over SCPI on the program's own chip: the LIST and TRIGger
// commands with their refusals, the status bits and *OPC? of a running list,
// setups that carry a long list in lines under 4096 bytes, and CSV files.
#include "scpi/ChipInstrument.h"
#include "scpi/Session.h"
#include "support/Wait.h"
#include "support/WireHarness.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <sstream>

namespace {

class ListCommands : public ::testing::Test {
protected:
    ListCommands() { wire.chip.startUp(); }
    std::string ask(const std::string& line) { return session.execute(line).reply; }
    std::string error() { return ask("SYST:ERR?"); }

    WireHarness wire;
    scpi::ChipInstrument instrument{wire.chip};
    scpi::Session session{instrument};
};

struct Refusal {
    std::string setup;  // run first, without an error
    std::string line;   // refused
    std::string error;  // how SYST:ERR? begins
};

// What a list command may change.
constexpr const char* kListState = "LIST:POIN?;FREQ?;DWEL?;COUN?;STAT?;:TRIG:SOUR?";

TEST_F(ListCommands, RefusalsNameWhyAndChangeNothing) {
    // Waits for a trigger: nothing is sent while it runs.
    const std::string running = "LIST:FREQ 1MHZ,2MHZ;DWEL 10;COUN INF;:TRIG:SOUR BUS;:LIST:STAT ON";
    const Refusal cases[] = {
        {"", "LIST:STAT ON", "-221,\"Settings conflict;the list has no rows\""},  // first: rows outlast *RST
        {"", "LIST:FREQ 1MHZ,26MHZ", "-222,\"Data out of range;value 2\""},
        {"", "LIST:FREQ 1,x", "-104"},
        {"LIST:FREQ 1,2,3", "LIST:DWEL 1,1MS,0.1MS", "-222,\"Data out of range;row 3: dwell 0.1 ms is outside 0.2 ms"},
        {"LIST:DWEL 1", "LIST:DWEL:APP 1,50US", "-222,\"Data out of range;row 3: dwell 0.05 ms"},
        {"LIST:FREQ 1,2,3;DWEL 1,1", "LIST:STAT ON", "-221,\"Settings conflict;3 frequencies but 2 dwells\""},
        {"", "LIST:COUN 0", "-222"},
        {"", "TRIG:SOUR EXT", "-224"},
        {"", "*TRG", "-211,\"Trigger ignored\""},
        {"", "TRIG", "-211,\"Trigger ignored\""},
        {running, "LIST:STAT ON", "-213"},
        {running, "FREQ0 3MHZ", "-221,\"Settings conflict;list\""},
        {running, "SEL:FREQ 0", "-221,\"Settings conflict;list\""},
        {running, "SWE0:INIT", "-221,\"Settings conflict;list\""},
        {running, "MOD:TYPE FSK;STAT ON", "-221,\"Settings conflict;list\""},
        {"", "LIST:SAVE \"../x.csv\"", "-257,\"File name error\""},
        {"", "LIST:LOAD \"sub/x.csv\"", "-257,\"File name error\""},
        {"", "LIST:LOAD \"no such list.csv\"", "-256,\"File name not found\""},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_TRUE(session.execute(c.setup).errors.empty()) << c.setup;
        const std::string before = ask(kListState);
        wire.clear();
        session.execute(c.line);
        const std::string e = error();
        EXPECT_EQ(e.substr(0, c.error.size()), c.error) << e;
        EXPECT_EQ(ask(kListState), before);
        EXPECT_EQ(hexWords(wire.words()), "");
        session.execute("*RST;*CLS");
    }
}

// Bus triggers: waiting sets OPERation bit 5 and no *OPC? waits for it;
// each trigger command sends the next select word and loads the next row.
TEST_F(ListCommands, BusTriggersStepTheListAndItsProgressAndStatus) {
    session.execute("LIST:FREQ 1MHZ,2MHZ;DWEL 1;COUN 2;:TRIG:SOUR BUS;:LIST:STAT ON");
    EXPECT_EQ(error(), "0,\"No error\"");
    EXPECT_EQ(ask("STAT:OPER:COND?;:LIST:PROG?;*OPC?"), "32;0,2,0,2;1");
    wire.clear();
    session.execute("*TRG;:TRIG;TRIG:IMM");
    // 1 MHz is 0x051EB852, 2 MHz 0x0A3D70A4; FREQ1 was loaded first, FREQ0 being selected.
    EXPECT_EQ(hexWords(wire.words()), "0x5800 0x30A4 0x2170 0x323D 0x230A 0x5000 0x3452 0x25B8 0x361E 0x2705 0x5800 "
                                      "0x30A4 0x2170 0x323D 0x230A");
    EXPECT_EQ(ask("LIST:PROG?;STAT?"), "1,2,2,2;1");
    session.execute("*TRG");
    EXPECT_EQ(ask("LIST:PROG?;STAT?;:STAT:OPER:COND?;:SYST:ERR?"), "2,2,2,2;0;0;0,\"No error\"");
    session.execute("*TRG");
    EXPECT_EQ(error(), "-211,\"Trigger ignored\"");
}

// A counted free-running list sets bit 3 while it runs, and *OPC? waits for its end.
TEST_F(ListCommands, OpcWaitsForACountedFreeRunningList) {
    const scpi::LineResult r = session.execute("LIST:FREQ 1MHZ,2MHZ,3MHZ;DWEL 2MS;STAT ON;:STAT:OPER:COND?;*OPC?");
    EXPECT_TRUE(r.held);
    ASSERT_TRUE(waitUntil([&] { return session.ready(); }));
    EXPECT_EQ(session.resume().reply, "8;1");
    EXPECT_EQ(ask("LIST:PROG?;STAT?;:STAT:OPER:COND?"), "3,3,1,1;0;0");
    EXPECT_EQ(ask("SEL:FREQ?;:CONT:SELS?"), "1;1") << "the output stays on the last row";
}

// A setup of a long list: LIST:FREQ then LIST:FREQ:APP parts under 4096
// bytes, each run on its own as a setup file's lines are, rebuilds it.
TEST_F(ListCommands, SetupsCarryALongListInShortLines) {
    std::ostringstream hz, dwell;
    for (int i = 0; i < 2000; ++i) {
        hz << (i ? "," : "") << 1000000 + i * 1237.5;
        dwell << (i ? "," : "") << 0.001 + i * 1e-6;
    }
    session.execute("LIST:FREQ " + hz.str());
    session.execute("LIST:DWEL " + dwell.str());
    session.execute("LIST:COUN 7;:TRIG:SOUR BUS");
    ASSERT_EQ(error(), "0,\"No error\"");
    const std::string want = ask("LIST:FREQ?;DWEL?;COUN?;:TRIG:SOUR?");
    const std::string setup = ask("SYST:SET?");

    WireHarness other;
    scpi::ChipInstrument fresh(other.chip);
    scpi::Session restore(fresh);
    size_t start = 0, lines = 0;
    for (size_t at = 0; start < setup.size(); start = at + 2) {
        at = setup.find(";:", start);
        if (at == std::string::npos) at = setup.size();
        const std::string part = setup.substr(start, at - start);
        EXPECT_LT(part.size(), 4096u);
        EXPECT_TRUE(restore.execute(part).errors.empty()) << part.substr(0, 60);
        lines += part.rfind("LIST:FREQ", 0) == 0;
    }
    EXPECT_GT(lines, 2u);
    EXPECT_EQ(restore.execute("LIST:FREQ?;DWEL?;COUN?;:TRIG:SOUR?").reply, want);
}

// Files in the working folder: saved atomically, read back whole; a bad
// row refuses the whole file naming line and column, and nothing changes.
TEST_F(ListCommands, CsvFilesInTheWorkingFolder) {
    QTemporaryDir dir;
    const QString was = QDir::currentPath();
    QDir::setCurrent(dir.path());
    session.execute("LIST:FREQ 1MHZ,2.5MHZ;DWEL 1MS,2");
    session.execute("LIST:SAVE \"a.csv\"");
    EXPECT_EQ(error(), "0,\"No error\"");
    QFile saved(dir.filePath("a.csv"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), "frequency_hz,dwell_s\n1000000,0.001\n2500000,2\n");
    QFile bad(dir.filePath("bad.csv"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("dwell_s,frequency_hz\n1,3000000\n0.5,3e6Hz\n");
    bad.close();
    session.execute("LIST:LOAD \"bad.csv\"");
    EXPECT_EQ(error(), "-221,\"Settings conflict;line 3, column 2 (frequency_hz): \"\"3e6Hz\"\" is not a number\"");
    EXPECT_EQ(ask("LIST:FREQ?"), "1000000,2500000");
    session.execute("LIST:FREQ 7;DWEL 1;:LIST:LOAD 'a.csv'");
    EXPECT_EQ(ask("LIST:FREQ?;DWEL?;:SYST:ERR?"), "1000000,2500000;0.001,2;0,\"No error\"");
    session.setRemote(true);
    session.execute("LIST:SAVE \"b.csv\"");
    EXPECT_EQ(error(), "-221,\"Settings conflict;files only from this computer\"");
    EXPECT_FALSE(QFile::exists(dir.filePath("b.csv")));
    QDir::setCurrent(was);
}

// The longest list: read from a file, carried through a setup in short
// lines, written back the same, and run to its end on a clock that jumps past
// it, every select word in place (the board decodes them; nothing is kept
// but what is checked, as 100000 rows are 26 million port writes).
TEST(HundredThousandRows, ImportRunSetupAndExport) {
    constexpr int kRows = 100000;
    QTemporaryDir dir;
    const QString was = QDir::currentPath();
    QDir::setCurrent(dir.path());
    std::string csv = "frequency_hz,dwell_s\n";
    auto hzOf = [](int k) { return 1000000.0 + (k % 20000) * 1000.0 + (k % 7) * 0.25; };
    for (int k = 0; k < kRows; ++k) {
        char line[64];
        std::snprintf(line, sizeof line, "%.2f,0.0002\n", hzOf(k));
        csv += line;
    }
    {
        QFile f(dir.filePath("long.csv"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(csv.data(), static_cast<qint64>(csv.size()));
    }

    std::atomic<int64_t> now{0};
    auto board = std::make_unique<SimulatedBoard>();
    uint64_t selects = 0, misplaced = 0, words = 0;
    std::vector<uint16_t> last, before;  // the words from the last select word, and from the one before
    int expectReg = 1;           // the main window selects FREQ0: the list starts on FREQ1
    board->addWordObserver([&](uint16_t w) {
        ++words;
        if ((w & 0xF000) == 0x5000) {
            misplaced += ((w >> 11) & 1) != expectReg;
            expectReg = 1 - expectReg;
            ++selects;
            before.swap(last);
            last.clear();
        }
        last.push_back(w);
    });
    SimulatedBoard& sim = *board;
    portlib::Parllio port;
    port.setBackend(std::move(board));
    port.setPortAddress(SimulatedBoard::kBase);
    Transmitter tx(port);
    control::ChipControl chip(tx, nullptr, [&] { return SweepTimer::Clock::time_point(std::chrono::nanoseconds(now.load())); });
    chip.startUp();
    scpi::ChipInstrument instrument(chip);
    scpi::Session session(instrument);

    session.execute("LIST:LOAD \"long.csv\"");
    ASSERT_EQ(session.execute("SYST:ERR?;:LIST:POIN?").reply, "0,\"No error\";100000");

    // Through a setup: every part under 4096 bytes rebuilds the same list.
    const std::string setup = session.execute("SYST:SET?").reply;
    WireHarness other;
    scpi::ChipInstrument fresh(other.chip);
    scpi::Session restore(fresh);
    size_t parts = 0;
    for (size_t start = 0, at = 0; start < setup.size(); start = at + 2) {
        at = setup.find(";:", start);
        if (at == std::string::npos) at = setup.size();
        const std::string part = setup.substr(start, at - start);
        ASSERT_LT(part.size(), 4096u);
        ASSERT_TRUE(restore.execute(part).errors.empty()) << part.substr(0, 60);
        ++parts;
    }
    EXPECT_GT(parts, 300u);
    EXPECT_EQ(restore.execute("LIST:FREQ?;DWEL?").reply, session.execute("LIST:FREQ?;DWEL?").reply);

    // Exported as read.
    restore.execute("LIST:SAVE \"copy.csv\"");
    ASSERT_EQ(restore.execute("SYST:ERR?").reply, "0,\"No error\"");
    QFile copy(dir.filePath("copy.csv"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    const std::string exported = copy.readAll().toStdString();
    EXPECT_EQ(exported.substr(0, 36), "frequency_hz,dwell_s\n1000000,0.0002\n");
    EXPECT_EQ(static_cast<size_t>(std::count(exported.begin(), exported.end(), '\n')), kRows + 1u);
    EXPECT_EQ(hoplist::parseCsv(exported, 25e6, 0.0002).table.hz, hoplist::parseCsv(csv, 25e6, 0.0002).table.hz);

    // Run: the clock jumps past the last dwell, so every row is due at once.
    session.execute("LIST:STAT ON");
    now = 30'000'000'000;
    ASSERT_TRUE(waitUntil([&] { return !chip.listRunning(); }, 7000));
    EXPECT_EQ(session.execute("LIST:PROG?;:SYST:ERR?").reply, "100000,100000,1,1;0,\"No error\"");
    EXPECT_EQ(selects, static_cast<uint64_t>(kRows));
    EXPECT_EQ(misplaced, 0u);
    EXPECT_EQ(words, 3u + 4 + 1 + 5u * kRows - 4) << "start-up, row 0 and SELSRC, then a select and a load a row, "
                                                      "no load after the last";
    EXPECT_EQ(last.size(), 1u);
    EXPECT_EQ(sim.framingErrors(), 0u);
    // The last row went into FREQ0 after the select word of the row before it.
    const double lastMHz = static_cast<float>(hzOf(kRows - 1) / 1e6);
    const auto w = static_cast<uint32_t>(std::nearbyint(4294967296.0 * lastMHz / 50.0));
    EXPECT_EQ(hexWords(before), hexWords({0x5800, static_cast<uint16_t>(0x3000 | (w & 0xFF)),
                                          static_cast<uint16_t>(0x2100 | (w >> 8 & 0xFF)),
                                          static_cast<uint16_t>(0x3200 | (w >> 16 & 0xFF)),
                                          static_cast<uint16_t>(0x2300 | w >> 24)}));
    EXPECT_EQ(hexWords(last), "0x5000");
    QDir::setCurrent(was);
}

}  // namespace
