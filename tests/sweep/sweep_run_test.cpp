// Sweeps driven tick by tick through the window's handlers; every value is
// read back from the wire. Start uses a long delay so no tick comes by itself.
#include "SweepFixture.h"
#include "support/StubPort.h"

#include "portlib/Parllio.h"

#include <QTest>

#include <cmath>
#include <mutex>

namespace {

const char* kLong = "100000";

void expectValues(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << "load " << i;
}

struct Example {
    int group;
    const char *start, *stop, *step, *loops;
    std::vector<double> values;
};

class Examples : public SweepFixture, public ::testing::WithParamInterface<Example> {};

TEST_P(Examples, EachTickLoadsTheNextValueAndTheLastLoopEndsTheSweep) {
    const Example& e = GetParam();
    fillGroup(e.group, e.start, e.stop, e.step, e.loops, kLong);
    click(e.group == 0 ? "Command1" : "Command4");
    EXPECT_EQ(frame(e.group + 1)->title(), QStringLiteral("Sweeping"));
    EXPECT_TRUE(wire.words().empty()) << "Start loads nothing";
    const bool up = std::atof(e.start) < std::atof(e.stop);
    const SweepTimer& timer = e.group == 0 ? (up ? w->Countup1 : w->Countdown1) : (up ? w->Countup2 : w->countdown2);
    EXPECT_TRUE(timer.isEnabled());
    EXPECT_EQ(timer.interval(), 100000);
    for (size_t i = 0; i < e.values.size(); ++i) {
        ASSERT_TRUE(timer.isEnabled()) << "stopped early at tick " << i;
        if (e.group == 0) up ? w->countup1_Timer() : w->countdown1_Timer();
        else up ? w->countup2_Timer() : w->countdown2_Timer();
    }
    const auto loads = freqLoads(wire.words());
    expectValues(mhzOf(loads, e.group), e.values);
    EXPECT_TRUE(mhzOf(loads, 1 - e.group).empty());
    EXPECT_FALSE(timer.isEnabled());
    EXPECT_EQ(frame(e.group + 1)->title(), e.group == 0 ? QStringLiteral("Freq. 0 Controls")
                                                        : QStringLiteral("Freq. 1 Controls"));
}

INSTANTIATE_TEST_SUITE_P(
    BothGroups, Examples,
    ::testing::Values(Example{0, "0", "10", "3", "1", {0, 3, 6, 9, 10}},
                      Example{0, "0", "10", "5", "2", {0, 5, 10, 10, 0, 5, 10, 10}},
                      Example{0, "10", "0", "3", "1", {10, 7, 4, 1, 0}},
                      Example{0, "1", "2", "1", "1", {1, 2, 2}},
                      Example{1, "0", "10", "3", "1", {0, 3, 6, 9, 10}},
                      Example{1, "10", "0", "3", "1", {10, 7, 4, 1, 0}},
                      Example{1, "0", "10", "5", "2", {0, 5, 10, 10, 0, 5, 10, 10}}));

struct Refused {
    const char *start, *stop, *step, *loops;
    const char* message;
};

class NeverEndingSweeps : public SweepFixture, public ::testing::WithParamInterface<Refused> {};

TEST_P(NeverEndingSweeps, AreRefusedWithAMessageAndChangeNothing) {
    const Refused& r = GetParam();
    fillGroup(0, r.start, r.stop, r.step, r.loops, kLong);
    click("Command1");
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text.toStdString(), r.message);
    EXPECT_EQ(notices[0].title, QStringLiteral("QZ4471"));
    EXPECT_EQ(frame(1)->title(), QStringLiteral("Freq. 0 Controls"));
    EXPECT_FALSE(w->Countup1.isEnabled() || w->Countdown1.isEnabled());
    EXPECT_TRUE(wire.words().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, NeverEndingSweeps,
    ::testing::Values(Refused{"5", "5", "0", "1", "Freq. Step must be greater than 0"},
                      Refused{"0", "10", "0", "1", "Freq. Step must be greater than 0"},
                      Refused{"0", "10", "-2", "1", "Freq. Step must be greater than 0"},
                      Refused{"0", "10", "5", "2.5", "No. of Loops must be a whole number"}));

TEST_F(SweepFixture, ALongLoopKeepsAdvancingPastTwoToTheTwentyFourSteps) {
    fillGroup(0, "0", "20", "0.000001", "1", kLong);
    click("Command1");
    SweepGroup far = wire.chip.sweepGroup(0);
    far.StepIndex = 16777215;
    wire.chip.restoreSweepGroup(0, far);
    for (int i = 0; i < 3; ++i) w->countup1_Timer();
    const auto mhz = mhzOf(freqLoads(wire.words()), 0);
    ASSERT_EQ(mhz.size(), 3u);
    const float step = 0.000001f;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(mhz[i], static_cast<float>((16777215.0 + i) * step), 1e-6);
    EXPECT_LT(mhz[0], mhz[2]) << "the frequency keeps advancing";
    EXPECT_EQ(wire.chip.sweepGroup(0).StepIndex, 16777218);
    EXPECT_TRUE(w->Countup1.isEnabled());
}

TEST_F(SweepFixture, StopKeepsTheLastFrequencyAndSendsNothing) {
    fillGroup(0, "0", "10", "1", "1", kLong);
    click("Command1");
    w->countup1_Timer();
    w->countup1_Timer();
    wire.clear();
    click("Command2");
    EXPECT_FALSE(w->Countup1.isEnabled());
    EXPECT_FALSE(w->Countdown1.isEnabled());
    EXPECT_EQ(frame(1)->title(), QStringLiteral("Freq. 0 Controls"));
    EXPECT_TRUE(wire.words().empty());
    EXPECT_EQ(wire.chip.sweepGroup(0).StepIndex, 2.0f) << "Stop does not touch the counters";
}

TEST_F(SweepFixture, BackWhileSweepingStopsEveryTimerAndCloses) {
    fillGroup(0, "0", "10", "1", "1", kLong);
    fillGroup(1, "10", "0", "1", "1", kLong);
    click("Command1");
    click("Command4");
    ASSERT_TRUE(w->Countup1.isEnabled() && w->countdown2.isEnabled());
    click("Back");
    EXPECT_FALSE(w->Countup1.isEnabled() || w->Countdown1.isEnabled() || w->Countup2.isEnabled() ||
                 w->countdown2.isEnabled());
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(wire.words().empty());
}

TEST_F(SweepFixture, CloseBoxStopsTheSweepToo) {
    fillGroup(0, "0", "10", "1", "1", kLong);
    click("Command1");
    w->close();
    EXPECT_FALSE(w->Countup1.isEnabled());
}

TEST_F(SweepFixture, BothGroupsSweepTheirOwnRegisters) {
    fillGroup(0, "0", "10", "3", "1", kLong);
    fillGroup(1, "10", "0", "5", "1", kLong);
    click("Command1");
    click("Command4");
    for (int i = 0; i < 5; ++i) {
        w->countup1_Timer();
        if (i < 4) w->countdown2_Timer();
    }
    const auto loads = freqLoads(wire.words());
    for (const FreqLoad& l : loads) EXPECT_NE(l.reg, -1);
    expectValues(mhzOf(loads, 0), {0, 3, 6, 9, 10});
    expectValues(mhzOf(loads, 1), {10, 5, 0, 0});
    EXPECT_FALSE(w->Countup1.isEnabled());
    EXPECT_FALSE(w->countdown2.isEnabled());
}

// Mend: a refused Start leaves the group exactly as it was.
// The sweep runs on its own 7 ms schedule; holding the port's lock, which each
// step takes, keeps its steps out from the first look to the last.
TEST_F(SweepFixture, RefusedStartChangesNothing) {
    fillGroup(0, "0", "10", "1", "9999999", "7");
    click("Command1");
    std::unique_lock steps(wire.port.lock());
    w->countup1_Timer();
    w->countup1_Timer();
    const SweepGroup before = wire.chip.sweepGroup(0);
    enter(3, "20");  // step 20 over a span of 10
    enter(5, kLong);
    wire.clear();
    click("Command1");
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, QStringLiteral("Step size is too big for start and stop frequencies"));
    EXPECT_EQ(notices[0].title, QStringLiteral("QZ4471"));
    EXPECT_EQ(notices[0].icon, platform::MessageIcon::None);
    const SweepGroup& after = wire.chip.sweepGroup(0);
    EXPECT_EQ(after.StepIndex, before.StepIndex);
    EXPECT_EQ(after.StepFreq, before.StepFreq);
    EXPECT_EQ(after.DelayMs, before.DelayMs);
    EXPECT_TRUE(w->Countup1.isEnabled());
    EXPECT_EQ(w->Countup1.interval(), 7);
    EXPECT_TRUE(wire.words().empty());
    steps.unlock();
    w->Command2_Click();
}

