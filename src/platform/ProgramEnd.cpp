#include "platform/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void ProgramEnd::runExitHooks() {
    for (auto& h : hooks_) h();
    std::fflush(nullptr);
}

void ProgramEnd::endProgram(int status) {
    runExitHooks();
    std::_Exit(status > noted_ ? status : noted_);
}

}  // namespace platform
