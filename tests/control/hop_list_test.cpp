// Hop lists on a simulated board: the CSV rules, and the words of whole
// lists read back from the wire on a clock moved by hand, free-running and on
// bus triggers, with what a running list refuses and what stops it.
#include "control/ChipControl.h"
#include "control/HopList.h"
#include "support/WireHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace {

// ---- CSV -----------------------------------------------------------------------

struct CsvCase {
    const char* name;
    std::string text;
    std::vector<double> hz, dwell;  // the rows read, when taken
    const char* error;              // a part of the refusal, or nullptr
};

const CsvCase kCsv[] = {
    {"Plain", "frequency_hz,dwell_s\n1000000,0.001\n2.5e6,0.5\n", {1e6, 2.5e6}, {0.001, 0.5}, nullptr},
    {"AnyOrderCrlfQuotesBlanks", "\"dwell_s\" , Frequency_Hz\r\n0.01, 3\r\n\r\n1,\"4\"\r\n", {3, 4}, {0.01, 1}, nullptr},
    {"OtherColumn", "frequency_hz,dwell_s,amplitude\n1,1,1\n", {}, {}, "line 1, column 3: \"amplitude\""},
    {"HeaderMissingDwell", "frequency_hz\n1\n", {}, {}, "line 1: the header must name"},
    {"BadNumber", "frequency_hz,dwell_s\n1,0.1\n2,abc\n", {}, {}, "line 3, column 2 (dwell_s): \"abc\" is not a number"},
    {"BadNumberSwapped", "dwell_s,frequency_hz\n0.1,1x\n", {}, {}, "line 2, column 2 (frequency_hz)"},
    {"TooHigh", "frequency_hz,dwell_s\n25000001,1\n", {}, {}, "line 2, column 1 (frequency_hz): 25000001 is outside"},
    {"DwellTooShort", "frequency_hz,dwell_s\n1,1\n1,0.0001\n", {}, {}, "line 3, column 2 (dwell_s): dwell 0.1 ms"},
    {"ShortRow", "frequency_hz,dwell_s\n1,1\n2\n", {}, {}, "line 3, column 2: 1 values"},
    {"LastLineCutShort", "frequency_hz,dwell_s\n1,1\n2,0.", {}, {}, "line 3: the last line has no line end"},
    {"Empty", "", {}, {}, "line 1: the header"},
};

TEST(HopListCsv, TakesWholeFilesAndNamesTheLineAndColumnOfAFault) {
    for (const CsvCase& c : kCsv) {
        SCOPED_TRACE(c.name);
        const hoplist::CsvRead r = hoplist::parseCsv(c.text, 25e6, 0.0002);
        if (c.error) {
            EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
            EXPECT_TRUE(r.table.hz.empty());
            continue;
        }
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(r.table.hz, c.hz);
        EXPECT_EQ(r.table.dwellS, c.dwell);
    }
}

TEST(HopListCsv, WritesWhatItReadsBack) {
    const hoplist::Table t{{0, 1e6, 12345678.9, 25e6}, {0.001, 0.0002, 1.5, 1000}};
    const hoplist::CsvRead r = hoplist::parseCsv(hoplist::formatCsv(t), 25e6, 0.0002);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.table.hz, t.hz);
    EXPECT_EQ(r.table.dwellS, t.dwellS);
}

// ---- whole lists ---------------------------------------------------------------

// The test's own tuning word: MHz in single precision, 2^32 f / 50 MHz, ties to even.
uint32_t wordOf(double hz) {
    const double mhz = static_cast<float>(hz / 1e6);
    return static_cast<uint32_t>(std::nearbyint(4294967296.0 * mhz / 50.0));
}

std::vector<uint16_t> loadWords(int reg, uint32_t w) {
    const uint16_t a = static_cast<uint16_t>(reg * 0x400);
    return {static_cast<uint16_t>(0x3000 | a | (w & 0xFF)), static_cast<uint16_t>(0x2100 | a | (w >> 8 & 0xFF)),
            static_cast<uint16_t>(0x3200 | a | (w >> 16 & 0xFF)), static_cast<uint16_t>(0x2300 | a | (w >> 24))};
}

