#pragma once
// Locale-independent number text: what the user may type and how values are shown.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace numeric {

// Raised where a text is not a number, or a value does not fit its type.
struct ConversionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Optional blanks, optional sign, digits with at most one point (at least one
// digit), optional exponent. Nothing else: no inf, nan, hex, commas.
std::optional<double> parseDouble(std::string_view text);
// Same grammar, then rounded to single precision; beyond single range is an error.
std::optional<float> parseSingle(std::string_view text);

// Throwing forms for handlers that trap errors as a whole.
double toDouble(std::string_view text);
float toSingle(std::string_view text);

// Round to nearest, ties to even (12.5 -> 12, 13.5 -> 14).
double roundHalfEven(double v);
// Whole number in -32768..32767 or ConversionError.
int16_t toInt16(double wholeValue);

// Fixed patterns: minIntDigits integer digits at least (0 drops a lone zero,
// as in "##.000000"), then exactly `decimals` decimals.
std::string formatFixed(double v, int minIntDigits, int decimals);
// A single-precision value formatted from its shortest decimal form.
std::string formatFixedSingle(float v, int minIntDigits, int decimals);
// Shortest form with at most seven significant digits, no trailing zeros.
std::string formatGeneral(float v);

inline std::string format_0_10(double v) { return formatFixed(v, 1, 10); }         // "#0.0000000000"
inline std::string format_0_10(float v) { return formatFixedSingle(v, 1, 10); }
inline std::string format_clock(float v) { return formatFixedSingle(v, 0, 6); }    // "##.000000"

}  // namespace numeric
