#include "scpi/Parameter.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace scpi {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool equalsUpper(std::string_view s, std::string_view upper) {
    if (s.size() != upper.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) != upper[i]) return false;
    return true;
}

template <class T>
Parsed<T> fail(int code) {
    return {T{}, Outcome::error(code)};
}

// What kind of parameter a text is, by its first character.
enum class Kind { Decimal, Based, Block, Word, String, Malformed };

Kind kindOf(std::string_view t) {
    if (t.empty()) return Kind::Malformed;
    const char c = t[0];
    if (isDigit(c) || c == '+' || c == '-' || c == '.') return Kind::Decimal;
    if (isLetter(c)) {
        for (char x : t)
            if (!isLetter(x) && !isDigit(x) && x != '_') return Kind::Malformed;
        return Kind::Word;
    }
    if (c == '"' || c == '\'') {
        return t.size() >= 2 && t.back() == c ? Kind::String : Kind::Malformed;
    }
    if (c == '#' && t.size() >= 2) {
        const char b = static_cast<char>(std::toupper(static_cast<unsigned char>(t[1])));
        if (b == 'H' || b == 'Q' || b == 'B') return Kind::Based;  // hexadecimal, octal, binary
        if (isDigit(b)) return Kind::Block;
    }
    return Kind::Malformed;
}

// A parameter of the wrong kind for a numeric or boolean value.
int kindError(Kind k) { return k == Kind::Malformed ? SyntaxError : DataTypeError; }

struct Decimal {
    double value = 0;
    std::string_view suffix;  // letters after the number, upper or lower case
};

// [+|-] digits [. digits] [E [+|-] digits] [blanks] [suffix letters]
Parsed<Decimal> scanDecimal(std::string_view t) {
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    const size_t mantissa = i;
    size_t digits = 0;
    while (i < t.size() && isDigit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && isDigit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return fail<Decimal>(SyntaxError);
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
        if (j < t.size() && isDigit(t[j])) {  // otherwise the E starts a suffix
            while (j < t.size() && isDigit(t[j])) ++j;
            i = j;
        }
    }
    Parsed<Decimal> r;
    // from_chars takes no '+'; the sign is applied below.
    const auto [end, ec] = std::from_chars(t.data() + mantissa, t.data() + i, r.value.value);
    if (ec == std::errc::result_out_of_range || !std::isfinite(r.value.value)) return fail<Decimal>(DataOutOfRange);
    if (ec != std::errc() || end != t.data() + i) return fail<Decimal>(SyntaxError);
    if (t[0] == '-') r.value.value = -r.value.value;
    r.value.suffix = trimBlanks(t.substr(i));
    for (char c : r.value.suffix)
        if (!isLetter(c)) return fail<Decimal>(SyntaxError);
    return r;
}

// The multiplier of a unit suffix, 0 when the unit does not know it.
double suffixScale(Unit unit, std::string_view suffix) {
    if (suffix.empty()) return 1;
    switch (unit) {
    case Unit::Frequency:
        if (equalsUpper(suffix, "HZ")) return 1;
        if (equalsUpper(suffix, "KHZ")) return 1e3;
        if (equalsUpper(suffix, "MHZ")) return 1e6;  // SCPI: MHZ is megahertz, not millihertz
        if (equalsUpper(suffix, "MAHZ")) return 1e6;
        if (equalsUpper(suffix, "GHZ")) return 1e9;
        return 0;
    case Unit::Delay:
        if (equalsUpper(suffix, "MS")) return 1;
        if (equalsUpper(suffix, "S")) return 1e3;
        if (equalsUpper(suffix, "US")) return 1e-3;
        return 0;
    case Unit::Seconds:
        if (equalsUpper(suffix, "S")) return 1;
        if (equalsUpper(suffix, "MS")) return 1e-3;
        if (equalsUpper(suffix, "US")) return 1e-6;
        return 0;
    case Unit::None: return 0;
    }
    return 0;
}

