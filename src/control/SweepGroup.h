#pragma once
// One sweep group's parameters and counters, and the step rules of a sawtooth
// sweep. No timers and no chip here: SweepRunner binds these to both.
#include <cstdint>
#include <optional>
#include <string>

// Every value single precision, as the chip's frequency globals are; sums are
// formed in double and rounded on store. The step count is a whole number.
struct SweepGroup {
    float StartFreq = 0;  // MHz
    float StopFreq = 0;   // MHz
    float StepFreq = 0;   // MHz
    float Loops = 0;
    float DelayMs = 0;
    int64_t StepIndex = 0;  // steps taken in the current loop; exact however long the loop
    int32_t LoopCount = 0;
};

namespace sweep {

// The five field texts a Start reads, in the order it reads them.
struct FieldTexts {
    std::string start, stop, step, loops, delay;
};

enum class Direction { Up, Down };

// What an accepted Start arms.
struct StartPlan {
    SweepGroup params;  // counters at zero
    Direction direction;
    int periodMs;
};

// Why a Start is refused; every refusal leaves the group as it was. A step of
// 0 or a loop count that is no whole number would sweep until Stop.
enum class Refusal { NotANumber, StepNotPositive, StepTooBig, LoopsNotWhole };

// Reads and checks a Start without touching any state; either a plan or why not.
struct StartCheck {
    std::optional<StartPlan> plan;
    Refusal refusal = Refusal::NotANumber;
};
StartCheck checkStart(const FieldTexts& texts);

// Delay in ms to a timer period: nearest whole ms, halves to even (2.5 -> 2).
int periodFor(float delayMs);

// One tick's outcome: the frequency to load, and whether that load ends the
// last loop (the ticking timer then stops).
struct Step {
    float freq;
    bool lastLoopDone;
};
// Advances the counters by one tick. The loop's end is counted here, so a
// load that then fails leaves counters that no longer matter (the group stops).
Step stepUp(SweepGroup& g);
Step stepDown(SweepGroup& g);

}  // namespace sweep
