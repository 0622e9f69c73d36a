#pragma once
// A simulated board behind a recording port, installed as the active back end.
// Words are decoded from the recorded wire bytes, not taken from the senders.
#include "board/SimulatedBoard.h"
#include "board/WireDecoder.h"
#include "portlib/RecordingPort.h"

#include <cstdint>
#include <string>
#include <vector>

class WireHarness {
public:
    WireHarness();   // installs the board, resets all program globals
    ~WireHarness();  // removes it again

    RecordingPort& port() { return *recording_; }
    SimulatedBoard& board() { return *board_; }
    // Words decoded from the data-register writes at `address` since the last clear().
    std::vector<uint16_t> words(uint16_t address = SimulatedBoard::kBase) const;
    DecodedWire decoded(uint16_t address = SimulatedBoard::kBase) const;
    void clear() { recording_->clear(); }

private:
    RecordingPort* recording_;
    SimulatedBoard* board_;
};

// "0x3052 0x21B8" style text of words, for readable failure messages.
std::string hexWords(const std::vector<uint16_t>& words);
