#include "sweep/SweepRunner.h"

#include "registers/Declare.h"
#include "sweep/SweepTimer.h"

#include <exception>

const QString SweepRunner::kSweepingCaption = QStringLiteral("Sweeping");

SweepRunner::SweepRunner(int reg, SweepTimer& up, SweepTimer& down, QString idleCaption,
                         std::function<void(const QString&)> setCaption)
    : reg_(reg), up_(up), down_(down), idleCaption_(std::move(idleCaption)), setCaption_(std::move(setCaption)) {}

sweep::StartCheck SweepRunner::start(const sweep::FieldTexts& texts) {
    sweep::StartCheck check = sweep::checkStart(texts);
    if (!check.plan) return check;
    group_ = check.plan->params;
    setCaption_(kSweepingCaption);
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
    setCaption_(idleCaption_);
}

void SweepRunner::tickUp() { tick(up_, &sweep::stepUp); }
void SweepRunner::tickDown() { tick(down_, &sweep::stepDown); }

void SweepRunner::tick(SweepTimer& timer, sweep::Step (*rule)(SweepGroup&)) {
    const sweep::Step step = rule(group_);
    try {
        load(step.freq);
    } catch (const std::exception&) {
        // A master clock that is no number, or a port gone: the rest of the
        // sweep would fail the same way, so the group stops here.
        stop();
        return;
    }
    if (step.lastLoopDone) {
        timer.setEnabled(false);
        setCaption_(idleCaption_);
    }
}

void SweepRunner::load(float freq) {
    if (reg_ == 0) {
        Freq0 = freq;
        CalcFreq0Word();
        LoadFreq0();
    } else {
        Freq1 = freq;
        CalcFreq1Word();
        LoadFreq1();
    }
}
