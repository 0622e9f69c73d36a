#pragma once
// One sweep group bound to its pair of timers and to its frequency register.
// It says whether the group is sweeping; what that looks like is the window's.
#include "control/SweepGroup.h"

#include <functional>

class SweepTimer;

class SweepRunner {
public:
    // reg 0 sweeps FREQ0 through Freq0, reg 1 FREQ1 through Freq1.
    SweepRunner(int reg, SweepTimer& up, SweepTimer& down, std::function<void(bool sweeping)> onState,
                std::function<void(int reg, float mhz)> load);

    // A refused Start changes nothing at all: counters, parameters, timers and caption stay.
    sweep::StartCheck start(const sweep::FieldTexts& texts);
    void stop();
    void tickUp();
    void tickDown();

    SweepGroup& group() { return group_; }
    bool sweeping() const { return sweeping_; }

private:
    void tick(SweepTimer& timer, sweep::Step (*rule)(SweepGroup&));
    void load(float freq);

    int reg_;
    SweepTimer& up_;
    SweepTimer& down_;
    std::function<void(bool)> onState_;
    std::function<void(int, float)> load_;
    bool sweeping_ = false;
    void setSweeping(bool on);
    SweepGroup group_;
};
