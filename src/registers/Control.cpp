#include "registers/Control.h"

#include "link/CommsFunctions.h"
#include "registers/ChipWords.h"

int32_t SyncBit = 0, SelsrcBit = 0, SleepBit = 0, ResetBit = 0;
int16_t PhaseHigh = 0, PhaseLow = 0;

namespace registers {

void sendSyncSelsrc() { SendWord(PortAddress, chip::syncSelsrcWord(SyncBit, SelsrcBit)); }

void sendSleepReset(bool clear) { SendWord(PortAddress, chip::sleepResetWord(SleepBit, ResetBit, clear)); }

void sendPhase(int reg) {
    for (uint16_t w : chip::phaseLoadWords(reg, PhaseHigh, PhaseLow)) SendWord(PortAddress, w);
}

void setPhaseParts(int v) {
    PhaseHigh = static_cast<int16_t>(v / 256);
    PhaseLow = static_cast<int16_t>(v - PhaseHigh * 256);
}

void sendFreqSelect(int reg) { SendWord(PortAddress, chip::freqSelectWord(reg)); }
void sendPhaseSelect(int reg) { SendWord(PortAddress, chip::phaseSelectWord(reg)); }

void resetControlGlobals() { SyncBit = SelsrcBit = SleepBit = ResetBit = PhaseHigh = PhaseLow = 0; }

}  // namespace registers