TEST_F(SweepFixture, RefusedStartFromIdleKeepsTheIdleCaption) {
    fillGroup(1, "5", "5", "1", "1", kLong);
    click("Command4");
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_EQ(frame(2)->title(), QStringLiteral("Freq. 1 Controls"));
    EXPECT_FALSE(w->Countup2.isEnabled() || w->countdown2.isEnabled());
}

TEST_F(SweepFixture, StartOnAnEmptyFieldIsRefusedQuietly) {
    fillGroup(0, "0", "10", "1", "1", kLong);
    click("Command1");
    w->countup1_Timer();
    text(4)->setText(QString());
    click("Command1");
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(wire.chip.sweepGroup(0).StepIndex, 1);
    EXPECT_EQ(wire.chip.sweepGroup(0).Loops, 1.0f);
    EXPECT_TRUE(w->Countup1.isEnabled());
    w->Command2_Click();
}

// Mend: one timer per group; a Start in the other direction stops the first.
TEST_F(SweepFixture, StartInTheOtherDirectionStopsTheOtherTimer) {
    fillGroup(0, "0", "10", "1", "1", kLong);
    click("Command1");
    ASSERT_TRUE(w->Countup1.isEnabled());
    enter(1, "10");
    enter(2, "0");
    click("Command1");
    EXPECT_TRUE(w->Countdown1.isEnabled());
    EXPECT_FALSE(w->Countup1.isEnabled());
    w->countdown1_Timer();
    expectValues(mhzOf(freqLoads(wire.words()), 0), {10});
}

