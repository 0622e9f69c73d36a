#pragma once
// SCPI parameters: decimal numbers with an optional exponent and unit suffix,
// #H, #Q and #B (hexadecimal, octal, binary) where allowed, booleans. A text that is not what the command
// takes gives the standard error: -102 malformed, -104 wrong kind (a word or
// string for a number), -131 a suffix the unit does not know, -222 out of range.
#include "scpi/Instrument.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace scpi {

template <class T>
struct Parsed {
    T value{};
    Outcome error;
    bool ok() const { return error.ok(); }
};

enum class Unit {
    None,       // a bare number
    Frequency,  // Hz; HZ, KHZ, MHZ and MAHZ (megahertz), GHZ
    Delay,      // ms; US, MS, S
    Seconds,    // s; US, MS, S
};

// A finite number in the unit's base (Hz, ms).
Parsed<double> parseReal(std::string_view text, Unit unit);
// A whole number 0..max, decimal or (when basedAllowed) #H, #Q or #B.
Parsed<uint32_t> parseUnsigned(std::string_view text, uint32_t max, bool basedAllowed);
// The same, with a decimal fraction rounded as IEEE 488.2 asks of integer
// parameters (*ESE 12.6 sets 13).
Parsed<uint32_t> parseRoundedUnsigned(std::string_view text, uint32_t max);
// ON, OFF or a number: rounded, anything but 0 is ON.
Parsed<bool> parseBoolean(std::string_view text);

// A quoted string ("..." or '...'), its doubled quotes made single.
Parsed<std::string> parseString(std::string_view text);
// Character data: a word of letters, digits and '_' that starts with a letter.
bool isCharacterData(std::string_view text);
// The error of a parameter that is not the word a command takes: -104, or
// -102 when it is malformed.
int wrongKind(std::string_view text);

// MINimum, MAXimum, DEFault (any case) in place of a number.
enum class Limit { Min, Max, Def };
std::optional<Limit> parseLimit(std::string_view text);

// SCPI white space within a line: blank and tab.
inline bool isBlank(char c) { return c == ' ' || c == '\t'; }
std::string_view trimBlanks(std::string_view s);

}  // namespace scpi
