#include "support/WireHarness.h"

#include "control/ChipControl.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "registers/Control.h"
#include "registers/Declare.h"

#include <cstdio>

WireHarness::WireHarness() {
    auto board = std::make_unique<SimulatedBoard>();
    board_ = board.get();
    auto rec = std::make_unique<RecordingPort>(std::move(board));
    recording_ = rec.get();
    portlib::setActiveBackend(std::move(rec));
    PortAddress = SimulatedBoard::kBase;
    control::chip().resetState();  // sweeps stopped, every stored state at power-on
}

WireHarness::~WireHarness() { portlib::setActiveBackend(nullptr); }

std::vector<uint16_t> WireHarness::words(uint16_t address) const { return decoded(address).words; }

DecodedWire WireHarness::decoded(uint16_t address) const { return decodeWire(recording_->writesTo(address)); }

std::string hexWords(const std::vector<uint16_t>& words) {
    std::string s;
    char buf[8];
    for (uint16_t w : words) {
        std::snprintf(buf, sizeof buf, "0x%04X", w);
        if (!s.empty()) s += ' ';
        s += buf;
    }
    return s;
}
