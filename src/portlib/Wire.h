#pragma once
// The board's three lines on the printer port's data register, and the
// standard printer port bases.
#include <cstdint>

namespace wire {

// Data register bits: serial clock, serial data, frame (active low).
constexpr uint8_t kClock = 0x01;
constexpr uint8_t kData = 0x02;
constexpr uint8_t kFrame = 0x04;
constexpr uint8_t kIdle = kFrame;  // frame high, clock and data low

// LPT1, LPT2 and PRN; pin ports and the simulated board sit at LPT1.
constexpr uint16_t kLpt1 = 0x378;
constexpr uint16_t kLpt2 = 0x278;
constexpr uint16_t kPrn = 0x3BC;

}  // namespace wire
