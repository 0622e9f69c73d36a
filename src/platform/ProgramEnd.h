#pragma once
// Ending the program at once (Quit, Exit, the main window's close box, a
// termination signal): no window is told, nothing more goes to the port.
// Hooks registered here (trace files, the port's close) run first. One of
// these is built in main; tests put in one that only records the end.
#include <functional>
#include <vector>

namespace platform {

class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    void addExitHook(std::function<void()> hook) { hooks_.push_back(std::move(hook)); }
    void runExitHooks();
    // Runs the exit hooks, then ends the process with `status`, or with the
    // highest failure noted, whichever is higher.
    virtual void endProgram(int status = 0);
    // A failure met on the way (a trace cut short): the run ends with at least this status.
    void noteFailure(int status) { noted_ = status > noted_ ? status : noted_; }
    int noted() const { return noted_; }

private:
    std::vector<std::function<void()>> hooks_;
    int noted_ = 0;
};

}  // namespace platform
