#pragma once
// Time since the process started, for trace and waveform files.
#include <chrono>
#include <functional>

namespace portlib {

// Fixes the origin; main() calls it first thing. Later calls change nothing.
void markProgramStart();
// Steady time since the origin (fixed at first use if markProgramStart was never called).
std::chrono::nanoseconds sinceProgramStart();

// A source of elapsed time; tests pass their own.
using Clock = std::function<std::chrono::nanoseconds()>;

}  // namespace portlib