TEST_F(SweepFixture, StartAgainRestartsAtTheStartFrequency) {
    fillGroup(0, "1", "10", "1", "1", kLong);
    click("Command1");
    w->countup1_Timer();
    w->countup1_Timer();
    enter(1, "5");
    click("Command1");
    w->countup1_Timer();
    expectValues(mhzOf(freqLoads(wire.words()), 0), {1, 2, 5});
}

class FailingPort : public StubPort {
public:
    void OutByte(uint16_t, int32_t) override {
        if (++writes > 60) throw PortError("port gone");
    }
    int writes = 0;
};

TEST_F(SweepFixture, ATickWhoseLoadFailsStopsTheGroup) {
    fillGroup(1, "10", "0", "1", "1", kLong);
    click("Command4");
    auto failing = std::make_unique<FailingPort>();
    FailingPort* port = failing.get();
    auto previous = wire.port.setBackend(std::move(failing));
    w->countdown2_Timer();
    auto removed = wire.port.setBackend(std::move(previous));
    QCoreApplication::processEvents();  // the group's end is said on the window's thread
    EXPECT_EQ(port->writes, 61) << "the load stopped at the failing write";
    EXPECT_FALSE(w->countdown2.isEnabled() || w->Countup2.isEnabled());
    EXPECT_EQ(frame(2)->title(), QStringLiteral("Freq. 1 Controls"));
}

struct DelayCase {
    const char* typed;
    int period;
};

class DelayRounding : public SweepFixture, public ::testing::WithParamInterface<DelayCase> {};

TEST_P(DelayRounding, DelayBecomesTheNearestPeriodWithHalvesToEven) {
    fillGroup(1, "0", "10", "1", "1", GetParam().typed);
    click("Command4");
    EXPECT_EQ(w->Countup2.interval(), GetParam().period);
    EXPECT_TRUE(w->Countup2.isEnabled());
    w->Command3_Click();
}

INSTANTIATE_TEST_SUITE_P(Periods, DelayRounding,
                         ::testing::Values(DelayCase{"2.5", 2}, DelayCase{"3.5", 4}, DelayCase{"2.75", 3},
                                           DelayCase{"0", 0}, DelayCase{"100000", 100000},
                                           DelayCase{"250000", 100000}));

TEST_F(SweepFixture, ZeroDelayRunsFromTheEventLoopAndStopsAtOnce) {
    fillGroup(0, "3", "4", "0.000001", "1", "0");  // a million steps: runs until Stop
    click("Command1");
    for (int i = 0; i < 10000 && wire.words().size() < 40; ++i) QTest::qWait(1);
    EXPECT_GE(wire.words().size(), 40u);
    click("Command2");
    const size_t stopped = wire.words().size();
    QTest::qWait(20);
    EXPECT_EQ(wire.words().size(), stopped);
    for (double mhz : mhzOf(freqLoads(wire.words()), 0)) EXPECT_NEAR(mhz, 3, 0.01);
}

}  // namespace
