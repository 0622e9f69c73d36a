#pragma once
// An instrument that keeps the chip state the way the control layer does
// (tuning words from Hz and the clock, 12-bit phases, SELSRC guarding the
// selections), records every action, and aborts on an argument the parser
// should never let through, so tests and the fuzz target catch that.
#include "scpi/Instrument.h"

#include <string>
#include <vector>

class FakeInstrument : public scpi::Instrument {
public:
    std::vector<std::string> calls;  // "setFrequency(0,1000)", "sendWord(4660)"...
    scpi::Outcome failNext;          // returned (once) by the next action instead of its own result
    std::string missing;             // a port whose words would be dropped, for QUEStionable bit 9

    Identity identity() override { return {"Maker", "sim", "2.0.0"}; }
    scpi::Outcome reset() override;
    scpi::Outcome initialise() override;
    scpi::Outcome setFrequency(int reg, double hz) override;
    scpi::Outcome setFrequencyWord(int reg, uint32_t word) override;
    uint32_t frequencyWord(int reg) override { return word_[index(reg, 1)]; }
    double frequencyClock(int reg) override { return wordClock_[index(reg, 1)]; }
    scpi::Outcome setPhase(int reg, double value) override;
    uint16_t phase(int reg) override { return phase_[index(reg, 3)]; }
    scpi::Outcome setClock(double hz) override;
    double clock() override { return clock_; }
    scpi::Outcome setControl(scpi::ControlBit bit, bool on) override;
    bool control(scpi::ControlBit bit) override { return bits_[static_cast<int>(bit)]; }
    scpi::Outcome clear() override;
    scpi::Outcome selectFrequency(int reg) override;
    int selectedFrequency() override { return selFreq_; }
    scpi::Outcome selectPhase(int reg) override;
    int selectedPhase() override { return selPhase_; }
    scpi::Outcome sendWord(uint16_t word) override;
    scpi::Outcome setSweep(int group, scpi::SweepField field, double value) override;
    double sweep(int group, scpi::SweepField field) override { return sweep_[index(group, 1)][static_cast<int>(field)]; }
    scpi::Outcome setSweepLog(int group, bool log) override;
    bool sweepLog(int group) override { return log_[index(group, 1)]; }
    scpi::Outcome setSweepUpDown(int group, bool upDown) override;
    bool sweepUpDown(int group) override { return upDown_[index(group, 1)]; }
    scpi::Outcome startSweep(int group) override;
    scpi::Outcome stopSweep(int group) override;
    bool sweepRunning(int group) override { return running_[index(group, 1)]; }
    uint64_t sweepsEnded(int group) override { return ended_[index(group, 1)]; }
    scpi::Outcome setKeyingType(scpi::KeyingType type) override;
    scpi::KeyingType keyingType() override { return keyingType_; }
    scpi::Outcome setKeyingPattern(const std::string& text) override;
    std::string keyingPattern() override { return pattern_; }
    scpi::Outcome setKeyingRate(double rate) override;
    double keyingRate() override { return rate_; }
    double minKeyingRate() override { return 0.01; }
    double maxKeyingRate() override { return 5000; }
    scpi::Outcome setKeyingCount(uint64_t count) override;
    uint64_t keyingCount() override { return count_; }
    uint64_t maxKeyingCount() override { return 4294967295u; }
    scpi::Outcome startKeying() override;
    scpi::Outcome stopKeying() override;
    bool keyingRunning() override { return keying_; }
    uint64_t keyingsEnded() override { return keyingsEnded_; }
    bool countedKeyingRunning() override { return keying_ && keyedCount_ != 0; }
    std::string missingHardware() override { return missing; }
    // A running sweep reaches its last loop.
    void finishSweep(int group);
    // A running keying reaches its count.
    void finishKeying();

private:
    static int index(int n, int max);
    static double finite(double v);
    scpi::Outcome record(std::string call, scpi::Outcome own = {});
    scpi::Outcome select(int& selection, int reg, const char* name);
    void initialState();

    double clock_ = 50e6;
    uint32_t word_[2] = {0, 0};
    double wordClock_[2] = {50e6, 50e6};
    uint16_t phase_[4] = {0, 0, 0, 0};
    bool bits_[4] = {false, false, false, false};
    int selFreq_ = 0, selPhase_ = 0;
    double sweep_[2][6] = {{0, 10e6, 1e6, 1, 1, 11}, {0, 10e6, 1e6, 1, 1, 11}};
    bool log_[2] = {false, false}, upDown_[2] = {false, false};
    bool running_[2] = {false, false};
    uint64_t ended_[2] = {0, 0};
    scpi::KeyingType keyingType_ = scpi::KeyingType::FSK;
    std::string pattern_ = "PRBS7";
    double rate_ = 1000;
    uint64_t count_ = 0, keyedCount_ = 0, keyingsEnded_ = 0;
    bool keying_ = false;
};
