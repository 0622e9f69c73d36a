// The chip model fed through the real transmitter and the wire decoder.
#include "board/ChipModel.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "support/WireHarness.h"

#include <QString>
#include <gtest/gtest.h>

#include <vector>

namespace {

using Words = std::vector<uint16_t>;

const Words kInitialise = {0x3000, 0x2100, 0x3200, 0x2300, 0x3400, 0x2500, 0x3600, 0x2700,
                           0x1800, 0x0900, 0x1A00, 0x0B00, 0x1C00, 0x0D00, 0x1E00, 0x0F00,
                           0xC800, 0xC000, 0xD000, 0xC000, 0x5000, 0x4000};

class ChipModelTest : public ::testing::Test {
protected:
    void attach(double clockMHz = 50.0) { model = attachChipModel(harness.board(), clockMHz); }
    // Words go out through the transmitter; the model takes them when drained.
    void send(const Words& words) {
        for (uint16_t w : words) harness.transmitter.send(w);
        if (model) model->drain();
    }
    // One frame with `clocks` falling edges, written straight to the data register.
    void sendFrame(int clocks) {
        portlib::Parllio& port = harness.port;
        port.OutByte(port.portAddress(), 0x04);
        port.OutByte(port.portAddress(), 0x00);
        for (int i = 0; i < clocks; ++i) {
            port.OutByte(port.portAddress(), 0x01);
            port.OutByte(port.portAddress(), 0x00);
        }
        port.OutByte(port.portAddress(), 0x04);
        if (model) model->drain();
    }
    QString mhz() const { return QString::number(model->outputMHz(), 'f', 6); }

