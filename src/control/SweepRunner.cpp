#include "control/SweepRunner.h"

#include "control/SweepTimer.h"
#include "portlib/Parllio.h"
#include "registers/Declare.h"

#include <exception>

SweepRunner::SweepRunner(int reg, SweepTimer& up, SweepTimer& down, std::function<void(bool)> onState,
                         std::function<void(int, float)> load)
    : reg_(reg), up_(up), down_(down), onState_(std::move(onState)), load_(std::move(load)) {}

void SweepRunner::setSweeping(bool on) {
    sweeping_ = on;
    if (onState_) onState_(on);
}

sweep::StartCheck SweepRunner::start(const sweep::FieldTexts& texts) {
    sweep::StartCheck check = sweep::checkStart(texts);
    if (!check.plan) return check;
    group_ = check.plan->params;
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
    up_.setEnabled(false);
    down_.setEnabled(false);
    setSweeping(false);
}

void SweepRunner::tickUp() { tick(up_, &sweep::stepUp); }
void SweepRunner::tickDown() { tick(down_, &sweep::stepDown); }

void SweepRunner::tick(SweepTimer& timer, sweep::Step (*rule)(SweepGroup&)) {
    const sweep::Step step = rule(group_);
    try {
        portlib::OperationScope op;  // one tick, one transfer
        load(step.freq);
        op.finish();
    } catch (const std::exception&) {
        // A master clock that is no number, or a port gone: the rest of the
        // sweep would fail the same way, so the group stops here.
        stop();
        return;
    }
    if (step.lastLoopDone) {
        timer.setEnabled(false);
        setSweeping(false);
    }
}

void SweepRunner::load(float freq) { load_(reg_, freq); }
