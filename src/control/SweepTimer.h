#pragma once
// A window timer with a period in whole milliseconds and an enabled flag, as
// a sweep step needs it. Ticks follow an absolute schedule (tick k due at
// arm time + k periods) kept by a helper thread, so lateness never piles up;
// the tick itself runs on the thread that owns the timer, as any event.
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

    explicit SweepTimer(QObject* parent = nullptr, TimeSource now = nullptr);
    ~SweepTimer() override;

    int interval() const { return intervalMs_; }
    // Assigning the period restarts the schedule of an enabled timer.
    void setInterval(int ms);
    bool isEnabled() const { return enabled_; }
    // Enabling an enabled timer changes nothing; disabling drops ticks already posted.
    void setEnabled(bool on);

    // Ticks posted but not yet run (tests watch the catch-up bound with it).
    int pendingTicks() const;

    // How many ticks may wait in the event queue at one period: a stall of the
    // owner thread up to about kCatchUpMs is made up in a short burst, a longer
    // one skips ahead in the schedule instead.
    static constexpr int kCatchUpMs = 20;
    static constexpr int catchUpLimit(int periodMs) {
        const int n = periodMs > 0 ? (kCatchUpMs + periodMs - 1) / periodMs : 1;
        return n < 3 ? 3 : n;
    }

signals:
    void timeout();

protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    Clock::time_point now() const;
    void rearm();
    void schedule();

    int intervalMs_ = 0;
    bool enabled_ = false;
    int zeroTimerId_ = 0;  // a period of 0 runs as fast as the event loop turns
    const TimeSource now_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::thread scheduler_;
    bool quit_ = false;
    bool armed_ = false;
    uint64_t generation_ = 0;  // bumped at every re-arm; stale ticks are dropped
    Clock::duration period_{};
    Clock::time_point due_{};
    int pending_ = 0;
    int maxPending_ = 3;
};
