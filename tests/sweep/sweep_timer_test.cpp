// The sweep timer's schedule: stale ticks, restarts, catch-up after a stall,
// the zero period and a long period on a clock moved by hand. No timing asserted.
#include "control/SweepTimer.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

using std::chrono::milliseconds;

bool waitFor(const std::function<bool()>& done, int ms = 5000) {
    for (int i = 0; i < ms && !done(); ++i) std::this_thread::sleep_for(milliseconds(1));
    return done();
}

// A timer that counts the ticks it runs, as a sweep group would: only those of
// the schedule still wanted.
class SweepTimerTest : public ::testing::Test {
protected:
    explicit SweepTimerTest(SweepTimer::TimeSource now = nullptr) : t(nullptr, std::move(now)) {
        t.setTick([this](uint64_t generation, uint64_t) {
            std::unique_lock hold(stall);  // a test holds this to stall the ticks
            if (t.current(generation)) ++ticks;
            else ++stale;
        });
    }
    ~SweepTimerTest() override { t.shutdown(); }
    SweepTimer t;
    std::mutex stall;
    std::atomic<int> ticks = 0, stale = 0;
};

class HandMovedClock : public SweepTimerTest {
protected:
    HandMovedClock() : SweepTimerTest([this] { return SweepTimer::Clock::time_point(elapsed.load()); }) {}
    void moveTo(milliseconds to) { elapsed = to; }
    std::atomic<SweepTimer::Clock::duration> elapsed{};
};

TEST_F(SweepTimerTest, IsIdleUntilEnabledAndStopsWhenDisabled) {
    t.setInterval(1);
    std::this_thread::sleep_for(milliseconds(5));
    EXPECT_EQ(t.ticksRun(), 0u);
    t.setEnabled(true);
    ASSERT_TRUE(waitFor([this] { return ticks >= 3; }));
    t.setEnabled(false);
    const uint64_t stopped = t.ticksRun();
    std::this_thread::sleep_for(milliseconds(10));
    EXPECT_EQ(t.ticksRun(), stopped);
}

TEST_F(SweepTimerTest, ATickUnderWayWhenStoppedFindsItselfStale) {
    t.setInterval(1);
    std::unique_lock hold(stall);
    t.setEnabled(true);
    ASSERT_TRUE(waitFor([this] { return t.ticksRun() >= 1; }));
    t.setEnabled(false);  // the tick is waiting on the lock
    hold.unlock();
    ASSERT_TRUE(waitFor([this] { return stale >= 1; }));
    EXPECT_EQ(ticks, 0);
}

TEST_F(SweepTimerTest, ANewIntervalRestartsTheSchedule) {
    t.setInterval(1);
    t.setEnabled(true);
    ASSERT_TRUE(waitFor([this] { return ticks >= 2; }));
    t.setInterval(100000);
    const int before = ticks;
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_LE(ticks, before + 1) << "at most the tick under way";
    EXPECT_TRUE(t.isEnabled());
    EXPECT_EQ(t.interval(), 100000);
}

TEST_F(SweepTimerTest, AStallIsFollowedByABoundedCatchUpNotABurst) {
    t.setInterval(1);
    const int limit = SweepTimer::catchUpLimit(1);
    std::unique_lock hold(stall);
    t.setEnabled(true);
    std::this_thread::sleep_for(milliseconds(10 * limit));  // far more periods than the limit
    const uint64_t before = t.ticksRun();
    hold.unlock();
    std::this_thread::sleep_for(milliseconds(2));
    const uint64_t burst = t.ticksRun() - before;
    EXPECT_LE(burst, static_cast<uint64_t>(limit + 3)) << "skipped ahead instead of making up every period";
    t.setEnabled(false);
}

TEST(SweepTimer, CatchUpCoversAShortStallAtAnyPeriod) {
    EXPECT_EQ(SweepTimer::catchUpLimit(1), 20);
    EXPECT_EQ(SweepTimer::catchUpLimit(10), 3);
    EXPECT_EQ(SweepTimer::catchUpLimit(3), 7);
    EXPECT_EQ(SweepTimer::catchUpLimit(100000), 3);
}

TEST_F(SweepTimerTest, ZeroIntervalTicksOnTheOwnerThreadEveryTurnOfTheEventLoop) {
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
    t.setInterval(100000);
    t.setEnabled(true);
    EXPECT_EQ(t.interval(), 100000);
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(ticks, 0) << "first tick is one period away";
    moveTo(milliseconds(99999));
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(ticks, 0) << "one millisecond early";
    moveTo(milliseconds(100000));
    EXPECT_TRUE(waitFor([this] { return ticks == 1; })) << "due at one period";
    t.setEnabled(false);
}

// A rate whose period is no whole number of nanoseconds: tick k is due at
// exactly k / rate however far into the schedule, the first at the start, and
// a late tick skips to the one due last.
TEST(SweepTimerRate, DueTimesAreReckonedFromTheStartWithoutDrift) {
    std::atomic<SweepTimer::Clock::duration> at{};
    SweepTimer t(nullptr, [&] { return SweepTimer::Clock::time_point(at.load()); });
    std::atomic<int64_t> last = -1;
    t.setTick([&](uint64_t, uint64_t index) { last = static_cast<int64_t>(index); });
    t.setRate(3, 0);
    t.setEnabled(true);
    ASSERT_TRUE(waitFor([&] { return last == 0; })) << "the first is due at the start";
    const struct {
        int64_t ns;
        int64_t index;
    } moves[] = {
        {333'333'332, 0},                  // one nanosecond early
        {333'333'333, 1},                  // 1/3 s rounds down
        {666'666'667, 2},                  // 2/3 s rounds up
        {999'999'999'999, 2999},           // skipped ahead to the one due last
        {1'000'000'000'000, 3000},         // 1000 s on the dot
        {3'333'333'333'333'333, 10'000'000},  // ten million periods on, rounded the same way
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(m.ns);
        at = std::chrono::nanoseconds(m.ns);
        if (m.index == last) {
            std::this_thread::sleep_for(milliseconds(10));
            EXPECT_EQ(last, m.index);
        } else {
            EXPECT_TRUE(waitFor([&] { return last == m.index; })) << last;
        }
    }
    t.shutdown();
}

}  // namespace