// #H, #Q or #B and digits of that base.
Parsed<uint32_t> parseBased(std::string_view t, uint32_t max) {
    const char b = static_cast<char>(std::toupper(static_cast<unsigned char>(t[1])));
    const unsigned base = b == 'H' ? 16 : b == 'Q' ? 8 : 2;
    const std::string_view digits = t.substr(2);
    if (digits.empty()) return fail<uint32_t>(SyntaxError);
    uint64_t v = 0;
    bool tooBig = false;
    for (char c : digits) {
        const int u = std::toupper(static_cast<unsigned char>(c));
        const unsigned d = isDigit(c) ? unsigned(c - '0') : u >= 'A' && u <= 'F' ? unsigned(u - 'A' + 10) : 99;
        if (d >= base) return fail<uint32_t>(SyntaxError);
        if (tooBig) continue;  // keep scanning: a bad digit later is still a syntax error
        v = v * base + d;
        tooBig = v > max;
    }
    if (tooBig) return fail<uint32_t>(DataOutOfRange);
    return {static_cast<uint32_t>(v), {}};
}

}  // namespace

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

Parsed<double> parseReal(std::string_view text, Unit unit) {
    const Kind k = kindOf(text);
    if (k != Kind::Decimal) return fail<double>(kindError(k));
    const Parsed<Decimal> d = scanDecimal(text);
    if (!d.ok()) return {0, d.error};
    const double scale = suffixScale(unit, d.value.suffix);
    if (scale == 0) return fail<double>(InvalidSuffix);
    const double v = d.value.value * scale;
    if (!std::isfinite(v)) return fail<double>(DataOutOfRange);
    return {v, {}};
}

Parsed<uint32_t> parseUnsigned(std::string_view text, uint32_t max, bool basedAllowed) {
    const Kind k = kindOf(text);
    if (k == Kind::Based && basedAllowed) return parseBased(text, max);
    if (k != Kind::Decimal) return fail<uint32_t>(kindError(k));
    const Parsed<Decimal> d = scanDecimal(text);
    if (!d.ok()) return {0, d.error};
    if (!d.value.suffix.empty()) return fail<uint32_t>(InvalidSuffix);
    const double v = d.value.value;
    if (!(v >= 0 && v <= max) || v != std::floor(v)) return fail<uint32_t>(DataOutOfRange);
    return {static_cast<uint32_t>(v), {}};
}

Parsed<uint32_t> parseRoundedUnsigned(std::string_view text, uint32_t max) {
    if (kindOf(text) != Kind::Decimal) return parseUnsigned(text, max, true);
    const Parsed<double> n = parseReal(text, Unit::None);
    if (!n.ok()) return {0, n.error};
    const double v = std::round(n.value);
    if (!(v >= 0 && v <= max)) return fail<uint32_t>(DataOutOfRange);
    return {static_cast<uint32_t>(v), {}};
}

Parsed<bool> parseBoolean(std::string_view text) {
    const Kind k = kindOf(text);
    if (k == Kind::Word) {
        if (equalsUpper(text, "ON")) return {true, {}};
        if (equalsUpper(text, "OFF")) return {false, {}};
        return fail<bool>(DataTypeError);
    }
    // A number is rounded; anything but 0 is ON.
    const Parsed<double> n = parseReal(text, Unit::None);
    if (!n.ok()) return {false, n.error};
    return {std::nearbyint(n.value) != 0, {}};
}

Parsed<std::string> parseString(std::string_view text) {
    const Kind k = kindOf(text);
    if (k != Kind::String) return fail<std::string>(kindError(k));
    const char quote = text.front();
    std::string out;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == quote) {
            if (text[i + 1] != quote || i + 2 == text.size()) return fail<std::string>(SyntaxError);  // a lone quote inside
            ++i;
        }
        out += text[i];
    }
    return {std::move(out), {}};
}

bool isCharacterData(std::string_view text) { return kindOf(text) == Kind::Word; }

int wrongKind(std::string_view text) { return kindError(kindOf(text)); }

std::optional<Limit> parseLimit(std::string_view text) {
    if (equalsUpper(text, "MIN") || equalsUpper(text, "MINIMUM")) return Limit::Min;
    if (equalsUpper(text, "MAX") || equalsUpper(text, "MAXIMUM")) return Limit::Max;
    if (equalsUpper(text, "DEF") || equalsUpper(text, "DEFAULT")) return Limit::Def;
    return std::nullopt;
}

}  // namespace scpi
