// Tuning words against the master clock, and the sweep-side calling order
// (set the frequency, compute, load) checked on the wire.
#include "numeric/NumberText.h"
#include "numeric/TuningWord.h"
#include "registers/ChipRegisters.h"
#include "support/WireHarness.h"

#include <gtest/gtest.h>

TEST(TuningWord, ExamplesAndLimits) {
    struct { float f; double clock; int32_t word; } cases[] = {
        {0, 50, 0}, {1, 50, 0x051EB852}, {10, 50, 0x33333333}, {12.5f, 50, 0x40000000},
        {25, 50, 0x7FFFFFFF},            // exactly half the clock: clamped
        {24.9999f, 50, 0x7FFFDEB8},      // just under the limit: computed
        {1e9f, 50, 0x7FFFFFFF},
        {1, 0, 0x7FFFFFFF}, {0, 0, 0x7FFFFFFF},  // no clock: clamped, no division by zero
        {1, -50, 0x7FFFFFFF},
        {25, 60, 0x6AAAAAAB},
        {0.5f, 4294967296.0, 0}, {1.5f, 4294967296.0, 2},  // ties go to even
    };
    for (auto& c : cases)
        EXPECT_EQ(numeric::tuningWord(c.f, c.clock), c.word) << c.f << " MHz at " << c.clock;
}

TEST(TuningWord, LoadsComputeFromTheClockHeldNow) {
    WireHarness wire;
    ChipRegisters regs(wire.transmitter);
    regs.Freq1 = 10;
    regs.CalcFreq1Word();
    EXPECT_EQ(regs.FreqWord, 0x33333333);
    EXPECT_EQ(regs.FreqByte3, 0x33);
    regs.LoadFreq1();
    regs.MasterClock = 100;
    regs.Freq0 = 1;
    regs.CalcFreq0Word();
    regs.LoadFreq0();
    EXPECT_EQ(hexWords(wire.words()), hexWords({0x3433, 0x2533, 0x3633, 0x2733, 0x3029, 0x215C, 0x328F, 0x2302}));
    EXPECT_EQ(regs.fill_string(), "028F5C29");
}
