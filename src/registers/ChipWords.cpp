#include "registers/ChipWords.h"

namespace chip {

std::array<uint16_t, 4> freqLoadWords(int reg, uint32_t w) {
    const uint16_t a = static_cast<uint16_t>(0x0400 * reg);
    return {static_cast<uint16_t>(0x3000 + a + (w & 0xFF)),
            static_cast<uint16_t>(0x2100 + a + ((w >> 8) & 0xFF)),
            static_cast<uint16_t>(0x3200 + a + ((w >> 16) & 0xFF)),
            static_cast<uint16_t>(0x2300 + a + ((w >> 24) & 0xFF))};
}

std::array<uint16_t, 2> phaseLoadWords(int reg, int high, int low) {
    return {static_cast<uint16_t>(0x1000 + 0x0800 + 0x0200 * reg + low),
            static_cast<uint16_t>(0x0900 + 0x0200 * reg + high)};
}

}  // namespace chip
