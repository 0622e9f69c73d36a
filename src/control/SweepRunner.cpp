#include "control/SweepRunner.h"

#include "control/SweepTimer.h"

#include <exception>

SweepRunner::SweepRunner(int reg, SweepTimer& up, SweepTimer& down, std::recursive_mutex& lock, Hooks hooks)
    : reg_(reg), up_(up), down_(down), lock_(lock), hooks_(std::move(hooks)) {}

void SweepRunner::setSweeping(bool on) {
    if (sweeping_ && !on) ++ended_;
    sweeping_ = on;
    progress_.running = on;
    if (hooks_.state) hooks_.state(on);
}

SweepGroup SweepRunner::group() const {
    std::lock_guard guard(lock_);
    return group_;
}

void SweepRunner::restore(const SweepGroup& g) {
    std::lock_guard guard(lock_);
    group_ = g;
}

uint64_t SweepRunner::ended() const {
    std::lock_guard guard(lock_);
    return ended_;
}

sweep::Progress SweepRunner::progress() const {
    std::lock_guard guard(lock_);
    return progress_;
}

sweep::StartCheck SweepRunner::start(const sweep::FieldTexts& texts) {
    sweep::StartCheck check = sweep::checkStart(texts);
    if (!check.plan) return check;
    std::lock_guard guard(lock_);
    group_ = check.plan->params;
    progress_ = sweep::startProgress(check.plan->params, check.plan->direction, check.plan->periodMs);
    setSweeping(true);
    SweepTimer& chosen = check.plan->direction == sweep::Direction::Up ? up_ : down_;
    SweepTimer& other = &chosen == &up_ ? down_ : up_;
    // Two timers on one group's counters would step it twice per period.
    other.setEnabled(false);
    chosen.setInterval(check.plan->periodMs);
    chosen.setEnabled(true);
    return check;
}

void SweepRunner::stop() {
    std::lock_guard guard(lock_);
    up_.setEnabled(false);
    down_.setEnabled(false);
    setSweeping(false);
}

void SweepRunner::tick(SweepTimer& timer, sweep::Step (*rule)(SweepGroup&), uint64_t generation) {
    std::lock_guard guard(lock_);
    if (!timer.current(generation)) return;
    step(timer, rule);
}

void SweepRunner::tickNow(SweepTimer& timer, sweep::Step (*rule)(SweepGroup&)) {
    std::lock_guard guard(lock_);
    step(timer, rule);
}

void SweepRunner::step(SweepTimer& timer, sweep::Step (*rule)(SweepGroup&)) {
    // A point walk goes both ways on either timer; the sawtooth keeps the timer's own direction.
    const sweep::Step s = sweep::walksPoints(group_) ? sweep::stepPoints(group_) : rule(group_);
    try {
        hooks_.load(reg_, s.freq);
    } catch (const std::exception&) {
        // A port gone: the rest of the sweep would fail the same way, so the group stops here.
        stop();
        if (hooks_.stepped) hooks_.stepped();
        return;
    }
    sweep::noteStep(progress_, group_, s);
    if (s.lastLoopDone) {
        timer.setEnabled(false);
        setSweeping(false);
    }
    if (hooks_.stepped) hooks_.stepped();
}
