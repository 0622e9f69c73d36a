#pragma once
// A timer with a period and an enabled flag, as a sweep step or a keyed
// symbol needs it. Ticks follow an absolute schedule (tick k due at arm time +
// k periods, or + (k + 1) for a sweep) and run on the one scheduler thread
// every timer shares, so lateness never piles up and a busy window thread
// never holds a step back.
// A period of 0 ticks on the owner thread, as fast as its event loop turns.
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class SweepTimer : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;
    // Where the schedule reads the time; tests hand in a clock they move by
    // hand. The schedule looks at a handed-in clock every millisecond, since
    // it cannot sleep until a time on it.
    using TimeSource = std::function<Clock::time_point()>;
    // Runs each tick; `generation` names the schedule it belongs to (see
    // current()), `index` is the tick's place in it (0 for the first).
    using Tick = std::function<void(uint64_t generation, uint64_t index)>;

    explicit SweepTimer(QObject* parent = nullptr, TimeSource now = nullptr);
    ~SweepTimer() override;

    // Set before the first enable; the tick runs on the schedule's thread.
    void setTick(Tick tick) { tick_ = std::move(tick); }
    // Ends this timer's schedule for good, after any tick of it under way.
    void shutdown();

    int interval() const;
    // Assigning the period restarts the schedule of an enabled timer.
    void setInterval(int ms);
    // A schedule of `perSecond` ticks a second, the first due when enabled;
    // a tick more than `catchUp` periods late skips ahead to the one due last
    // (0: always, as a keyed symbol stream keeps to the clock).
    void setRate(double perSecond, int catchUp);
    // A schedule of uneven periods: tick k due `offsetNs(k)` after the first,
    // which is due when enabled. Called on the schedule's thread, so it reads
    // only what stays fixed while the timer runs. No tick is skipped: a late
    // one runs at once, and the next keeps its own due time.
    void setSchedule(std::function<int64_t(uint64_t index)> offsetNs);
    bool isEnabled() const;
    // Enabling an enabled timer changes nothing; disabling ends the schedule:
    // a tick already under way finds current() false.
    void setEnabled(bool on);
    // Whether a tick of this generation is still wanted.
    bool current(uint64_t generation) const;
    // Ticks run so far on the schedule's thread (tests).
    uint64_t ticksRun() const;
    // When the schedule's first tick was due (tick k is due k periods later).
    Clock::time_point firstDue() const;

    // A stall of the tick (a slow port) up to about kCatchUpMs is made up in a
    // short burst; a longer one skips ahead in the schedule instead.
    static constexpr int kCatchUpMs = 20;
    static constexpr int catchUpLimit(int periodMs) {
        const int n = periodMs > 0 ? (kCatchUpMs + periodMs - 1) / periodMs : 1;
        return n < 3 ? 3 : n;
    }

protected:
    void timerEvent(QTimerEvent* e) override;

private:
    friend class Scheduler;
    Clock::time_point now() const;
    void rearm();

    Tick tick_;
    Clock::time_point dueAt(uint64_t index) const;

    int zeroTimerId_ = 0;  // the owner's thread only
    const TimeSource now_;

    // The scheduler's, shared by every timer.
    std::mutex& mutex_;
    // All below guarded by mutex_.
    int intervalMs_ = 0;
    double periodNs_ = 0;  // 0: the whole-millisecond interval rules
    std::function<int64_t(uint64_t)> offsets_;  // set: an uneven schedule rules
    int catchUp_ = 3;
    bool tickAtArm_ = false;
    bool enabled_ = false;
    bool quit_ = false;
    bool armed_ = false;
    uint64_t generation_ = 0;  // bumped at every re-arm and stop
    double armedPeriodNs_ = 0;
    uint64_t index_ = 0;  // the next tick's place in the schedule
    Clock::time_point firstDue_{};
    int maxBehind_ = 3;
    uint64_t ticksRun_ = 0;
};
