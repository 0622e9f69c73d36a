#pragma once
// Stored control bits (0 or the bit already in place) and the shared phase
// parts; the words the mode controls send are built from these.
#include <cstdint>

extern int32_t SyncBit;    // 0 or 0x2000
extern int32_t SelsrcBit;  // 0 or 0x1000
extern int32_t SleepBit;   // 0 or 0x2000
extern int32_t ResetBit;   // 0 or 0x1000
extern int16_t PhaseHigh;  // bits 11..8 of the last phase value
extern int16_t PhaseLow;   // bits 7..0

namespace registers {

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
void resetControlGlobals();

}  // namespace registers
