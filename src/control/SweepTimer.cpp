#include "control/SweepTimer.h"

#include <QTimerEvent>

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

void SweepTimer::setInterval(int ms) {
    intervalMs_ = ms < 0 ? 0 : ms;
    if (enabled_) rearm();
}

void SweepTimer::setEnabled(bool on) {
    if (on == enabled_) return;
    {
        std::lock_guard lock(mutex_);
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

void SweepTimer::rearm() {
    if (zeroTimerId_) {
        killTimer(zeroTimerId_);
        zeroTimerId_ = 0;
    }
    bool startThread = false;
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        armed_ = enabled_ && intervalMs_ > 0;
        if (armed_) {
            period_ = std::chrono::milliseconds(intervalMs_);
            due_ = now() + period_;
            firstDue_ = due_;
            maxBehind_ = catchUpLimit(intervalMs_);
            startThread = !scheduler_.joinable();
        }
    }
    if (enabled_ && intervalMs_ == 0) zeroTimerId_ = startTimer(0);
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
        if (now < due_) {
            if (now_)
                wake_.wait_for(lock, std::chrono::milliseconds(1));
            else
                wake_.wait_until(lock, due_);
            continue;
        }
        const auto behind = (now - due_) / period_;
        if (behind > maxBehind_) due_ += behind * period_;
        due_ += period_;
        const uint64_t generation = generation_;
        ++ticksRun_;
        lock.unlock();
        if (tick_) tick_(generation);
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
    if (tick_) tick_(generation);
}
