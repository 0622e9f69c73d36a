#pragma once
// The chip's tuning word: the output frequency as a fraction of the master
// clock, scaled by 2^32.
#include <cstdint>

namespace numeric {

// The word of f MHz at clock m MHz, clamped to 0x7FFFFFFF at just under half
// the clock; throws ConversionError when the word cannot be formed.
int32_t tuningWord(float f, double clockMHz);
// The frequency in MHz a word gives at clock m MHz.
inline double wordMHz(uint32_t word, double clockMHz) { return word * clockMHz / 4294967296.0; }

}  // namespace numeric
