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

namespace {
int64_t linearPoints(const SweepGroup& g, Direction d);
}

StartCheck checkStart(const FieldTexts& t) {
    StartCheck out;
    const bool log = t.spacing == Spacing::Log;
    auto start = numeric::parseSingle(t.start), stop = numeric::parseSingle(t.stop),
         step = log ? std::optional<float>(0) : numeric::parseSingle(t.step), loops = numeric::parseSingle(t.loops),
         delay = numeric::parseSingle(t.delay);
    const auto points = log ? numeric::parseSingle(t.points) : std::optional<float>(0);
    if (!start || !stop || !step || !loops || !delay || !points) {
        out.refusal = Refusal::NotANumber;
        return out;
    }
    if (log) {
        // The field's entry rule keeps a whole count in range; a text from elsewhere may not be.
        if (!(*points >= kMinPoints && *points <= kMaxPoints) || std::trunc(*points) != *points) {
            out.refusal = Refusal::PointsOutOfRange;
            return out;
        }
        if (!(*start > 0 && *stop > 0)) {
            out.refusal = Refusal::LogNotPositive;
            return out;
        }
    } else {
        const float span = single(std::fabs(static_cast<double>(*start) - static_cast<double>(*stop)));
        if (!(*step > 0)) {
            out.refusal = Refusal::StepNotPositive;
            return out;
        }
        if (span < *step) {
            out.refusal = Refusal::StepTooBig;
            return out;
        }
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
    g.Log = log;
    g.UpDown = t.upDown;
    // Equal start and stop count as downwards.
    const Direction d = *start < *stop ? Direction::Up : Direction::Down;
    if (log) g.Points = static_cast<int64_t>(*points);
    else if (t.upDown) g.Points = linearPoints(g, d);
    out.plan = StartPlan{g, d, periodFor(*delay)};
    return out;
}

const char* refusalText(Refusal r) {
    switch (r) {
    case Refusal::StepNotPositive: return "Freq. Step must be greater than 0";
    case Refusal::StepTooBig: return "Step size is too big for start and stop frequencies";
    case Refusal::LoopsNotWhole: return "No. of Loops must be a whole number";
    case Refusal::PointsOutOfRange: return "No. of Points must be a whole number from 2 to 100000";
    case Refusal::LogNotPositive: return "Start and stop frequencies must be above 0 for a log sweep";
    case Refusal::ListRunning: return "A frequency list is running: stop it first";
    case Refusal::NotANumber: break;
    }
    return "";
}

std::optional<FieldEntry> enterField(FieldKind kind, const std::string& text, float maxMHz) {
    const auto parsed = numeric::parseSingle(text);
    if (!parsed) return std::nullopt;
    float v = *parsed;
    // Frequencies are pulled into 0..maxMHz; single-precision comparisons.
    auto checkMax = [&v, maxMHz] {
        if (v > maxMHz) v = maxMHz;
        if (!(v >= 0)) v = 0;
    };
    switch (kind) {
    case FieldKind::Freq: checkMax(); return FieldEntry{v, numeric::formatFixedSingle(v, 2, 10)};
    case FieldKind::Step8: checkMax(); return FieldEntry{v, numeric::formatFixedSingle(v, 2, 8)};
    case FieldKind::Loops:
        if (!(v >= 1)) v = 1;
        return FieldEntry{v, numeric::formatGeneral(v)};
    case FieldKind::Delay:
        if (v > 100000) v = 100000;
        if (v < 0) v = 0;
        return FieldEntry{v, numeric::formatGeneral(v)};
    case FieldKind::Points:
        // A count: the nearest whole number in range, so a Start never meets a bad one.
        v = static_cast<float>(std::nearbyint(static_cast<double>(v)));
        if (!(v >= kMinPoints)) v = kMinPoints;
        if (v > kMaxPoints) v = kMaxPoints;
        return FieldEntry{v, numeric::formatGeneral(v)};
    }
    return std::nullopt;
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

namespace {
// The value of tick k of a loop, as stepUp and stepDown form it.
float valueAt(const SweepGroup& g, Direction d, int64_t k) {
    const double offset = static_cast<double>(k) * g.StepFreq;
    return single(d == Direction::Up ? g.StartFreq + offset : g.StartFreq - offset);
}
bool inside(const SweepGroup& g, Direction d, float f) { return d == Direction::Up ? !(f > g.StopFreq) : f >= g.StopFreq; }
}  // namespace

int64_t stepsPerLoop(const SweepGroup& g, Direction d) {
    if (!(g.StepFreq > 0)) return 0;
    const double span = std::fabs(static_cast<double>(g.StartFreq) - g.StopFreq);
    // Near the estimate, the first value that passes the stop frequency.
    int64_t k = static_cast<int64_t>(std::floor(span / g.StepFreq));
    k = k > 2 ? k - 2 : 0;
    while (inside(g, d, valueAt(g, d, k))) ++k;
    return k + 1;  // then the loop's closing load of the stop frequency
}

namespace {
// The sawtooth's values without its repeat: the stop frequency closes the row
// once, whether or not a step lands on it.
int64_t linearPoints(const SweepGroup& g, Direction d) {
    const int64_t within = stepsPerLoop(g, d) - 1;
    return valueAt(g, d, within - 1) == g.StopFreq ? within : within + 1;
}
}  // namespace

float pointValue(const SweepGroup& g, int64_t p) {
    if (g.Log) {
        const double start = g.StartFreq, stop = g.StopFreq;
        return single(start * std::pow(stop / start, static_cast<double>(p) / static_cast<double>(g.Points - 1)));
    }
    if (p >= g.Points - 1) return g.StopFreq;
    return valueAt(g, g.StartFreq < g.StopFreq ? Direction::Up : Direction::Down, p);
}

Step stepPoints(SweepGroup& g) {
    const int64_t n = g.Points;
    if (!g.UpDown) {
        const float f = pointValue(g, g.StepIndex);
        if (++g.StepIndex < n) return {f, false};
        countLoop(g);
        return {f, lastLoop(g)};
    }
    // Every loop done: the run ends back on point 0.
    if (lastLoop(g)) return {pointValue(g, 0), true};
    const int64_t cycle = 2 * n - 2;
    const int64_t k = g.StepIndex;
    const float f = pointValue(g, k < n ? k : cycle - k);
    if (++g.StepIndex == cycle) countLoop(g);
    return {f, false};
}

Progress startProgress(const SweepGroup& params, Direction direction, int periodMs) {
    Progress p;
    if (walksPoints(params)) {
        p.perLoop = params.UpDown ? 2 * params.Points - 2 : params.Points;
        p.tail = params.UpDown ? 1 : 0;
    } else {
        p.perLoop = stepsPerLoop(params, direction);
    }
    p.loops = static_cast<int64_t>(params.Loops);
    p.loop = 1;
    p.steps = p.perLoop + (p.loops == 1 ? p.tail : 0);
    p.periodMs = periodMs;
    p.mhz = params.StartFreq;
    p.running = true;
    return p;
}

void noteStep(Progress& p, const SweepGroup& g, const Step& s) {
    p.mhz = s.freq;
    if (s.lastLoopDone && p.tail) {  // the return to point 0 after the last loop
        p.loop = p.loops;
        p.step = p.perLoop + p.tail;
    } else if (g.StepIndex == 0) {  // that step closed a loop
        p.step = p.perLoop;
        p.loop = g.LoopCount;
    } else {
        p.step = g.StepIndex;
        p.loop = static_cast<int64_t>(g.LoopCount) + 1;
    }
    p.steps = p.perLoop + (p.loop == p.loops ? p.tail : 0);
}

double Progress::secondsLeft() const {
    if (!running) return 0;
    const double left = static_cast<double>(loops - loop) * perLoop + (loop < loops ? tail : 0) +
                        static_cast<double>(steps - step);
    return left > 0 ? left * periodMs / 1000.0 : 0;
}

}  // namespace sweep
