// The control layer on its own, with no window: the words of each action read
// back from the simulated board, what it announces, and a sweep that runs
// from start to end with nobody watching.
#include "control/ChipControl.h"
#include "portlib/Parllio.h"
#include "support/WireHarness.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace {

using control::ChipControl;
using control::Field;

struct ActionCase {
    const char* name;
    std::function<control::Outcome(ChipControl&)> act;
    std::vector<uint16_t> words;
};

class Actions : public ::testing::TestWithParam<ActionCase> {
protected:
    WireHarness wire;
    ChipControl& chip = wire.chip;
};

TEST_P(Actions, SendExactlyTheirWords) {
    chip.startUp();
    wire.clear();
    const control::Outcome r = GetParam().act(chip);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(hexWords(wire.words()), hexWords(GetParam().words));
}

const ActionCase kActions[] = {
    {"Sync", [](ChipControl& c) { return c.toggleSync(); }, {0xA000}},
    {"SelsrcThenFreq1",
     [](ChipControl& c) {
         c.toggleSelsrc();
         return c.selectFrequency(1);
     },
     {0x9000, 0x5800}},
    {"SleepWithReset",
     [](ChipControl& c) {
         c.toggleReset();
         return c.setSleep(true);
     },
     {0xD000, 0xF000}},
    {"ClearKeepsSleepAndReset",
     [](ChipControl& c) {
         c.setSleep(true);
         c.toggleReset();
         return c.clear();
     },
     {0xE000, 0xF000, 0xF800}},
    {"Freq0", [](ChipControl& c) { return c.commitFrequency(0, "12.5"); }, {0x3000, 0x2100, 0x3200, 0x2340}},
    {"Freq1AboveTheLimit", [](ChipControl& c) { return c.commitFrequency(1, "30"); }, {0x34FF, 0x25FF, 0x36FF, 0x277F}},
    {"Phase1", [](ChipControl& c) { return c.commitPhase(1, "77"); }, {0x1A4D, 0x0B00}},
    {"RawWord", [](ChipControl& c) { return c.sendWord(0x1234); }, {0x1234}},
    {"Initialise", [](ChipControl& c) { return c.initialise(); },
     {0x3000, 0x2100, 0x3200, 0x2300, 0x3400, 0x2500, 0x3600, 0x2700, 0x1800, 0x0900, 0x1A00,
      0x0B00, 0x1C00, 0x0D00, 0x1E00, 0x0F00, 0xC800, 0xC000, 0xD000, 0xC000, 0x5000, 0x4000}},
};

INSTANTIATE_TEST_SUITE_P(NoWindow, Actions, ::testing::ValuesIn(kActions),
                         [](const auto& info) { return std::string(info.param.name); });

class ChipControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        chip.startUp();
        wire.clear();
    }
    WireHarness wire;
    ChipControl& chip = wire.chip;
};

TEST_F(ChipControlTest, ACommitAnnouncesTheFieldTextAndTheTuningWord) {
    QSignalSpy texts(&chip, &ChipControl::fieldTextChanged);
    QSignalSpy words(&chip, &ChipControl::tuningWordChanged);
    chip.commitFrequency(0, "1");
    ASSERT_EQ(texts.count(), 1);
    EXPECT_EQ(texts[0][0].value<Field>(), Field::Freq0);
    EXPECT_EQ(texts[0][1].toString(), "1.0000000000");
    ASSERT_EQ(words.count(), 1);
    EXPECT_EQ(words[0][1].toString(), "051EB852");
}

TEST_F(ChipControlTest, FailuresComeBackToTheCallerAndSendNothing) {
    QSignalSpy texts(&chip, &ChipControl::fieldTextChanged);
    EXPECT_TRUE(chip.commitPhase(2, "abc").badEntry);
    ASSERT_EQ(texts.count(), 1);
    EXPECT_EQ(texts[0][0].value<Field>(), Field::Phase2);
    EXPECT_TRUE(wire.words().empty());
}

// The clock is a committed value: a text that is no number or lies outside
// 0.001..1000 MHz changes nothing, and every later load computes from the
// clock that was committed last.
struct ClockCase {
    const char* text;
    bool accepted;
    const char* shown;          // what the clock field shows afterwards
    std::vector<uint16_t> freq;  // the words of FREQ0 = 1 MHz afterwards
};

class ClockCommits : public ::testing::TestWithParam<ClockCase> {
protected:
    WireHarness wire;
};

TEST_P(ClockCommits, RefusedClocksChangeNothing) {
    ChipControl& chip = wire.chip;
    chip.startUp();
    QSignalSpy texts(&chip, &ChipControl::fieldTextChanged);
    const control::Outcome r = chip.commitClock(GetParam().text);
    EXPECT_EQ(r.badEntry, !GetParam().accepted);
    ASSERT_GE(texts.count(), 1);
    EXPECT_EQ(texts.last()[0].value<Field>(), Field::Clock);
    EXPECT_EQ(texts.last()[1].toString().toStdString(), GetParam().shown);
    EXPECT_FLOAT_EQ(chip.maxFreq(), static_cast<float>(chip.clockMHz() / 2));
    wire.clear();
    chip.commitFrequency(0, "1");
    EXPECT_EQ(hexWords(wire.words()), hexWords(GetParam().freq));
}

