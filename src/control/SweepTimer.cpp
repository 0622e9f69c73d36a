#include "control/SweepTimer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

#include <sys/prctl.h>

namespace {

const QEvent::Type kTickEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct TickEvent : QEvent {
    explicit TickEvent(uint64_t g) : QEvent(kTickEvent), generation(g) {}
    uint64_t generation;
};

}  // namespace

SweepTimer::SweepTimer(QObject* parent, TimeSource now) : QObject(parent), now_(std::move(now)) {}

SweepTimer::~SweepTimer() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (scheduler_.joinable()) scheduler_.join();
    // Ticks still queued go with the object (QObject removes its posted events).
}

void SweepTimer::setInterval(int ms) {
    intervalMs_ = ms < 0 ? 0 : ms;
    if (enabled_) rearm();
}

void SweepTimer::setEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    rearm();
}

SweepTimer::Clock::time_point SweepTimer::now() const { return now_ ? now_() : Clock::now(); }

int SweepTimer::pendingTicks() const {
    std::lock_guard lock(mutex_);
    return pending_;
}

void SweepTimer::rearm() {
    if (zeroTimerId_) {
        killTimer(zeroTimerId_);
        zeroTimerId_ = 0;
    }
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        pending_ = 0;
        armed_ = enabled_ && intervalMs_ > 0;
        if (armed_) {
            period_ = std::chrono::milliseconds(intervalMs_);
            due_ = now() + period_;
            maxPending_ = catchUpLimit(intervalMs_);
        }
    }
    if (enabled_ && intervalMs_ == 0) zeroTimerId_ = startTimer(0);
    if (armed_ && !scheduler_.joinable()) scheduler_ = std::thread([this] { schedule(); });
    wake_.notify_all();
}

// The helper thread: sleeps until each due time on the monotonic clock
// (absolute, so its own wake-up lateness is not carried to the next tick),
// then posts the tick to the owner thread.
void SweepTimer::schedule() {
    // The default 50 us slack would be most of the jitter we aim at.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
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
        const auto overdue = (now - due_) / period_;
        if (overdue > maxPending_) due_ += overdue * period_;
        if (pending_ < maxPending_) {
            ++pending_;
            QCoreApplication::postEvent(this, new TickEvent(generation_), Qt::HighEventPriority);
        }
        due_ += period_;
    }
}

bool SweepTimer::event(QEvent* e) {
    if (e->type() != kTickEvent) return QObject::event(e);
    {
        std::lock_guard lock(mutex_);
        if (static_cast<TickEvent*>(e)->generation != generation_ || !armed_) return true;
        --pending_;
    }
    emit timeout();
    return true;
}

void SweepTimer::timerEvent(QTimerEvent* e) {
    if (e->timerId() == zeroTimerId_) emit timeout();
}