    WireHarness harness;
    std::shared_ptr<ChipModel> model;
};

TEST_F(ChipModelTest, StartsAtPowerOnState) {
    attach();
    EXPECT_EQ(model->freq(0), 0u);
    EXPECT_EQ(model->phase(3), 0u);
    EXPECT_TRUE(model->outputActive());
    EXPECT_EQ(model->words(), 0u);
}

struct PriorState {
    const char* name;
    Words words;
};

class InitialiseAfter : public ChipModelTest, public ::testing::WithParamInterface<PriorState> {};

TEST_P(InitialiseAfter, LeavesEveryRegisterZeroAndRegisterZeroSelected) {
    attach();
    send(GetParam().words);
    send(kInitialise);
    for (int r = 0; r < 2; ++r) EXPECT_EQ(model->freq(r), 0u) << "FREQ" << r;
    for (int r = 0; r < 4; ++r) EXPECT_EQ(model->phase(r), 0u) << "PHASE" << r;
    EXPECT_EQ(model->selectedFreq(), 0);
    EXPECT_EQ(model->selectedPhase(), 0);
    EXPECT_EQ(model->freqSelectWord(), 0);
    EXPECT_EQ(model->phaseSelectWord(), 0);
    EXPECT_FALSE(model->sleep());
    EXPECT_FALSE(model->reset());
    EXPECT_FALSE(model->selsrc());
    EXPECT_FALSE(model->hasPendingHalf());
    EXPECT_TRUE(model->outputActive());
    EXPECT_EQ(model->outputMHz(), 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Prior, InitialiseAfter,
    ::testing::Values(
        PriorState{"PowerOn", {}},
        PriorState{"EverythingLoadedAndSelected",
                   {0x30FF, 0x21FF, 0x32FF, 0x237F, 0x3478, 0x2556, 0x3634, 0x2712, 0x18FF, 0x090F,
                    0x1AFF, 0x0B0F, 0x1CFF, 0x0D0F, 0x1EFF, 0x0F0F, 0xB000, 0x5800, 0x4600, 0xE000}},
        PriorState{"ResetHeldWithDanglingHalf", {0xD000, 0x3099, 0x1E55, 0x9000, 0x5800}},
        PriorState{"UnknownAndUnpairedWords", {0x6123, 0x2355, 0x0F0F, 0xF000}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChipModelTest, Freq0LoadReadsBackAsOneMegahertz) {
    attach();
    send({0x3052, 0x21B8, 0x321E, 0x2305});
    EXPECT_EQ(model->freq(0), 0x051EB852u);
    EXPECT_EQ(mhz(), "1.000000");
    EXPECT_EQ(model->unpairedHalves(), 0u);
}

TEST_F(ChipModelTest, FirstHalfLandsOnlyWithItsPartner) {
    attach();
    send({0x3052});
    EXPECT_EQ(model->freq(0), 0u);
    EXPECT_TRUE(model->hasPendingHalf());
    send({0x21B8});
    EXPECT_EQ(model->freq(0), 0xB852u);
    EXPECT_FALSE(model->hasPendingHalf());
}

struct SplitPair {
    const char* name;
    Words words;
    bool phase;  // which register family to read back
    int reg;
    uint32_t expected;
    uint64_t unpaired;
};

class SplitPairs : public ChipModelTest, public ::testing::WithParamInterface<SplitPair> {};

TEST_P(SplitPairs, LandAsDocumented) {
    const SplitPair& c = GetParam();
    attach();
    send(c.words);
    EXPECT_EQ(c.phase ? model->phase(c.reg) : model->freq(c.reg), c.expected)
        << hexWords(c.words);
    EXPECT_EQ(model->unpairedHalves(), c.unpaired) << hexWords(c.words);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitPairs,
    ::testing::Values(
        SplitPair{"SelectWordBetween", {0x3052, 0x5800, 0x21B8}, false, 0, 0xB852, 0},
        SplitPair{"ControlWordsBetween", {0x3052, 0xC000, 0x9000, 0x4200, 0x21B8}, false, 0, 0xB852, 0},
        SplitPair{"PhaseSelectBetween", {0x1C23, 0x5000, 0x0D01}, true, 2, 0x123, 0},
        SplitPair{"NewFirstHalfReplacesHeldOne", {0x3052, 0x3011, 0x21B8}, false, 0, 0xB811, 1},
        SplitPair{"SecondHalfAlone", {0x21B8}, false, 0, 0, 1},
        SplitPair{"WrongPartnerIgnoredHalfKept", {0x3052, 0x2305, 0x21B8}, false, 0, 0xB852, 1},
        SplitPair{"PhasePartnerForFrequencyHalf", {0x3052, 0x0901}, false, 0, 0, 1},
        SplitPair{"PhaseHalfDisplacedByFrequency", {0x1823, 0x3652, 0x0901, 0x27AA}, false, 1, 0xAA520000, 2},
        SplitPair{"UpperPairOfFreq1", {0x3634, 0x2712}, false, 1, 0x12340000, 0},
        SplitPair{"PhaseHighPartKeepsFourBits", {0x1EFF, 0x0FFF}, true, 3, 0xFFF, 0}),
    [](const auto& info) { return std::string(info.param.name); });


class FramingErrors : public ChipModelTest, public ::testing::WithParamInterface<int> {};

TEST_P(FramingErrors, AreCountedAndApplyNothing) {
    attach();
    sendFrame(GetParam());
    EXPECT_EQ(model->framingErrors(), 1u);
    EXPECT_EQ(model->words(), 0u);
    EXPECT_EQ(model->log().size(), 0u);
    send({0x3052, 0x21B8});  // the next proper frame is taken again
    EXPECT_EQ(model->freq(0), 0xB852u);
    EXPECT_EQ(model->framingErrors(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Clocks, FramingErrors, ::testing::Values(15, 17, 0, 1));

TEST_F(ChipModelTest, SixteenClockFrameIsAWord) {
    attach();
    sendFrame(16);
    EXPECT_EQ(model->framingErrors(), 0u);
    EXPECT_EQ(model->words(), 1u);
    EXPECT_EQ(model->log().back().word, 0x0000);
}

TEST_F(ChipModelTest, UnknownCommandsAreCountedAndIgnored) {
    attach();
    send({0x3052, 0x21B8, 0x9000, 0x5800});
    send({0x6000, 0x7FFF, 0x6ABC});
    EXPECT_EQ(model->unknownCommands(), 3u);
    EXPECT_EQ(model->words(), 7u);
    EXPECT_EQ(model->freq(0), 0xB852u);
    EXPECT_EQ(model->selectedFreq(), 1);
    EXPECT_TRUE(model->selsrc());
    EXPECT_EQ(ChipModel::describe(model->log().back().word, model->log().back().outcome),
              "unknown command 0x6ABC");
}

TEST_F(ChipModelTest, SelectWordsApplyOnlyWhileSelsrcIsOne) {
    attach();
    send({0x3000, 0x2100, 0x3200, 0x2310});  // FREQ0 = 0x10000000
    send({0x3400, 0x2500, 0x3600, 0x2720});  // FREQ1 = 0x20000000
    send({0x1A00, 0x0B04});                  // PHASE1 = 0x400 (90 degrees)
    send({0x5800, 0x4200});
    EXPECT_EQ(model->freqSelectWord(), 1);
    EXPECT_EQ(model->selectedFreq(), 0);
    EXPECT_EQ(model->selectedPhase(), 0);
    EXPECT_EQ(mhz(), "3.125000");
    EXPECT_EQ(model->outputDegrees(), 0.0);

    send({0x9000});
    EXPECT_EQ(model->selectedFreq(), 1);
    EXPECT_EQ(model->selectedPhase(), 1);
    EXPECT_EQ(mhz(), "6.250000");
    EXPECT_EQ(model->outputDegrees(), 90.0);

    send({0xC800});  // Clear drops SELSRC in the chip
    EXPECT_FALSE(model->selsrc());
    EXPECT_EQ(model->selectedFreq(), 0);
    EXPECT_EQ(model->clears(), 1u);

    send({0xB000});
    EXPECT_TRUE(model->sync());
    EXPECT_EQ(model->selectedFreq(), 1);
    send({0x8000});
    EXPECT_EQ(model->selectedFreq(), 0);
}

struct ModeCase {
    uint16_t word;
    bool sleep, reset, active;
};

class Modes : public ChipModelTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(Modes, OutputOnlyWithoutSleepAndReset) {
    const ModeCase& c = GetParam();
    attach();
    send({0x3052, 0x21B8, 0x321E, 0x2305, 0x1800, 0x0908});
    send({c.word});
    EXPECT_EQ(model->sleep(), c.sleep);
    EXPECT_EQ(model->reset(), c.reset);
    EXPECT_EQ(model->outputActive(), c.active);
    EXPECT_EQ(mhz(), c.active ? "1.000000" : "0.000000");
    EXPECT_EQ(model->outputDegrees(), c.active ? 180.0 : 0.0);
    EXPECT_EQ(model->freq(0), 0x051EB852u);  // registers are kept
}

INSTANTIATE_TEST_SUITE_P(Words, Modes,
                         ::testing::Values(ModeCase{0xE000, true, false, false}, ModeCase{0xD000, false, true, false},
                                           ModeCase{0xF000, true, true, false}, ModeCase{0xF800, true, true, false},
                                           ModeCase{0xC800, false, false, true}, ModeCase{0xC000, false, false, true}));

struct ClockCase {
    double clock;
    Words words;
    const char* mhz;
};

class BoardClock : public ChipModelTest, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(BoardClock, ScalesTheOutput) {
    attach(GetParam().clock);
    send(GetParam().words);
    EXPECT_EQ(mhz(), GetParam().mhz);
}

INSTANTIATE_TEST_SUITE_P(Clocks, BoardClock,
                         ::testing::Values(ClockCase{100.0, {0x3052, 0x21B8, 0x321E, 0x2305}, "2.000000"},
                                           ClockCase{40.0, {0x3000, 0x2100, 0x3200, 0x2340}, "10.000000"},
                                           ClockCase{25.0, {0x3033, 0x2133, 0x3233, 0x2333}, "5.000000"},
                                           ClockCase{50.0, {0x3000, 0x2100, 0x3200, 0x2340}, "12.500000"}));

struct Description {
    uint16_t word;
    WordOutcome outcome;
    const char* text;
};

class Describe : public ::testing::TestWithParam<Description> {};

TEST_P(Describe, NamesWhatTheWordDoes) {
    EXPECT_EQ(ChipModel::describe(GetParam().word, GetParam().outcome), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Words, Describe,
    ::testing::Values(Description{0x21B8, WordOutcome::Applied, "FREQ0 bits 15..8 = 0xB8"},
                      Description{0x3052, WordOutcome::Held, "FREQ0 bits 7..0 = 0x52, held"},
                      Description{0x2712, WordOutcome::Applied, "FREQ1 bits 31..24 = 0x12"},
                      Description{0x0D01, WordOutcome::Applied, "PHASE2 bits 11..8 = 0x1"},
                      Description{0x1C23, WordOutcome::Held, "PHASE2 bits 7..0 = 0x23, held"},
                      Description{0x2100, WordOutcome::Unpaired, "FREQ0 bits 15..8 = 0x00, no first half: ignored"},
                      Description{0x3100, WordOutcome::Unpaired, "command 0x3 with address 0x1: ignored"},
                      Description{0xE000, WordOutcome::Applied, "Sleep on, Reset off"},
                      Description{0xD800, WordOutcome::Applied, "Sleep off, Reset on, Clear"},
                      Description{0x5800, WordOutcome::Applied, "Select FREQ1"},
                      Description{0x4400, WordOutcome::Applied, "Select PHASE2"},
                      Description{0xA000, WordOutcome::Applied, "Sync 1, SELSRC 0"},
                      Description{0x6123, WordOutcome::Unknown, "unknown command 0x6123"}));

TEST_F(ChipModelTest, LogKeepsTheLastWordsWithTheirOutcome) {
    attach();
    const int selects = static_cast<int>(ChipModel::kLogLength) + 50;
    for (int i = 1; i <= selects; ++i) harness.transmitter.send(0x4000 + 0x0200 * (i % 4));
    send({0x3052, 0x2305});
    const auto& log = model->log();
    EXPECT_EQ(log.size(), ChipModel::kLogLength);
    EXPECT_EQ(log.total(), static_cast<uint64_t>(selects) + 2);
    EXPECT_EQ(log[log.size() - 2].word, 0x3052);
    EXPECT_EQ(log[log.size() - 2].outcome, WordOutcome::Held);
    EXPECT_EQ(log.back().outcome, WordOutcome::Unpaired);
    EXPECT_EQ(log[0].word, 0x4000 + 0x0200 * (53 % 4));  // word 53 is the oldest kept
}

TEST_F(ChipModelTest, HistoryRecordsEachOutputChangeWithItsTime) {
    attach();
    double t = 0.0;
    model->setTimeSource([&t] { return t; });
    t = 1.0;
    send({0x3000, 0x2100, 0x3200, 0x2340});  // 12.5 MHz lands with the upper pair
    t = 2.0;
    send({0xD000});  // reset: no output
    t = 3.0;
    send({0x5000, 0x4000});  // no change: no sample
    const auto& h = model->history();
    ASSERT_EQ(h.size(), 3u);
    EXPECT_EQ(h[0].time, 0.0);
    EXPECT_EQ(h[0].mhz, 0.0);
    EXPECT_EQ(h[1].time, 1.0);
    EXPECT_EQ(h[1].mhz, 12.5);
    EXPECT_EQ(h[2].time, 2.0);
    EXPECT_EQ(h[2].mhz, 0.0);
}

TEST_F(ChipModelTest, ListenerHearsEveryWordAndFramingError) {
    attach();
    int calls = 0;
    model->setChangeListener([&calls] { ++calls; });
    send({0x3052, 0x21B8, 0x6000});
    sendFrame(15);
    EXPECT_EQ(calls, 4);
}

TEST_F(ChipModelTest, ANewClockChangesTheMegahertzNotTheRegisters) {
    attach(50.0);
    send({0x3000, 0x2100, 0x3200, 0x2340});
    const uint64_t samples = model->history().total();
    model->setClockMHz(25.0);
    EXPECT_EQ(model->freq(0), 0x40000000u);
    EXPECT_EQ(mhz(), "6.250000");
    EXPECT_EQ(model->history().total(), samples + 1) << "the output changed";
    model->setClockMHz(0.0);
    EXPECT_EQ(model->clockMHz(), 25.0) << "no clock is not a clock";
}

}  // namespace
