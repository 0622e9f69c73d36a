#include "platform/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {
std::vector<std::function<void()>>& hooks() {
    static std::vector<std::function<void()>> h;
    return h;
}
std::function<void(int)> g_ender;
}  // namespace

void addExitHook(std::function<void()> hook) { hooks().push_back(std::move(hook)); }

void runExitHooks() {
    for (auto& h : hooks()) h();
    std::fflush(nullptr);
}

void endProgram(int status) {
    if (g_ender) return g_ender(status);
    runExitHooks();
    std::_Exit(status);
}

void setProgramEnder(std::function<void(int)> ender) { g_ender = std::move(ender); }

}  // namespace platform
