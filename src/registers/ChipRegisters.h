#pragma once
// What the program holds of the chip's registers: the frequency inputs and
// their last tuning word, the entry limits, the committed master clock, the
// stored control bits and the shared phase parts; and the operations that
// send their words. One of these is owned by the control layer.
#include "link/CommsFunctions.h"

#include <cstdint>
#include <string>

class ChipRegisters {
public:
    static constexpr double kDefaultClockMHz = 50.0;

    explicit ChipRegisters(Transmitter& transmitter) : tx_(transmitter) {}

    // ---- frequency registers (Declare.cpp) ----
    float Freq0 = 0;  // MHz, input of CalcFreq0Word
    float Freq1 = 0;  // MHz, input of CalcFreq1Word
    int32_t FreqWord = 0;  // last computed tuning word
    int32_t FreqByte3 = 0, FreqByte2 = 0, FreqByte1 = 0, FreqByte0 = 0;
    std::string FreqWordHex;  // FreqWord as eight upper-case hex digits
    // Limits of a frequency entry: 0 to half the committed clock.
    float MaxFreq = static_cast<float>(kDefaultClockMHz / 2);
    float MinFreq = 0;
    // The committed master clock in MHz: every tuning word is computed from it.
    double MasterClock = kDefaultClockMHz;

    void CalcFreq0Word();
    void CalcFreq1Word();
    void LoadFreq0();
    void LoadFreq1();
    // The calling order every user of a frequency register keeps: set Freq0 or
    // Freq1, compute its word, load it. Displays are left alone (sweep steps).
    void loadFrequencyMHz(int reg, float mhz);
    // Sets FreqWordHex from FreqWord, padded to eight digits (fill_string).
    const std::string& fill_string();

    // ---- control bits and phases (Control.cpp) ----
    int32_t SyncBit = 0;    // 0 or 0x2000
    int32_t SelsrcBit = 0;  // 0 or 0x1000
    int32_t SleepBit = 0;   // 0 or 0x2000
    int32_t ResetBit = 0;   // 0 or 0x1000
    int16_t PhaseHigh = 0;  // bits 11..8 of the last phase value
    int16_t PhaseLow = 0;   // bits 7..0

    // Sends the Sync/SELSRC word from the stored states.
    void sendSyncSelsrc();
    // Sends 0xC000 + Sleep + Reset (+ Clear when asked).
    void sendSleepReset(bool clear = false);
    // Sends PHASEn from PhaseHigh and PhaseLow.
    void sendPhase(int reg);
    // Splits a clamped phase value into PhaseHigh and PhaseLow.
    void setPhaseParts(int value);
    void sendFreqSelect(int reg);
    void sendPhaseSelect(int reg);

    Transmitter& transmitter() { return tx_; }

private:
    void calc(float f);
    void load(int reg);

    Transmitter& tx_;
};
