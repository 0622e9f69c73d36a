#pragma once
// Turns data-register bytes into 16-bit words as the chip sees them: frame
// (bit 2) low, data (bit 1) sampled at each falling edge of the clock (bit 0).
#include "portlib/Wire.h"

#include <cstdint>
#include <functional>
#include <vector>

class WireDecoder {
public:
    static constexpr uint8_t Clock = wire::kClock, Data = wire::kData, Frame = wire::kFrame;

    // Called for each complete word, and for each frame that ended with
    // another bit count than 16 (with the bits it did get).
    std::function<void(uint16_t word)> onWord;
    std::function<void(int bits)> onFramingError;

    void feed(uint8_t dataRegister);
    // Forgets a word begun but not ended (its write failed), back to idle.
    void discard() {
        last_ = Frame;
        shift_ = 0;
        bits_ = 0;
    }
    uint64_t words() const { return words_; }
    uint64_t framingErrors() const { return framingErrors_; }

private:
    uint8_t last_ = Frame;  // the idle level
    uint32_t shift_ = 0;
    int bits_ = 0;
    uint64_t words_ = 0;
    uint64_t framingErrors_ = 0;
};

// Decodes a whole byte sequence (tests and tools).
struct DecodedWire {
    std::vector<uint16_t> words;
    int framingErrors = 0;
};
DecodedWire decodeWire(const std::vector<uint8_t>& bytes);
