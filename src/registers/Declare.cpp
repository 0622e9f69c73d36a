#include "registers/ChipRegisters.h"

#include "numeric/TuningWord.h"
#include "registers/ChipWords.h"

#include <cstdio>

void ChipRegisters::calc(float f) {
    FreqWord = numeric::tuningWord(f, MasterClock);
    FreqByte3 = FreqWord / 16777216;
    FreqByte2 = (FreqWord & 0xFF0000) / 65536;
    FreqByte1 = (FreqWord & 0xFF00) / 256;
    FreqByte0 = FreqWord & 0xFF;
}

void ChipRegisters::load(int reg) {
    const uint32_t w = static_cast<uint32_t>(FreqByte3) << 24 | static_cast<uint32_t>(FreqByte2) << 16 |
                       static_cast<uint32_t>(FreqByte1) << 8 | static_cast<uint32_t>(FreqByte0);
    for (uint16_t word : chip::freqLoadWords(reg, w)) tx_.send(word);
}

void ChipRegisters::CalcFreq0Word() { calc(Freq0); }
void ChipRegisters::CalcFreq1Word() { calc(Freq1); }
void ChipRegisters::LoadFreq0() { load(0); }
void ChipRegisters::LoadFreq1() { load(1); }

void ChipRegisters::loadFrequencyMHz(int reg, float mhz) {
    if (reg == 0) {
        Freq0 = mhz;
        CalcFreq0Word();
        LoadFreq0();
    } else {
        Freq1 = mhz;
        CalcFreq1Word();
        LoadFreq1();
    }
}

const std::string& ChipRegisters::fill_string() {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<uint32_t>(FreqWord));
    FreqWordHex = buf;
    const size_t n = FreqWordHex.size();
    if (n >= 1 && n < 8) FreqWordHex.insert(0, 8 - n, '0');
    return FreqWordHex;
}
