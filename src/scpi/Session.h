#pragma once
// One SCPI client (a connection or a script): runs its lines against the
// instrument and keeps its error queue. A line holds commands separated by
// ';'; each header resolves from the previous command's path, or from the
// root after a leading ':'. A command error (-1xx) drops the rest of the
// line, as the parser can no longer tell where the next command starts.
#include "scpi/CommandTree.h"
#include "scpi/ErrorQueue.h"
#include "scpi/Instrument.h"

#include <string>
#include <string_view>
#include <vector>

namespace scpi {

struct LineResult {
    bool replied = false;
    std::string reply;            // the line's query answers joined by ';', without '\n'
    std::vector<Outcome> errors;  // in order; also pushed onto the queue
};

class Session {
public:
    explicit Session(Instrument& instrument) : instrument_(instrument) {}

    // line: without its '\n'; a '\r' at its end is ignored.
    LineResult execute(std::string_view line);
    // Records an error found outside a line's commands (a line too long).
    void report(Outcome error) { queue_.push(std::move(error)); }
    ErrorQueue& queue() { return queue_; }

private:
    struct PathStep {
        const Node* node;
        int n;
    };
    // Runs one command; false when the rest of the line must be dropped.
    bool runUnit(std::string_view unit, std::vector<PathStep>& path, LineResult& result);
    void fail(LineResult& result, Outcome error);

    Instrument& instrument_;
    ErrorQueue queue_;
};

}  // namespace scpi
