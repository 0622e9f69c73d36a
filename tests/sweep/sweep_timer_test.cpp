// The sweep timer's bookkeeping: stale and surplus ticks. No timing asserted.
#include "control/SweepTimer.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Blocks the owner thread (no events run) until the helper has posted `n` ticks.
bool waitForPosted(const SweepTimer& t, int n) {
    for (int i = 0; i < 5000 && t.pendingTicks() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return t.pendingTicks() >= n;
}

// A timer that counts its ticks.
class SweepTimerTest : public ::testing::Test {
protected:
    explicit SweepTimerTest(SweepTimer::TimeSource now = nullptr) : t(nullptr, std::move(now)) {
        QObject::connect(&t, &SweepTimer::timeout, [this] { ++ticks; });
    }
    SweepTimer t;
    int ticks = 0;
};

// The same on a clock that moves only when the test says.
class HandMovedClock : public SweepTimerTest {
protected:
    HandMovedClock() : SweepTimerTest([this] { return SweepTimer::Clock::time_point(elapsed.load()); }) {}
    void moveTo(std::chrono::milliseconds t) { elapsed = t; }
    // Lets the schedule look at the clock (it does every millisecond), then runs what it posted.
    void settle() {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        QCoreApplication::processEvents();
    }
    std::atomic<SweepTimer::Clock::duration> elapsed{};
};

TEST_F(SweepTimerTest, IsIdleUntilEnabled) {
    t.setInterval(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(t.pendingTicks(), 0);
}

TEST_F(SweepTimerTest, DisablingDropsTicksAlreadyPosted) {
    t.setInterval(1);
    t.setEnabled(true);
    ASSERT_TRUE(waitForPosted(t, 2));
    t.setEnabled(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, 0);
}

TEST_F(SweepTimerTest, NewIntervalDropsTicksOfTheOldSchedule) {
    t.setInterval(1);
    t.setEnabled(true);
    ASSERT_TRUE(waitForPosted(t, 2));
    t.setInterval(100000);
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(t.isEnabled());
    EXPECT_EQ(t.interval(), 100000);
}

TEST_F(SweepTimerTest, AStallIsFollowedByABoundedCatchUpNotABurst) {
    t.setInterval(1);
    t.setEnabled(true);
    const int limit = SweepTimer::catchUpLimit(1);
    ASSERT_TRUE(waitForPosted(t, limit));
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * limit));  // far more periods without an event loop
    EXPECT_EQ(t.pendingTicks(), limit);
    QCoreApplication::processEvents();
    EXPECT_GE(ticks, 1);
    EXPECT_LE(ticks, limit);
    t.setEnabled(false);
}

TEST(SweepTimer, CatchUpCoversAShortStallAtAnyPeriod) {
    EXPECT_EQ(SweepTimer::catchUpLimit(1), 20);
    EXPECT_EQ(SweepTimer::catchUpLimit(10), 3);
    EXPECT_EQ(SweepTimer::catchUpLimit(3), 7);
    EXPECT_EQ(SweepTimer::catchUpLimit(100000), 3);
}

TEST_F(SweepTimerTest, ZeroIntervalTicksEveryTurnOfTheEventLoop) {
    t.setInterval(0);
    t.setEnabled(true);
    for (int i = 0; i < 10000 && ticks < 5; ++i) QTest::qWait(1);
    EXPECT_GE(ticks, 5);
    t.setEnabled(false);
    const int stopped = ticks;
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, stopped);
}

TEST_F(HandMovedClock, ALongPeriodIsHeldAndDelivers) {
    using std::chrono::milliseconds;
    t.setInterval(100000);
    t.setEnabled(true);
    EXPECT_EQ(t.interval(), 100000);
    settle();
    EXPECT_EQ(ticks, 0) << "first tick is one period away";
    moveTo(milliseconds(99999));
    settle();
    EXPECT_EQ(ticks, 0) << "one millisecond early";
    moveTo(milliseconds(100000));
    EXPECT_TRUE(QTest::qWaitFor([this] { return ticks == 1; }, 5000)) << "due at one period";
    t.setEnabled(false);
}

}  // namespace
