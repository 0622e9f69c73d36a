#include "platform/ProgramEnd.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace platform {

void ProgramEnd::runExitHooks() {
    if (hooksRun_) return;
    hooksRun_ = true;
    for (auto& h : hooks_) h();
    std::fflush(nullptr);
}

// The hooks run first, so nothing reaches the port while the windows and the
// stack unwind on the way out of main.
void ProgramEnd::endProgram(int status) {
    status_ = std::max(status_, status);
    ended_ = true;
    runExitHooks();
    // Every event loop of this thread returns, modal ones included, and none
    // started from now on runs.
    QCoreApplication::exit(std::max(status_, noted_));
}

int ProgramEnd::finish(int status) {
    runExitHooks();
    return std::max({status, status_, noted_});
}

}  // namespace platform
