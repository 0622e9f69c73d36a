#pragma once
// The two sweep groups with their timers: group 0 sweeps FREQ0, group 1 FREQ1.
// They run whether or not a sweep window is open. Steps run on the timers'
// thread under the port's lock; what they change is announced on the
// engine's own thread.
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
    SweepEngine(std::recursive_mutex& portLock, std::function<void(int reg, float mhz)> load,
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
    // The last progress of a group: the running sweep's, or the last one's.
    sweep::Progress progress(int g) { return group(g).progress(); }
    // Whether any sweep has been started since the program began.
    bool everStarted(int g) const { return started_[g]; }

    // The upper limit of the frequency fields (half the committed master clock).
    void setLimit(std::function<float()> maxMHz) { limit_ = std::move(maxMHz); }
    float maxFreq() const { return limit_ ? limit_() : 25.0f; }

    // One step now, as a due tick would take it (the tick handlers by name).
    void countup1_Timer() { group0_.tickNow(Countup1, &sweep::stepUp); }
    void countdown1_Timer() { group0_.tickNow(Countdown1, &sweep::stepDown); }
    void countup2_Timer() { group1_.tickNow(Countup2, &sweep::stepUp); }
    void countdown2_Timer() { group1_.tickNow(countdown2, &sweep::stepDown); }

signals:
    void sweepingChanged(int group, bool sweeping);
    void progressChanged(int group, const sweep::Progress& progress);

private:
    SweepRunner::Hooks hooks(int g, std::function<void(int, float)> load);
    void stateChanged(int g);
    void stepped(int g);
    void announce(int g);

    SweepRunner group0_;
    SweepRunner group1_;
    std::function<float()> limit_;
    bool started_[2] = {false, false};
    std::atomic<bool> posted_[2] = {false, false};
    std::atomic<int64_t> lastAnnounced_[2] = {0, 0};  // steady clock, ns
};
