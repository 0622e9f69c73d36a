#include "board/WireDecoder.h"

void WireDecoder::feed(uint8_t now) {
    const bool frameWasLow = !(last_ & Frame);
    const bool frameIsLow = !(now & Frame);
    if (frameWasLow && frameIsLow && (last_ & Clock) && !(now & Clock)) {
        // The chip latches data on the falling clock edge.
        shift_ = (shift_ << 1) | ((now & Data) ? 1u : 0u);
        ++bits_;
    }
    if (frameWasLow && !frameIsLow) {
        if (bits_ == 16) {
            ++words_;
            if (onWord) onWord(static_cast<uint16_t>(shift_));
        } else {
            ++framingErrors_;
            if (onFramingError) onFramingError(bits_);
        }
    }
    if (!frameWasLow && frameIsLow) {
        shift_ = 0;
        bits_ = 0;
    }
    last_ = now;
}

DecodedWire decodeWire(const std::vector<uint8_t>& bytes) {
    DecodedWire out;
    WireDecoder d;
    d.onWord = [&](uint16_t w) { out.words.push_back(w); };
    d.onFramingError = [&](int) { ++out.framingErrors; };
    for (uint8_t b : bytes) d.feed(b);
    return out;
}
