#include "control/SweepGroup.h"

#include "numeric/NumberText.h"

#include <climits>
#include <cmath>

namespace sweep {
namespace {

float single(double v) { return static_cast<float>(v); }

// Saturates: a loop count that never matches (2.5 loops) must not overflow.
void countLoop(SweepGroup& g) {
    g.StepIndex = 0;
    if (g.LoopCount < INT32_MAX) ++g.LoopCount;
}

bool lastLoop(const SweepGroup& g) { return static_cast<double>(g.LoopCount) == static_cast<double>(g.Loops); }

}  // namespace

StartCheck checkStart(const FieldTexts& t) {
    StartCheck out;
    auto start = numeric::parseSingle(t.start), stop = numeric::parseSingle(t.stop),
         step = numeric::parseSingle(t.step), loops = numeric::parseSingle(t.loops),
         delay = numeric::parseSingle(t.delay);
    if (!start || !stop || !step || !loops || !delay) {
        out.refusal = Refusal::NotANumber;
        return out;
    }
    const float span = single(std::fabs(static_cast<double>(*start) - static_cast<double>(*stop)));
    if (!(*step > 0)) {
        out.refusal = Refusal::StepNotPositive;
        return out;
    }
    if (span < *step) {
        out.refusal = Refusal::StepTooBig;
        return out;
    }
    if (std::trunc(*loops) != *loops) {
        out.refusal = Refusal::LoopsNotWhole;
        return out;
    }
    SweepGroup g;
    g.StartFreq = *start;
    g.StopFreq = *stop;
    g.StepFreq = *step;
    g.Loops = *loops;
    g.DelayMs = *delay;
    // Equal start and stop count as downwards.
    out.plan = StartPlan{g, *start < *stop ? Direction::Up : Direction::Down, periodFor(*delay)};
    return out;
}

int periodFor(float delayMs) {
    const double ms = std::nearbyint(static_cast<double>(delayMs));  // ties to even
    if (!(ms > 0)) return 0;
    if (ms > INT_MAX) return INT_MAX;
    return static_cast<int>(ms);
}

Step stepUp(SweepGroup& g) {
    float f = single(static_cast<double>(g.StartFreq) + static_cast<double>(g.StepIndex) * g.StepFreq);
    ++g.StepIndex;
    if (!(f > g.StopFreq)) return {f, false};
    countLoop(g);
    return {g.StopFreq, lastLoop(g)};
}

Step stepDown(SweepGroup& g) {
    float f = single(static_cast<double>(g.StartFreq) - static_cast<double>(g.StepIndex) * g.StepFreq);
    ++g.StepIndex;
    if (f >= g.StopFreq) return {f, false};
    countLoop(g);
    return {g.StopFreq, lastLoop(g)};
}

}  // namespace sweep
