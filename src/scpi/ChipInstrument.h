#pragma once
// The SCPI commands on the program's own chip: each command does what its
// window action does, through the control layer, with the master clock last
// committed. The sweep fields of remote use are its own; the sweep window
// opens with its defaults, as always.
#include "control/ChipControl.h"
#include "scpi/Instrument.h"

#include <array>

namespace scpi {

class ChipInstrument : public Instrument {
public:
    explicit ChipInstrument(control::ChipControl& chip);
    ~ChipInstrument() override;
    ChipInstrument(const ChipInstrument&) = delete;
    ChipInstrument& operator=(const ChipInstrument&) = delete;

    Identity identity() override;
    Outcome reset() override;
    Outcome initialise() override;
    Outcome setFrequency(int reg, double hz) override;
    Outcome setFrequencyWord(int reg, uint32_t word) override;
    uint32_t frequencyWord(int reg) override { return chip_.loadedWord(reg); }
    double frequencyClock(int reg) override { return chip_.loadedClockMHz(reg) * 1e6; }
    Outcome setPhase(int reg, double value) override;
    uint16_t phase(int reg) override { return chip_.loadedPhase(reg); }
    Outcome setClock(double hz) override;
    double clock() override;
    Outcome setControl(ControlBit bit, bool on) override;
    bool control(ControlBit bit) override;
    Outcome clear() override;
    Outcome selectFrequency(int reg) override;
    int selectedFrequency() override { return chip_.selectedFrequency(); }
    Outcome selectPhase(int reg) override;
    int selectedPhase() override { return chip_.selectedPhase(); }
    Outcome sendWord(uint16_t word) override;
    Outcome setSweep(int group, SweepField field, double value) override;
    double sweep(int group, SweepField field) override;
    Outcome startSweep(int group) override;
    Outcome stopSweep(int group) override;
    bool sweepRunning(int group) override { return chip_.sweeps().sweeping(group); }
    SweepProgress sweepProgress(int group) override;
    uint64_t sweepsEnded(int group) override { return ended_[group]; }
    std::string missingHardware() override;
    int selfTest() override;

private:
    Outcome result(const control::Outcome& r) const;
    // -241 naming the port when the words of a command would be dropped.
    Outcome portMissing();
    void defaultSweeps();

    control::ChipControl& chip_;
    // Each group's five field texts as its sweep fields would show them.
    std::array<std::array<std::string, 5>, 2> sweepTexts_;
    uint64_t ended_[2] = {0, 0};
    QMetaObject::Connection sweepWatch_;
};

}  // namespace scpi
