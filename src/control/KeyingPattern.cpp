#include "control/KeyingPattern.h"

#include "registers/ChipWords.h"

#include <algorithm>
#include <cctype>

namespace keying {
namespace {

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool ignored(char c) { return c == ' ' || c == '_'; }

std::string badCharacter(char c, size_t position) {
    const std::string shown = std::isprint(static_cast<unsigned char>(c)) ? std::string(1, c) : "?";
    return "The pattern cannot hold \"" + shown + "\" (character " + std::to_string(position + 1) +
           "). Type bits such as 0110 1001, hexadecimal such as #H0F96, or PRBS7, PRBS9 or PRBS15.";
}

PatternCheck refused(std::string why) { return {std::nullopt, std::move(why)}; }

}  // namespace

const char* typeName(Type t) {
    switch (t) {
    case Type::FSK: return "FSK";
    case Type::BPSK: return "BPSK";
    case Type::QPSK: return "QPSK";
    }
    return "FSK";
}

std::optional<Type> parseType(const std::string& name) {
    const std::string n = upper(trimmed(name));
    for (Type t : {Type::FSK, Type::BPSK, Type::QPSK})
        if (n == typeName(t)) return t;
    return std::nullopt;
}

uint16_t selectWord(Type t, int symbol) {
    return keysFrequency(t) ? chip::freqSelectWord(symbol & 1) : chip::phaseSelectWord(symbol & 3);
}

std::vector<uint8_t> prbs(int n) {
    const int m = n == 7 ? 6 : n == 9 ? 5 : 14;
    const uint32_t mask = (1u << n) - 1;
    uint32_t s = mask;
    std::vector<uint8_t> bits(mask);
    for (uint8_t& b : bits) {
        b = static_cast<uint8_t>(((s >> (n - 1)) ^ (s >> (m - 1))) & 1);
        s = ((s << 1) | b) & mask;
    }
    return bits;
}

int Pattern::symbolAt(Type t, uint64_t k) const {
    const uint64_t n = bits.size();
    if (bitsPerSymbol(t) == 1) return bits[k % n];
    const uint64_t first = (2 * (k % n)) % n;  // 2k mod n without overflow
    return bits[first] << 1 | bits[(first + 1) % n];
}

PatternCheck parsePattern(const std::string& text) {
    const std::string t = trimmed(text);
    const std::string name = upper(t);
    for (int n : {7, 9, 15})
        if (name == "PRBS" + std::to_string(n)) return {Pattern{name, prbs(n)}, {}};

    Pattern p{t, {}};
    const bool hex = name.rfind("#H", 0) == 0;
    const size_t offset = text.find_first_not_of(" \t");  // positions count in the text as given
    for (size_t i = hex ? 2 : 0; i < t.size(); ++i) {
        const char c = t[i];
        if (ignored(c)) continue;
        if (hex && std::isxdigit(static_cast<unsigned char>(c))) {
            const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
            for (int b = 3; b >= 0; --b) p.bits.push_back(static_cast<uint8_t>(v >> b & 1));
        } else if (!hex && (c == '0' || c == '1')) {
            p.bits.push_back(static_cast<uint8_t>(c - '0'));
        } else {
            return refused(badCharacter(c, offset + i));
        }
        if (p.bits.size() > kMaxPatternBits)
            return refused("The pattern is longer than " + std::to_string(kMaxPatternBits) + " bits.");
    }
    if (p.bits.empty()) return refused("The pattern is empty: type bits such as 0110 1001, #H and hexadecimal, or PRBS7, PRBS9 or PRBS15.");
    return {std::move(p), {}};
}

}  // namespace keying
