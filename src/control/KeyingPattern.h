#pragma once
// What a keying sends: the kind of keying, the repeating bit stream it keys
// from, and the select word of each symbol. No timing here.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace keying {

// FSK keys FREQ0/FREQ1 with one bit a symbol, BPSK PHASE0/PHASE1 with one,
// QPSK PHASE0..PHASE3 with two (the first the more significant).
enum class Type { FSK, BPSK, QPSK };

constexpr int kMaxPatternBits = 4096;

// "FSK", "BPSK", "QPSK"; parseType takes them in any letter case.
const char* typeName(Type t);
std::optional<Type> parseType(const std::string& name);

constexpr int bitsPerSymbol(Type t) { return t == Type::QPSK ? 2 : 1; }
// Whether the type keys the frequency registers (else the phase registers).
constexpr bool keysFrequency(Type t) { return t == Type::FSK; }
// The select word that puts `symbol` on the output.
uint16_t selectWord(Type t, int symbol);

// The maximal-length sequence of x^n + x^m + 1 from an all-ones state, one
// full period (2^n - 1 bits); n is 7, 9 or 15.
std::vector<uint8_t> prbs(int n);

struct Pattern {
    std::string text;           // as the user gave it ("0110 1001", "#H0F96", "PRBS7")
    std::vector<uint8_t> bits;  // one period of the stream, never empty
    // The symbol at place k of the endless stream: the pattern repeats without
    // a gap, so a QPSK symbol may take its bits from two repetitions.
    int symbolAt(Type t, uint64_t k) const;
};

// A pattern from its text, or why not.
struct PatternCheck {
    std::optional<Pattern> pattern;
    std::string refusal;  // names the first bad character, or says empty / too long
};
// Bits "0110 1001" (spaces and underscores ignored), hexadecimal "#H0F96"
// (four bits a digit, most significant first), or PRBS7, PRBS9, PRBS15 in
// any letter case; at most kMaxPatternBits bits.
PatternCheck parsePattern(const std::string& text);

}  // namespace keying
