#include "control/SweepTimer.h"

#include <QTimerEvent>

#include <algorithm>
#include <cmath>
#include <vector>

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

// The one thread that runs every timer's ticks: it sleeps until the earliest
// due time on the monotonic clock (absolute, so its own wake-up lateness is
// not carried to the next tick), then runs that tick with its lock released.
class Scheduler {
public:
    static Scheduler& instance() {
        static Scheduler s;
        return s;
    }
    ~Scheduler() {
        {
            std::lock_guard lock(mutex);
            quit_ = true;
        }
        wake.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    // Under `mutex`.
    void add(SweepTimer* t) {
        if (std::find(timers_.begin(), timers_.end(), t) == timers_.end()) timers_.push_back(t);
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    // Waits out a tick of `t` under way; `lock` holds `mutex`.
    void remove(SweepTimer* t, std::unique_lock<std::mutex>& lock) {
        timers_.erase(std::remove(timers_.begin(), timers_.end(), t), timers_.end());
        done_.wait(lock, [&] { return running_ != t || std::this_thread::get_id() == thread_.get_id(); });
    }

    std::mutex mutex;
    std::condition_variable wake;

private:
    void run() {
        // The default 50 us slack would be most of the jitter we aim at.
        prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
        // Where the system allows it, the ticks run before the painting that
        // shares the machine's cores; elsewhere the ordinary policy stays.
        sched_param realtime{};
        realtime.sched_priority = 1;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &realtime);
        std::unique_lock lock(mutex);
        while (!quit_) {
            SweepTimer* next = nullptr;
            SweepTimer::Clock::time_point due{};
            bool handClock = false;  // a test's clock cannot be slept on: look every millisecond
            for (SweepTimer* t : timers_) {
                if (!t->armed_ || t->quit_) continue;
                const auto d = t->dueAt(t->index_);
                handClock = handClock || t->now_;
                if (!next || d < due) next = t, due = d;
            }
            if (!next) {
                wake.wait(lock);
                continue;
            }
            const auto now = next->now();
            if (now < due) {
                if (handClock) wake.wait_for(lock, std::chrono::milliseconds(1));
                else wake.wait_until(lock, due);
                continue;
            }
            const auto behind = next->offsets_ ? 0 : static_cast<uint64_t>(
                static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(now - due).count()) /
                next->armedPeriodNs_);
            if (behind > static_cast<uint64_t>(next->maxBehind_)) next->index_ += behind;
            const uint64_t index = next->index_++;
            const uint64_t generation = next->generation_;
            ++next->ticksRun_;
            running_ = next;
            lock.unlock();
            if (next->tick_) next->tick_(generation, index);
            lock.lock();
            running_ = nullptr;
            done_.notify_all();
        }
    }

    // Guarded by mutex.
    std::vector<SweepTimer*> timers_;
    SweepTimer* running_ = nullptr;
    bool quit_ = false;
    std::condition_variable done_;
    std::thread thread_;
};

SweepTimer::SweepTimer(QObject* parent, TimeSource now)
    : QObject(parent), now_(std::move(now)), mutex_(Scheduler::instance().mutex) {}

SweepTimer::~SweepTimer() { shutdown(); }

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
        offsets_ = nullptr;
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
        offsets_ = nullptr;
        intervalMs_ = periodNs_ > 0 ? 1 : 0;  // never the owner thread's zero period
        catchUp_ = catchUp < 0 ? 0 : catchUp;
        tickAtArm_ = true;
        enabled = enabled_;
    }
    if (enabled) rearm();
}

void SweepTimer::setSchedule(std::function<int64_t(uint64_t)> offsetNs) {
    bool enabled;
    {
        std::lock_guard lock(mutex_);
        offsets_ = std::move(offsetNs);
        periodNs_ = 0;
        intervalMs_ = 1;  // never the owner thread's zero period
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
    if (offsets_) return firstDue_ + std::chrono::nanoseconds(offsets_(index));
    return firstDue_ + std::chrono::nanoseconds(std::llround(static_cast<double>(index) * armedPeriodNs_));
}

void SweepTimer::rearm() {
    if (zeroTimerId_) {
        killTimer(zeroTimerId_);
        zeroTimerId_ = 0;
    }
    bool zeroPeriod = false;
    {
        std::lock_guard lock(mutex_);
        zeroPeriod = enabled_ && intervalMs_ == 0;
        ++generation_;
        armed_ = enabled_ && intervalMs_ > 0;
        if (armed_) {
            const bool byRate = periodNs_ > 0 || offsets_;
            armedPeriodNs_ = periodNs_ > 0 ? periodNs_ : intervalMs_ * 1e6;
            index_ = 0;
            firstDue_ = now();
            if (!tickAtArm_) firstDue_ += std::chrono::nanoseconds(static_cast<int64_t>(armedPeriodNs_));
            maxBehind_ = byRate ? catchUp_ : catchUpLimit(intervalMs_);
            if (!quit_) Scheduler::instance().add(this);
        }
    }
    if (zeroPeriod) zeroTimerId_ = startTimer(0);
    Scheduler::instance().wake.notify_all();
}

void SweepTimer::shutdown() {
    std::unique_lock lock(mutex_);
    quit_ = true;
    ++generation_;
    Scheduler::instance().remove(this, lock);
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
