#pragma once
// The program's object tree on a simulated board behind a recording port:
// the port, the transmitter and the chip, built fresh for each test. Words are
// decoded from the recorded wire bytes, not taken from the senders.
#include "board/SimulatedBoard.h"
#include "board/WireDecoder.h"
#include "control/ChipControl.h"
#include "portlib/Parllio.h"
#include "portlib/RecordingPort.h"

#include <cstdint>
#include <string>
#include <vector>

class WireHarness {
public:
    // `keyingClock`: a clock the keying's schedule reads instead of the real one.
    explicit WireHarness(SweepTimer::TimeSource keyingClock = nullptr);

    RecordingPort& recording() { return *recording_; }
    SimulatedBoard& board() { return *board_; }
    // Words decoded from the data-register writes at `address` since the last clear().
    std::vector<uint16_t> words(uint16_t address = SimulatedBoard::kBase) const;
    DecodedWire decoded(uint16_t address = SimulatedBoard::kBase) const;
    void clear();

    // The port's lines, for tests that check what it said.
    std::vector<std::string> said;
    portlib::Parllio port{[this](const std::string& line) { said.push_back(line); }};
    Transmitter transmitter{port};
    control::ChipControl chip;

private:
    RecordingPort* recording_;
    SimulatedBoard* board_;
};

// "0x3052 0x21B8" style text of words, for readable failure messages.
std::string hexWords(const std::vector<uint16_t>& words);
