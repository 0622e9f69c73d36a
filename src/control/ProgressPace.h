#pragma once
// Progress from a timer thread, said on the owner's thread once the lock is
// free (see Notices), at most once an interval: one announcement waits at a
// time, and one that comes too soon is said when the interval is up, so the
// last step always shows however slow the run.
#include "control/Notices.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace control {

class ProgressPace {
public:
    ProgressPace(Notices& notices, QObject* context, std::chrono::milliseconds interval)
        : notices_(notices), context_(context), intervalNs_(std::chrono::nanoseconds(interval).count()) {}
    // Any thread, under the lock. `now`: without waiting out the interval (a run's end).
    void progressed(std::function<void()> say, bool now = false);
    // Progress was just said another way (with a change of state).
    void said() { last_ = nowNs(); }

private:
    static int64_t nowNs();

    Notices& notices_;
    QObject* context_;
    const int64_t intervalNs_;
    std::atomic<bool> posted_ = false;
    std::atomic<int64_t> last_ = 0;  // steady clock, ns
};

}  // namespace control
