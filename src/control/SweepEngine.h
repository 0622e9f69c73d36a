#pragma once
// The two sweep groups with their timers: group 0 sweeps FREQ0, group 1 FREQ1.
// They run whether or not a sweep window is open. Steps run on the timers'
// thread under the port's lock; what they change is announced on the
// engine's own thread once the lock is free.
#include "control/Notices.h"
#include "control/ProgressPace.h"
#include "control/SweepRunner.h"
#include "control/SweepTimer.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

class SweepEngine : public QObject {
    Q_OBJECT
public:
    // Progress is announced at most this often while a sweep runs, and once at its end.
    static constexpr std::chrono::milliseconds kProgressInterval{100};

    // `portLock` is held for every step; `load` sends one step (throws on a port failure).
    SweepEngine(std::recursive_mutex& portLock, control::Notices& notices, std::function<void(int reg, float mhz)> load,
                QObject* parent = nullptr);
    ~SweepEngine() override;

    // Up and down timer of each group, idle until a Start arms one.
    SweepTimer Countup1, Countdown1, Countup2, countdown2;

    SweepRunner& group(int g) { return g == 0 ? group0_ : group1_; }
    // A refused Start changes nothing.
    sweep::StartCheck start(int g, const sweep::FieldTexts& texts);
    void stop(int g);
    // Stops every timer of both groups, in the order Countup1, Countdown1, Countup2, countdown2.
    void stopAll();
    // Ends every timer's thread for good without a word (the program ends).
    void halt();
    bool sweeping(int g) { return group(g).sweeping(); }
    // Sweeps of a group ended so far (last loop, Stop, a failing port), counted
    // as they end: an end followed at once by a Start is counted all the same.
    uint64_t ended(int g) { return group(g).ended(); }
    // The last progress of a group: the running sweep's, or the last one's.
    sweep::Progress progress(int g) { return group(g).progress(); }
    // Each group's five field texts as its sweep fields show them (the sweep
    // window and SCPI share them); set and read on the engine's thread.
    const sweep::FieldTexts& settings(int g) const { return settings_[g]; }
    void setSettings(int g, const sweep::FieldTexts& texts);
    // Whether any sweep has been started since the program began.
    bool everStarted(int g) const { return started_[g]; }

    // The upper limit of the frequency fields (half the committed master clock).
    void setLimit(std::function<float()> maxMHz) { limit_ = std::move(maxMHz); }
    float maxFreq() const { return limit_ ? limit_() : 25.0f; }
    // While it holds, a Start is refused (a frequency list owns the registers).
    void setGate(std::function<bool()> closed) { gate_ = std::move(closed); }

    // One step now, as a due tick would take it (the tick handlers by name).
    void countup1_Timer() { tickNow(group0_, Countup1, &sweep::stepUp); }
    void countdown1_Timer() { tickNow(group0_, Countdown1, &sweep::stepDown); }
    void countup2_Timer() { tickNow(group1_, Countup2, &sweep::stepUp); }
    void countdown2_Timer() { tickNow(group1_, countdown2, &sweep::stepDown); }

signals:
    void settingsChanged(int group);
    void sweepingChanged(int group, bool sweeping);
    void progressChanged(int group, const sweep::Progress& progress);

private:
    void tickNow(SweepRunner& group, SweepTimer& timer, sweep::Step (*rule)(SweepGroup&)) {
        control::Notices::Operation said(notices_);
        group.tickNow(timer, rule);
    }
    SweepRunner::Hooks hooks(int g, std::function<void(int, float)> load);
    void stateChanged(int g);
    void stepped(int g);
    void announce(int g);

    std::recursive_mutex& lock_;
    control::Notices& notices_;
    SweepRunner group0_;
    SweepRunner group1_;
    std::function<float()> limit_;
    std::function<bool()> gate_;
    bool started_[2] = {false, false};  // the engine's thread only
    sweep::FieldTexts settings_[2] = {sweep::kDefaultTexts, sweep::kDefaultTexts};  // the engine's thread only
    control::ProgressPace pace_[2] = {{notices_, this, kProgressInterval}, {notices_, this, kProgressInterval}};
};
