#pragma once
// Frequency registers: tuning words from MHz against the master clock, and
// the four-word loads of FREQ0 and FREQ1.
#include "numeric/NumberText.h"

#include <cstdint>
#include <functional>
#include <string>

extern float Freq0;  // MHz, input of CalcFreq0Word
extern float Freq1;  // MHz, input of CalcFreq1Word
extern int32_t FreqWord;  // last computed tuning word
extern int32_t FreqByte3, FreqByte2, FreqByte1, FreqByte0;
extern std::string FreqWordHex;
extern float MaxFreq;  // entry limits, fixed once at start-up
extern float MinFreq;

// Read the master clock afresh; a clock text that is no number throws
// registers::ClockError.
void CalcFreq0Word();
void CalcFreq1Word();
void LoadFreq0();
void LoadFreq1();

namespace registers {
// The calling order every user of a frequency register keeps: set Freq0 or
// Freq1, compute its word, load it. Displays are left alone (sweep steps).
void loadFrequencyMHz(int reg, float mhz);
}  // namespace registers

namespace registers {

// The master clock text is no number: the entry being loaded is not at fault.
struct ClockError : numeric::ConversionError {
    using numeric::ConversionError::ConversionError;
};

// The main window's master-clock field, read by every computation.
void setMasterClockSource(std::function<std::string()> source);
std::string masterClockText();
// The master clock in MHz, read afresh; ClockError when it is no number.
double masterClockMHz();

// Tuning word of f MHz at clock m MHz, clamped to 0x7FFFFFFF at the limit.
int32_t tuningWord(float f, double clockMHz);

// Brings every register global back to its power-on value (tests).
void resetRegisterGlobals();

}  // namespace registers
