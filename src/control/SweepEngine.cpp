#include "control/SweepEngine.h"

#include <QTimer>

SweepEngine::SweepEngine(std::recursive_mutex& portLock, control::Notices& notices,
                         std::function<void(int, float)> load, QObject* parent)
    : QObject(parent),
      lock_(portLock),
      notices_(notices),
      group0_(0, Countup1, Countdown1, portLock, hooks(0, load)),
      group1_(1, Countup2, countdown2, portLock, hooks(1, load)) {
    Countup1.setTick([this](uint64_t g, uint64_t) { group0_.tick(Countup1, &sweep::stepUp, g); });
    Countdown1.setTick([this](uint64_t g, uint64_t) { group0_.tick(Countdown1, &sweep::stepDown, g); });
    Countup2.setTick([this](uint64_t g, uint64_t) { group1_.tick(Countup2, &sweep::stepUp, g); });
    countdown2.setTick([this](uint64_t g, uint64_t) { group1_.tick(countdown2, &sweep::stepDown, g); });
}

// The timers' threads end before the groups they step go.
SweepEngine::~SweepEngine() { halt(); }

void SweepEngine::halt() {
    for (SweepTimer* t : {&Countup1, &Countdown1, &Countup2, &countdown2}) t->shutdown();
}

SweepRunner::Hooks SweepEngine::hooks(int g, std::function<void(int, float)> load) {
    return {[this, g](bool) { stateChanged(g); }, std::move(load), [this, g] { stepped(g); }};
}

void SweepEngine::setSettings(int g, const sweep::FieldTexts& texts) {
    settings_[g] = texts;
    notices_.later([this, g] { emit settingsChanged(g); });
}

sweep::StartCheck SweepEngine::start(int g, const sweep::FieldTexts& texts) {
    control::Notices::Operation said(notices_);
    if (gate_ && gate_()) return {std::nullopt, sweep::Refusal::ListRunning};
    const sweep::StartCheck check = group(g).start(texts);
    if (check.plan) {
        started_[g] = true;
        announce(g);
    }
    return check;
}

void SweepEngine::stop(int g) {
    control::Notices::Operation said(notices_);
    const bool was = sweeping(g);
    group(g).stop();
    if (was) announce(g);
}

void SweepEngine::stopAll() {
    control::Notices::Operation said(notices_);
    std::lock_guard guard(lock_);  // a last step may be disabling its timer
    const bool was0 = sweeping(0), was1 = sweeping(1);
    Countup1.setEnabled(false);
    Countdown1.setEnabled(false);
    Countup2.setEnabled(false);
    countdown2.setEnabled(false);
    group0_.stop();  // both groups idle again
    group1_.stop();
    if (was0) announce(0);
    if (was1) announce(1);
}

// Said once the lock is free, with the state as it is then (a Start may have
// come between); ends are counted by ended(), not by these.
void SweepEngine::stateChanged(int g) {
    notices_.later([this, g] { emit sweepingChanged(g, sweeping(g)); });
}

// At most one announcement waits at a time, no closer than kProgressInterval
// to the last, except the one that ends a sweep; one that comes too soon is
// said when the interval is up, so the last step always shows.
void SweepEngine::stepped(int g) {
    pace_[g].progressed([this, g] { emit progressChanged(g, progress(g)); }, !sweeping(g));
}

void SweepEngine::announce(int g) {
    notices_.later([this, g] { emit progressChanged(g, progress(g)); });
}
