#include "registers/Declare.h"

#include "link/CommsFunctions.h"
#include "numeric/NumberText.h"
#include "registers/ChipWords.h"

#include <cmath>

float Freq0 = 0, Freq1 = 0;
int32_t FreqWord = 0;
int32_t FreqByte3 = 0, FreqByte2 = 0, FreqByte1 = 0, FreqByte0 = 0;
std::string FreqWordHex;
float MaxFreq = 0, MinFreq = 0;

namespace registers {
namespace {
std::function<std::string()> g_clock;

void calc(float f) {
    FreqWord = tuningWord(f, masterClockMHz());
    FreqByte3 = FreqWord / 16777216;
    FreqByte2 = (FreqWord & 0xFF0000) / 65536;
    FreqByte1 = (FreqWord & 0xFF00) / 256;
    FreqByte0 = FreqWord & 0xFF;
}

void load(int reg) {
    const uint32_t w = static_cast<uint32_t>(FreqByte3) << 24 | static_cast<uint32_t>(FreqByte2) << 16 |
                       static_cast<uint32_t>(FreqByte1) << 8 | static_cast<uint32_t>(FreqByte0);
    for (uint16_t word : chip::freqLoadWords(reg, w)) SendWord(PortAddress, word);
}
}  // namespace

void setMasterClockSource(std::function<std::string()> source) { g_clock = std::move(source); }
std::string masterClockText() { return g_clock ? g_clock() : std::string("50.000000"); }

double masterClockMHz() {
    try {
        return numeric::toDouble(masterClockText());
    } catch (const numeric::ConversionError& e) {
        throw ClockError(e.what());
    }
}

int32_t tuningWord(float f, double m) {
    // Just under half the clock, so no word passes 0x7FFFFFFF.
    const float limit = static_cast<float>(m * 2147483647.0 / 4294967296.0);
    if (!(limit > f)) return 0x7FFFFFFF;
    const double w = std::nearbyint(4294967296.0 * static_cast<double>(f) / m);
    if (!(w >= 0.0 && w <= 2147483647.0)) throw numeric::ConversionError("tuning word overflow");
    return static_cast<int32_t>(w);
}

void resetRegisterGlobals() {
    Freq0 = Freq1 = 0;
    FreqWord = FreqByte3 = FreqByte2 = FreqByte1 = FreqByte0 = 0;
    FreqWordHex.clear();
    MaxFreq = MinFreq = 0;
}

}  // namespace registers

void CalcFreq0Word() { registers::calc(Freq0); }
void CalcFreq1Word() { registers::calc(Freq1); }
void LoadFreq0() { registers::load(0); }
void LoadFreq1() { registers::load(1); }

void registers::loadFrequencyMHz(int reg, float mhz) {
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