// The words of `steps` rows (counted over the passes) of a list whose idle
// register is `idle`: row 0 loaded, SELSRC raised when it was 0, then each
// select word followed by the next row's load unless it was the last.
std::vector<uint16_t> expected(const std::vector<double>& hz, int idle, bool selsrc, bool sync, uint64_t steps,
                               uint64_t total) {
    std::vector<uint16_t> w = loadWords(idle, wordOf(hz[0]));
    if (!selsrc) w.push_back(sync ? 0xB000 : 0x9000);
    int reg = idle;
    for (uint64_t k = 0; k < steps; ++k) {
        w.push_back(static_cast<uint16_t>(0x5000 | reg << 11));
        reg = 1 - reg;
        if (total == 0 || k + 1 < total)
            for (uint16_t x : loadWords(reg, wordOf(hz[(k + 1) % hz.size()]))) w.push_back(x);
    }
    return w;
}

class HopLists : public ::testing::Test {
protected:
    HopLists() : wire([this] { return SweepTimer::Clock::time_point(now.load()); }) { chip.startUp(); }

    uint64_t stepsDone() {
        const hoplist::Progress p = chip.listProgress();
        return p.pass == 0 ? 0 : (p.pass - 1) * p.rows + p.row;
    }
    // Moves the clock to row k's due time (the dwells before it) and waits for its select word.
    void dueStep(uint64_t k, const std::vector<double>& dwell, size_t rows) {
        double t = 0;
        for (uint64_t i = 0; i < k; ++i) t += dwell.size() == 1 ? dwell[0] : dwell[i % rows];
        now = std::chrono::nanoseconds(std::llround(t * 1e9) + 1000);  // a microsecond past: sums round apart
        waitFor([&] { return stepsDone() > k || !chip.listRunning(); });
    }
    static void waitFor(const std::function<bool()>& done) {
        for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(done());
    }

    std::atomic<SweepTimer::Clock::duration> now{};
    WireHarness wire;
    control::ChipControl& chip = wire.chip;
};

struct ListCase {
    const char* name;
    std::vector<double> hz, dwell;
    uint64_t passes;      // 0: until stopped
    uint64_t runSteps;    // rows to run before the end (or Stop)
    bool selsrc, sync;    // before the start
    int selected;         // the main window's frequency register
};

const ListCase kLists[] = {
    {"ThreeRowsOnePassRaisesSelsrc", {1e6, 2e6, 3e6}, {0.001, 0.002, 0.001}, 1, 3, false, false, 0},
    {"OneDwellForAllTwoPassesFromFreq1", {10e6, 12.5e6}, {0.0005}, 2, 4, true, false, 1},
    {"SyncKeptInTheRaise", {1e6, 24e6, 7.25e6, 0}, {0.001}, 1, 4, false, true, 0},
    {"UntilStoppedStoppedMidway", {5e6, 6e6, 7e6}, {0.001, 0.003, 0.002}, 0, 5, true, true, 0},
};

TEST_F(HopLists, FreeRunningSendsEachRowsSelectWordAfterLoadingItIntoTheIdleRegister) {
    for (const ListCase& c : kLists) {
        SCOPED_TRACE(c.name);
        now = SweepTimer::Clock::duration::zero();
        chip.setSync(c.sync);
        chip.setSelsrc(true);
        chip.selectFrequency(c.selected);
        chip.setSelsrc(c.selsrc);
        ASSERT_EQ(chip.setListFrequencies(c.hz, false), "");
        ASSERT_EQ(chip.setListDwells(c.dwell, false), "");
        chip.setListCount(c.passes);
        chip.setListTrigger(hoplist::Trigger::Immediate);
        const uint64_t ended = chip.listsEnded();
        wire.clear();
        ASSERT_TRUE(chip.startList().ok());
        EXPECT_TRUE(chip.startList().busy);
        for (uint64_t k = 0; k < c.runSteps; ++k) dueStep(k, c.dwell, c.hz.size());
        const uint64_t total = c.passes * c.hz.size();
        if (c.passes != 0) {
            EXPECT_TRUE(chip.listRunning()) << "the last row's dwell is still under way";
            dueStep(total, c.dwell, c.hz.size());
        } else {
            EXPECT_TRUE(chip.stopList().ok());
        }
        EXPECT_FALSE(chip.listRunning());
        EXPECT_EQ(chip.listsEnded(), ended + 1);
        EXPECT_EQ(hexWords(wire.words()), hexWords(expected(c.hz, 1 - c.selected, c.selsrc, c.sync, c.runSteps, total)));
        // The output stays on the last row: SELSRC and the selection as the list left them.
        const int last = (1 - c.selected + static_cast<int>(c.runSteps) + 1) % 2;
        EXPECT_TRUE(chip.selsrc());
        EXPECT_EQ(chip.selectedFrequency(), last);
        EXPECT_EQ(chip.loadedWord(last), wordOf(c.hz[(c.runSteps - 1) % c.hz.size()]));
    }
}

