#include "control/ProgressPace.h"

#include <QTimer>

namespace control {

int64_t ProgressPace::nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void ProgressPace::progressed(std::function<void()> say, bool now) {
    if (posted_.exchange(true)) return;
    const int64_t wait = now ? 0 : last_ + intervalNs_ - nowNs();
    const int waitMs = wait > 0 ? static_cast<int>((wait + 999'999) / 1'000'000) : 0;
    notices_.later([this, waitMs, say = std::move(say)] {
        QTimer::singleShot(waitMs, context_, [this, say] {
            posted_ = false;
            last_ = nowNs();
            say();
        });
    });
}

}  // namespace control
