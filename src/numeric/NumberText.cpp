#include "numeric/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace numeric {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Checks the accepted grammar; returns the trimmed number text or nothing.
std::optional<std::string_view> numberBody(std::string_view t) {
    while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
    while (!t.empty() && isBlank(t.back())) t.remove_suffix(1);
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t digits = 0, points = 0;
    for (; i < t.size(); ++i) {
        if (isDigit(t[i])) ++digits;
        else if (t[i] == '.') { if (++points > 1) return std::nullopt; }
        else break;
    }
    if (digits == 0) return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < t.size() && isDigit(t[i])) { ++i; ++expDigits; }
        if (expDigits == 0) return std::nullopt;
    }
    if (i != t.size()) return std::nullopt;
    return t;
}

}  // namespace

std::optional<double> parseDouble(std::string_view text) {
    auto body = numberBody(text);
    if (!body) return std::nullopt;
    std::string_view b = *body;
    if (!b.empty() && b.front() == '+') b.remove_prefix(1);  // from_chars takes no '+'
    double v = 0;
    auto [ptr, ec] = std::from_chars(b.data(), b.data() + b.size(), v);
    if (ec != std::errc() || ptr != b.data() + b.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<float> parseSingle(std::string_view text) {
    auto d = parseDouble(text);
    if (!d) return std::nullopt;
    float f = static_cast<float>(*d);
    if (!std::isfinite(f)) return std::nullopt;
    return f;
}

double toDouble(std::string_view text) {
    if (auto d = parseDouble(text)) return *d;
    throw ConversionError("not a number: \"" + std::string(text) + "\"");
}

float toSingle(std::string_view text) {
    if (auto f = parseSingle(text)) return *f;
    throw ConversionError("not a single-precision number: \"" + std::string(text) + "\"");
}

double roundHalfEven(double v) { return std::nearbyint(v); }  // default FE_TONEAREST

int16_t toInt16(double w) {
    if (!(w >= -32768.0 && w <= 32767.0)) throw ConversionError("overflow");
    return static_cast<int16_t>(w);
}

std::string formatFixed(double v, int minIntDigits, int decimals) {
    char buf[512];  // to_chars, unlike printf, ignores the user's locale
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    std::string s(buf, res.ec == std::errc() ? res.ptr : buf);
    bool neg = !s.empty() && s.front() == '-';
    if (neg) s.erase(0, 1);
    size_t point = s.find('.');
    std::string intPart = s.substr(0, point == std::string::npos ? s.size() : point);
    std::string rest = point == std::string::npos ? "" : s.substr(point);
    while (intPart.size() > 1 && intPart.front() == '0') intPart.erase(0, 1);
    if (intPart == "0" && minIntDigits == 0) intPart.clear();
    while (static_cast<int>(intPart.size()) < minIntDigits) intPart.insert(0, "0");
    // A negative value that rounds to zero shows without its sign.
    bool allZero = intPart.find_first_not_of('0') == std::string::npos &&
                   rest.find_first_not_of("0.") == std::string::npos;
    return (neg && !allZero ? "-" : "") + intPart + rest;
}

std::string formatFixedSingle(float v, int minIntDigits, int decimals) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v);
    double shortest = v;
    if (ec == std::errc()) std::from_chars(buf, ptr, shortest);
    return formatFixed(shortest, minIntDigits, decimals);
}

std::string formatGeneral(float v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 7);
    std::string s(buf, res.ptr);
    size_t e = s.find('e');
    std::string mant = s.substr(0, e), exp = e == std::string::npos ? "" : s.substr(e);
    if (mant.find('.') != std::string::npos) {
        while (mant.back() == '0') mant.pop_back();
        if (mant.back() == '.') mant.pop_back();
    }
    if (mant == "-0") mant = "0";
    return mant + exp;
}

}  // namespace numeric
