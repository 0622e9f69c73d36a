#pragma once
// Time since the program started, for trace and waveform files. main builds
// one first thing; everything that stamps a time is handed its clock.
#include <chrono>
#include <functional>

namespace portlib {

// A source of elapsed time; tests pass their own.
using Clock = std::function<std::chrono::nanoseconds()>;

class ProgramClock {
public:
    std::chrono::nanoseconds elapsed() const {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - origin_);
    }
    Clock clock() const {
        return [this] { return elapsed(); };
    }

private:
    const std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};

}  // namespace portlib
