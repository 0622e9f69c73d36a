#include "control/SweepTimer.h"

#include <QTimerEvent>

#include <cmath>

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

SweepTimer::SweepTimer(QObject* parent, TimeSource now) : QObject(parent), now_(std::move(now)) {}

SweepTimer::~SweepTimer() { shutdown(); }

void SweepTimer::shutdown() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        ++generation_;
    }
    wake_.notify_all();
    if (scheduler_.joinable()) scheduler_.join();
}

int SweepTimer::interval() const {
    std::lock_guard lock(mutex_);
    return intervalMs_;
}

bool SweepTimer::isEnabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

void SweepTimer::setInterval(int ms) {
    bool enabled;
    {
        std::lock_guard lock(mutex_);
        intervalMs_ = ms < 0 ? 0 : ms;
        periodNs_ = 0;
        tickAtArm_ = false;
        enabled = enabled_;
    }
    if (enabled) rearm();
}

void SweepTimer::setRate(double perSecond, int catchUp) {
    bool enabled;
    {
        std::lock_guard lock(mutex_);
        periodNs_ = perSecond > 0 ? 1e9 / perSecond : 0;
        intervalMs_ = periodNs_ > 0 ? 1 : 0;  // never the owner thread's zero period
        catchUp_ = catchUp < 0 ? 0 : catchUp;
        tickAtArm_ = true;
        enabled = enabled_;
    }
    if (enabled) rearm();
}

void SweepTimer::setEnabled(bool on) {
    {
        std::lock_guard lock(mutex_);
        if (on == enabled_) return;
        enabled_ = on;
    }
    rearm();
}

bool SweepTimer::current(uint64_t generation) const {
    std::lock_guard lock(mutex_);
    return generation == generation_ && enabled_;
}

uint64_t SweepTimer::ticksRun() const {
    std::lock_guard lock(mutex_);
    return ticksRun_;
}

SweepTimer::Clock::time_point SweepTimer::firstDue() const {
    std::lock_guard lock(mutex_);
    return firstDue_;
}

SweepTimer::Clock::time_point SweepTimer::now() const { return now_ ? now_() : Clock::now(); }

// Each due time is reckoned from the first, so a period that is no whole
// number of nanoseconds never drifts.
SweepTimer::Clock::time_point SweepTimer::dueAt(uint64_t index) const {
    return firstDue_ + std::chrono::nanoseconds(std::llround(static_cast<double>(index) * armedPeriodNs_));
}

void SweepTimer::rearm() {
    if (zeroTimerId_) {
        killTimer(zeroTimerId_);
        zeroTimerId_ = 0;
    }
    bool startThread = false, zeroPeriod = false;
    {
        std::lock_guard lock(mutex_);
        zeroPeriod = enabled_ && intervalMs_ == 0;
        ++generation_;
        armed_ = enabled_ && intervalMs_ > 0;
        if (armed_) {
            const bool byRate = periodNs_ > 0;
            armedPeriodNs_ = byRate ? periodNs_ : intervalMs_ * 1e6;
            index_ = 0;
            firstDue_ = now();
            if (!tickAtArm_) firstDue_ += std::chrono::nanoseconds(static_cast<int64_t>(armedPeriodNs_));
            maxBehind_ = byRate ? catchUp_ : catchUpLimit(intervalMs_);
            startThread = !scheduler_.joinable();
        }
    }
    if (zeroPeriod) zeroTimerId_ = startTimer(0);
    if (startThread) scheduler_ = std::thread([this] { schedule(); });
    wake_.notify_all();
}

// The schedule's thread: sleeps until each due time on the monotonic clock
// (absolute, so its own wake-up lateness is not carried to the next tick),
// then runs the tick itself.
void SweepTimer::schedule() {
    // The default 50 us slack would be most of the jitter we aim at.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    // Where the system allows it, the schedule runs before the painting that
    // shares the machine's cores; elsewhere it keeps the ordinary policy.
    sched_param realtime{};
    realtime.sched_priority = 1;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &realtime);
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (!armed_) {
            wake_.wait(lock);
            continue;
        }
        const auto now = this->now();
        const auto due = dueAt(index_);
        if (now < due) {
            if (now_)
                wake_.wait_for(lock, std::chrono::milliseconds(1));
            else
                wake_.wait_until(lock, due);
            continue;
        }
        const auto behind = static_cast<uint64_t>(
            static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(now - due).count()) /
            armedPeriodNs_);
        if (behind > static_cast<uint64_t>(maxBehind_)) index_ += behind;
        const uint64_t index = index_++;
        const uint64_t generation = generation_;
        ++ticksRun_;
        lock.unlock();
        if (tick_) tick_(generation, index);
        lock.lock();
    }
}

void SweepTimer::timerEvent(QTimerEvent* e) {
    if (e->timerId() != zeroTimerId_) return;
    uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        generation = generation_;
        ++ticksRun_;
    }
    if (tick_) tick_(generation, 0);
}
