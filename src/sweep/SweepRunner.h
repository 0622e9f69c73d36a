#pragma once
// One sweep group bound to its pair of timers and to its frequency register.
// The window forwards its Start, Stop and tick handlers here.
#include "sweep/SweepGroup.h"

#include <QString>

#include <functional>

class SweepTimer;

class SweepRunner {
public:
    // reg 0 sweeps FREQ0 through Freq0, reg 1 FREQ1 through Freq1.
    SweepRunner(int reg, SweepTimer& up, SweepTimer& down, QString idleCaption,
                std::function<void(const QString&)> setCaption);

    // A refused Start changes nothing at all: counters, parameters, timers and caption stay.
    sweep::StartCheck start(const sweep::FieldTexts& texts);
    void stop();
    void tickUp();
    void tickDown();

    SweepGroup& group() { return group_; }
    const QString& idleCaption() const { return idleCaption_; }

    static const QString kSweepingCaption;

private:
    void tick(SweepTimer& timer, sweep::Step (*rule)(SweepGroup&));
    void load(float freq);

    int reg_;
    SweepTimer& up_;
    SweepTimer& down_;
    QString idleCaption_;
    std::function<void(const QString&)> setCaption_;
    SweepGroup group_;
};
