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
    // A log or up-and-down sweep walks a row of Points values (see sweep::pointValue).
    bool Log = false;     // spaced by equal ratios instead of the step
    bool UpDown = false;  // each loop runs to the last point and back
    int64_t Points = 0;
};

namespace sweep {

enum class Spacing { Linear, Log };

// A log sweep's point count.
constexpr int64_t kMinPoints = 2;
constexpr int64_t kMaxPoints = 100000;

// The field texts a Start reads, in the order it reads them, and the kind of sweep.
struct FieldTexts {
    std::string start, stop, step, loops, delay;
    std::string points = "11";  // a log sweep's, in place of the step
    Spacing spacing = Spacing::Linear;
    bool upDown = false;
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
enum class Refusal { NotANumber, StepNotPositive, StepTooBig, LoopsNotWhole, PointsOutOfRange, LogNotPositive, ListRunning };

// Reads and checks a Start without touching any state; either a plan or why not.
struct StartCheck {
    std::optional<StartPlan> plan;
    Refusal refusal = Refusal::NotANumber;
};
StartCheck checkStart(const FieldTexts& texts);
// What the user is told of a refusal; empty for NotANumber (the field's own
// entry rule has spoken).
const char* refusalText(Refusal r);

// The sweep fields' texts when the sweep window opens, and for remote use.
inline const FieldTexts kDefaultTexts{"00.00000000", "10.00000000", "01.00000000", "1", "1"};

// The kinds of sweep field, each with its limits and display pattern.
enum class FieldKind { Freq, Step8, Loops, Delay, Points };

// What an entry in a sweep field becomes: its value after the limits (maxMHz
// for frequencies) and the text shown for it; nothing when the text is no number.
struct FieldEntry {
    float value;
    std::string shown;
};
std::optional<FieldEntry> enterField(FieldKind kind, const std::string& text, float maxMHz);



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
// A log or up-and-down sweep: point 0, 1 ... Points-1 each loop, or with
// UpDown 0 ... Points-1 ... 1 each loop and point 0 once more after the last.
Step stepPoints(SweepGroup& g);
// Whether a group walks points (stepPoints) rather than the plain sawtooth.
inline bool walksPoints(const SweepGroup& g) { return g.Log || g.UpDown; }
// Point p of the row, 0 <= p < Points. Log: start x (stop/start)^(p/(Points-1))
// in double, then single; linear: the sawtooth's values, the last one the stop.
float pointValue(const SweepGroup& g, int64_t p);

// How far a sweep has come: the value just loaded, step k of n in loop i of N.
struct Progress {
    double mhz = 0;
    int64_t step = 0, steps = 0;  // steps: of the present loop
    int64_t loop = 0, loops = 0;
    int periodMs = 0;
    bool running = false;
    int64_t perLoop = 0;  // steps of every loop
    int64_t tail = 0;     // more in the last loop: an up-and-down sweep's return to point 0
    // Seconds until the last step is due, at the period.
    double secondsLeft() const;
};
Progress startProgress(const SweepGroup& params, Direction direction, int periodMs);
// Ticks in one loop: every value that does not pass the stop frequency, then the stop frequency.
int64_t stepsPerLoop(const SweepGroup& params, Direction direction);
// Counts the step just taken (the counters already advanced by stepUp/stepDown).
void noteStep(Progress& p, const SweepGroup& g, const Step& s);

}  // namespace sweep