const std::vector<uint16_t> k1MHzAt50 = {0x3052, 0x21B8, 0x321E, 0x2305};
INSTANTIATE_TEST_SUITE_P(
    Texts, ClockCommits,
    ::testing::Values(ClockCase{"60", true, "60.000000", {0x3044, 0x2144, 0x3244, 0x2304}},
                      ClockCase{"0.001", true, ".001000", {0x30FF, 0x21FF, 0x32FF, 0x237F}},
                      ClockCase{"1000", true, "1000.000000", {0x3037, 0x2189, 0x3241, 0x2300}},
                      ClockCase{"0", false, "50.000000", k1MHzAt50}, ClockCase{"-5", false, "50.000000", k1MHzAt50},
                      ClockCase{"1000.5", false, "50.000000", k1MHzAt50},
                      ClockCase{"1e40", false, "50.000000", k1MHzAt50},
                      ClockCase{"abc", false, "50.000000", k1MHzAt50},
                      ClockCase{"", false, "50.000000", k1MHzAt50}));

// A sweep step computes from the committed clock, whatever a window shows.
TEST_F(ChipControlTest, SweepStepsUseTheCommittedClock) {
    chip.commitClock("60");
    ASSERT_TRUE(chip.startSweep(0, {"1", "3", "1", "1", "1"}).plan);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !chip.sweeping(0); }, 5000));
    const auto w = wire.words();
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ(hexWords({w.begin(), w.begin() + 4}), hexWords({0x3044, 0x2144, 0x3244, 0x2304}));
}

// After a replug the chip gets back what the windows show, in one operation.
TEST_F(ChipControlTest, ResendingTheStateSendsWhatTheWindowsShow) {
    chip.commitFrequency(0, "1");
    chip.commitFrequency(1, "10");
    chip.commitPhase(2, "2048");
    chip.setReset(true);
    chip.setSelsrc(true);
    chip.selectFrequency(1);
    chip.selectPhase(2);
    wire.clear();
    chip.resendState();
    EXPECT_EQ(hexWords(wire.words()),
              hexWords({0xD000, 0x9000, 0x3052, 0x21B8, 0x321E, 0x2305, 0x3433, 0x2533, 0x3633, 0x2733, 0x1800,
                        0x0900, 0x1A00, 0x0B00, 0x1C00, 0x0D08, 0x1E00, 0x0F00, 0x5800, 0x4400}));
}

TEST_F(ChipControlTest, ARawWordLeavesTheStoredStateAlone) {
    chip.sendWord(0xB000);  // Sync and SELSRC on the chip
    EXPECT_FALSE(chip.sync());
    EXPECT_FALSE(chip.selsrc());
    chip.toggleSync();
    EXPECT_EQ(hexWords(wire.words()), hexWords({0xB000, 0xA000}));
}

// The program ends: a field committed while the windows close sends nothing,
// nor does any other door, and a keying or sweep start is a no-op.
TEST_F(ChipControlTest, AfterHaltNothingIsSent) {
    chip.halt();
    chip.commitFrequency(0, "2");
    chip.toggleSync();
    chip.initialise();
    chip.startKeying();
    chip.resendFrequency(1);
    EXPECT_TRUE(wire.words().empty());
    EXPECT_FALSE(chip.keyingRunning());
}

TEST_F(ChipControlTest, APortThatFailsIsReportedAndTheChipGoesOn) {
    struct Dead : PortBackendDecorator {
        using PortBackendDecorator::PortBackendDecorator;
        void OutByte(uint16_t, int32_t) override { throw PortError("cable pulled"); }
    };
    auto live = wire.port.setBackend(nullptr);
    wire.port.setBackend(std::make_unique<Dead>(std::move(live)));
    EXPECT_EQ(chip.toggleSync().portFailure, "cable pulled");
    EXPECT_EQ(chip.initialise().portFailure, "cable pulled");
    EXPECT_TRUE(chip.sync() == false) << "Initialise went through its steps";
}

TEST_F(ChipControlTest, ASweepRunsToItsEndWithNoWindow) {
    QSignalSpy state(&chip, &control::ChipControl::sweepingChanged);
    ASSERT_TRUE(chip.startSweep(1, {"0", "10", "5", "2", "0"}).plan);
    for (int i = 0; i < 2000 && chip.sweeping(1); ++i) QTest::qWait(1);
    EXPECT_FALSE(chip.sweeping(1));
    std::vector<uint32_t> tuning;
    const auto w = wire.words();
    for (size_t i = 0; i + 3 < w.size(); i += 4)
        tuning.push_back((w[i] & 0xFF) | (w[i + 1] & 0xFF) << 8 | (w[i + 2] & 0xFF) << 16 | (w[i + 3] & 0xFF) << 24);
    // 0, 5, 10, 10 twice: FREQ1 words only.
    const std::vector<uint32_t> expected = {0, 0x19999999 + 1, 0x33333333, 0x33333333,
                                            0, 0x19999999 + 1, 0x33333333, 0x33333333};
    EXPECT_EQ(tuning, expected);
    for (uint16_t word : w) EXPECT_EQ(word & 0xFC00, (word & 0x1000) ? 0x3400 : 0x2400);
    ASSERT_TRUE(QTest::qWaitFor([&state] { return state.count() == 2; }, 2000));
    EXPECT_TRUE(state[0][1].toBool());
    EXPECT_FALSE(state[1][1].toBool());
}

}  // namespace