TEST_F(HopLists, OnBusTriggersEachTriggerSendsTheNextRowAndDwellsAreIgnored) {
    const std::vector<double> hz = {1e6, 2e6, 3e6};
    chip.setListFrequencies(hz, false);
    chip.setListDwells({1000}, false);  // never waited for
    chip.setListCount(2);
    chip.setListTrigger(hoplist::Trigger::Bus);
    bool fired = true;
    EXPECT_TRUE(chip.triggerList(fired).ok());
    EXPECT_FALSE(fired) << "nothing waits before the start";
    wire.clear();
    ASSERT_TRUE(chip.startList().ok());
    EXPECT_TRUE(chip.listWaiting());
    EXPECT_EQ(hexWords(wire.words()), hexWords(expected(hz, 1, false, false, 0, 6))) << "loaded and waiting";
    for (int k = 0; k < 6; ++k) {
        EXPECT_TRUE(chip.triggerList(fired).ok());
        EXPECT_TRUE(fired);
    }
    EXPECT_FALSE(chip.listRunning()) << "no trigger is waited for after the last row";
    EXPECT_FALSE(chip.listWaiting());
    chip.triggerList(fired);
    EXPECT_FALSE(fired);
    EXPECT_EQ(hexWords(wire.words()), hexWords(expected(hz, 1, false, false, 6, 6)));
    const hoplist::Progress p = chip.listProgress();
    EXPECT_EQ(p.row, 3u);
    EXPECT_EQ(p.pass, 2u);
}

// Frequency loads and selection, sweeps and FSK keying wait for the list;
// phase loads do not; Clear, Initialise and SELSRC end it before their words.
TEST_F(HopLists, RunningListRefusesFrequencyChangesAndEndsBeforeClear) {
    chip.setListFrequencies({1e6, 2e6}, false);
    chip.setListDwells({0.001}, false);
    chip.setListCount(0);
    ASSERT_TRUE(chip.startList().ok());
    dueStep(0, {0.001}, 2);
    wire.clear();
    EXPECT_EQ(chip.commitFrequency(0, "3").conflict, "list");
    EXPECT_EQ(chip.loadTuningWord(1, 5).conflict, "list");
    EXPECT_EQ(chip.selectFrequency(0).conflict, "list");
    EXPECT_EQ(chip.startSweep(0, {"1", "2", "1", "1", "1"}).refusal, sweep::Refusal::ListRunning);
    chip.setKeyingType(keying::Type::FSK);
    EXPECT_EQ(chip.startKeying().conflict, "list");
    EXPECT_EQ(hexWords(wire.words()), "") << "nothing of the refused actions";
    EXPECT_TRUE(chip.commitPhase(1, "7").ok());
    EXPECT_EQ(hexWords(wire.words()), hexWords({0x1A07, 0x0B00}));
    wire.clear();
    EXPECT_TRUE(chip.clear().ok());
    EXPECT_FALSE(chip.listRunning());
    EXPECT_EQ(hexWords(wire.words()), hexWords({0xC800})) << "the list sends nothing at its end";
    EXPECT_TRUE(chip.commitFrequency(0, "3").ok());
}

TEST_F(HopLists, AListThatCannotStartSaysWhyAndSendsNothing) {
    const struct {
        const char* name;
        std::vector<double> hz, dwell;
        const char* why;
    } cases[] = {
        {"Empty", {}, {}, "no rows"},
        {"Unequal", {1, 2, 3}, {1, 1}, "3 frequencies but 2 dwells"},
        {"ShortDwell", {1, 2, 3}, {1, 1, 0.0001}, "row 3: dwell 0.1 ms"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        chip.setListFrequencies(c.hz, false);
        chip.setListDwells(c.dwell, false);
        wire.clear();
        const control::Outcome r = chip.startList();
        EXPECT_NE(r.conflict.find(c.why), std::string::npos) << r.conflict;
        EXPECT_FALSE(chip.listRunning());
        EXPECT_EQ(hexWords(wire.words()), "");
    }
}

}  // namespace
