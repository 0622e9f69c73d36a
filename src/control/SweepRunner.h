#pragma once
// One sweep group bound to its pair of timers and to its frequency register.
// Ticks run on the timers' thread: each takes the port's lock for the whole
// step, so a Stop that has returned is never followed by a step of its group.
#include "control/SweepGroup.h"

#include <atomic>
#include <functional>
#include <mutex>

class SweepTimer;

class SweepRunner {
public:
    struct Hooks {
        std::function<void(bool sweeping)> state;  // on the thread that changed it
        std::function<void(int reg, float mhz)> load;  // throws on a port failure
        std::function<void()> stepped;  // after each step, on the ticking thread
    };
    // reg 0 sweeps FREQ0, reg 1 FREQ1; `lock` is the port's.
    SweepRunner(int reg, SweepTimer& up, SweepTimer& down, std::recursive_mutex& lock, Hooks hooks);

    // A refused Start changes nothing at all: counters, parameters, timers and caption stay.
    sweep::StartCheck start(const sweep::FieldTexts& texts);
    void stop();
    // One step of a schedule; nothing when that schedule has been stopped or
    // re-armed. `rule` is the timer's sawtooth; a log or up-and-down sweep walks its points instead.
    void tick(SweepTimer& timer, sweep::Step (*rule)(SweepGroup&), uint64_t generation);
    // One step now, whatever the schedule (the tick handlers by name).
    void tickNow(SweepTimer& timer, sweep::Step (*rule)(SweepGroup&));

    SweepGroup group() const;
    // Puts counters in place from outside (tests that jump far into a loop).
    void restore(const SweepGroup& g);
    bool sweeping() const { return sweeping_; }
    uint64_t ended() const;
    sweep::Progress progress() const;

private:
    void step(SweepTimer& timer, sweep::Step (*rule)(SweepGroup&));
    void setSweeping(bool on);

    const int reg_;
    SweepTimer& up_;
    SweepTimer& down_;
    std::recursive_mutex& lock_;
    Hooks hooks_;
    std::atomic<bool> sweeping_ = false;
    // Guarded by lock_.
    SweepGroup group_;
    sweep::Progress progress_;
    uint64_t ended_ = 0;
};
