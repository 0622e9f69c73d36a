#pragma once
// One client's SCPI error queue: oldest first, 20 entries; when it is full
// the newest entry becomes -350 and later errors are lost until it is read.
#include "scpi/Instrument.h"

#include <deque>
#include <string>

namespace scpi {

class ErrorQueue {
public:
    static constexpr size_t kCapacity = 20;

    void push(Outcome error);
    // Takes the oldest entry; 0,"No error" when empty.
    Outcome next();
    size_t count() const { return entries_.size(); }
    void clear() { entries_.clear(); }

private:
    std::deque<Outcome> entries_;
};

// An entry as a reply: -222,"Data out of range" (quotes in the text doubled).
std::string formatError(const Outcome& error);

}  // namespace scpi
