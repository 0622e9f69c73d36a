#pragma once
// Ending the program (Quit, Exit, the main window's close box, a termination
// signal): no window is told, nothing more goes to the port. Hooks registered
// here (the schedule's halt, trace files, the port's close) run at once; then
// every event loop returns and main returns the status. One of these is built
// in main; tests put in one that only records the end.
#include <functional>
#include <vector>

namespace platform {

class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    void addExitHook(std::function<void()> hook) { hooks_.push_back(std::move(hook)); }
    // Runs the exit hooks once; later calls do nothing.
    void runExitHooks();
    // Runs the exit hooks and has every event loop return: the program ends
    // with `status`, or with the highest failure noted, whichever is higher.
    virtual void endProgram(int status = 0);
    // Whether an end was asked for: main then starts no event loop.
    bool ended() const { return ended_; }
    // What main returns: runs the exit hooks if no end ran them, and gives the
    // highest of `status`, the end's and the failures noted.
    int finish(int status);
    // A failure met on the way (a trace cut short): the run ends with at least this status.
    void noteFailure(int status) { noted_ = status > noted_ ? status : noted_; }
    int noted() const { return noted_; }

private:
    std::vector<std::function<void()>> hooks_;
    bool hooksRun_ = false;
    bool ended_ = false;
    int status_ = 0;
    int noted_ = 0;
};

}  // namespace platform
