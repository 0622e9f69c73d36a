#include "portlib/ProgramClock.h"

namespace portlib {
namespace {
std::chrono::steady_clock::time_point origin() {
    static const auto t = std::chrono::steady_clock::now();
    return t;
}
}  // namespace

void markProgramStart() { (void)origin(); }

std::chrono::nanoseconds sinceProgramStart() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - origin());
}

}  // namespace portlib
