#pragma once
// The QZ4471 word layout. Data loads: bits 15..12 command (3/2 frequency pair,
// 1/0 phase pair), bits 11..8 register address, bits 7..0 data. Control words:
// 10 in bits 15..14 for Sync/SELSRC, 11 for Sleep/Reset/Clear.
#include <array>
#include <cstdint>

namespace chip {

constexpr uint16_t kSyncSelsrcWord = 0x8000;
constexpr uint16_t kSleepResetWord = 0xC000;
constexpr int32_t kSyncBit = 0x2000, kSelsrcBit = 0x1000;
constexpr int32_t kSleepBit = 0x2000, kResetBit = 0x1000, kClearBit = 0x0800;

// Four words, least significant byte first, for FREQ0 (reg 0) or FREQ1 (reg 1).
std::array<uint16_t, 4> freqLoadWords(int reg, uint32_t tuningWord);
// Two words for PHASEn: low byte with the even address, then the high part.
std::array<uint16_t, 2> phaseLoadWords(int reg, int high, int low);

// The two control words, from the stored states (0 or the bit in place).
constexpr uint16_t syncSelsrcWord(int32_t syncBit, int32_t selsrcBit) {
    return static_cast<uint16_t>(kSyncSelsrcWord + syncBit + selsrcBit);
}
constexpr uint16_t sleepResetWord(int32_t sleepBit, int32_t resetBit, bool clear) {
    return static_cast<uint16_t>(kSleepResetWord + sleepBit + resetBit + (clear ? kClearBit : 0));
}

constexpr uint16_t freqSelectWord(int reg) { return static_cast<uint16_t>(0x5000 + 0x0800 * reg); }
constexpr uint16_t phaseSelectWord(int reg) { return static_cast<uint16_t>(0x4000 + 0x0200 * reg); }

}  // namespace chip
