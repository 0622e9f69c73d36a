#pragma once
// Ending the program at once (Quit, Exit, the main window's close box):
// no window is told, nothing more goes to the port. Hooks registered here
// (trace files) are flushed first.
#include <functional>

namespace platform {

void addExitHook(std::function<void()> hook);
void runExitHooks();
// Runs the exit hooks, then ends the process. Tests install their own ender.
void endProgram(int status = 0);
void setProgramEnder(std::function<void(int)> ender);

}  // namespace platform
