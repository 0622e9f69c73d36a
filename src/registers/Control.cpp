#include "registers/ChipRegisters.h"

#include "registers/ChipWords.h"

void ChipRegisters::sendSyncSelsrc() { tx_.send(chip::syncSelsrcWord(SyncBit, SelsrcBit)); }

void ChipRegisters::sendSleepReset(bool clear) { tx_.send(chip::sleepResetWord(SleepBit, ResetBit, clear)); }

void ChipRegisters::sendPhase(int reg) {
    for (uint16_t w : chip::phaseLoadWords(reg, PhaseHigh, PhaseLow)) tx_.send(w);
}

void ChipRegisters::setPhaseParts(int v) {
    PhaseHigh = static_cast<int16_t>(v / 256);
    PhaseLow = static_cast<int16_t>(v - PhaseHigh * 256);
}

void ChipRegisters::sendFreqSelect(int reg) { tx_.send(chip::freqSelectWord(reg)); }
void ChipRegisters::sendPhaseSelect(int reg) { tx_.send(chip::phaseSelectWord(reg)); }
