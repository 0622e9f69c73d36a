#pragma once
// The SCPI commands on the program's own chip: each command does what its
// window action does, through the control layer, with the master clock last
// committed. Sweep and keying settings are the engine's and the keyer's,
// shared with the windows.
#include "control/ChipControl.h"
#include "scpi/Instrument.h"
#include "scpi/SetupSlots.h"

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
    // A register's frequency is what its word makes at the committed clock.
    double frequencyClock(int) override { return chip_.clockMHz() * 1e6; }
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
    Outcome setSweepLog(int group, bool log) override;
    bool sweepLog(int group) override;
    Outcome setSweepUpDown(int group, bool upDown) override;
    bool sweepUpDown(int group) override;
    Outcome startSweep(int group) override;
    Outcome stopSweep(int group) override;
    bool sweepRunning(int group) override { return chip_.sweeping(group); }
    SweepProgress sweepProgress(int group) override;
    uint64_t sweepsEnded(int group) override { return chip_.sweepsEnded(group); }
    Outcome setKeyingType(KeyingType type) override;
    KeyingType keyingType() override;
    Outcome setKeyingPattern(const std::string& text) override;
    std::string keyingPattern() override { return chip_.keyingPattern(); }
    Outcome setKeyingRate(double rate) override;
    double keyingRate() override { return chip_.keyingRate(); }
    double minKeyingRate() override { return Keyer::kMinRate; }
    double maxKeyingRate() override { return chip_.maxKeyingRate(); }
    Outcome setKeyingCount(uint64_t count) override;
    uint64_t keyingCount() override { return chip_.keyingCount(); }
    uint64_t maxKeyingCount() override { return Keyer::kMaxCount; }
    Outcome startKeying() override;
    Outcome stopKeying() override;
    bool keyingRunning() override { return chip_.keyingRunning(); }
    uint64_t keyingsEnded() override { return chip_.keyingsEnded(); }
    bool countedKeyingRunning() override;
    Outcome setListFrequencies(const std::vector<double>& hz, bool append) override;
    std::vector<double> listFrequencies() override { return chip_.listFrequencies(); }
    Outcome setListDwells(const std::vector<double>& s, bool append) override;
    std::vector<double> listDwells() override { return chip_.listDwells(); }
    Outcome setListCount(uint64_t passes) override;
    uint64_t listCount() override { return chip_.listCount(); }
    Outcome setTriggerBus(bool bus) override;
    bool triggerBus() override { return chip_.listTrigger() == hoplist::Trigger::Bus; }
    Outcome startList() override;
    Outcome stopList() override;
    Outcome trigger() override;
    bool listRunning() override { return chip_.listRunning(); }
    bool listWaiting() override { return chip_.listWaiting(); }
    ListProgress listProgress() override;
    uint64_t listsEnded() override { return chip_.listsEnded(); }
    bool countedFreeListRunning() override;
    Outcome loadList(const std::string& name) override;
    Outcome saveList(const std::string& name) override;
    std::string missingHardware() override;
    bool recordIncomplete() override { return !chip_.portState().recordFailure.empty(); }
    int selfTest() override;
    Outcome storeSetup(int slot, const std::string& text) override { return setupSlots_.store(slot, text); }
    Outcome loadSetup(int slot, std::string& text) override { return setupSlots_.load(slot, text); }

private:
    Outcome result(const control::Outcome& r) const;
    // -241 naming the port when the words of a command would be dropped.
    Outcome portMissing();
    void defaultSweeps();
    void defaultKeying();
    // A list's start or end words: the outcome with -221 naming a conflict.
    Outcome listResult(const control::Outcome& r) const;

    control::ChipControl& chip_;
    QMetaObject::Connection sweepWatch_, keyingWatch_, listWatch_;
    SetupSlots setupSlots_{SetupSlots::defaultFolder()};
};

}  // namespace scpi
