#include "support/WireHarness.h"

#include <cstdio>

WireHarness::WireHarness(SweepTimer::TimeSource keyingClock) : chip(transmitter, nullptr, std::move(keyingClock)) {
    auto board = std::make_unique<SimulatedBoard>();
    board_ = board.get();
    auto rec = std::make_unique<RecordingPort>(std::move(board));
    recording_ = rec.get();
    port.setBackend(std::move(rec));
    port.setPortAddress(SimulatedBoard::kBase);
}

std::vector<uint16_t> WireHarness::words(uint16_t address) const { return decoded(address).words; }

DecodedWire WireHarness::decoded(uint16_t address) const {
    std::lock_guard guard(const_cast<portlib::Parllio&>(port).lock());
    return decodeWire(recording_->writesTo(address));
}

void WireHarness::clear() {
    std::lock_guard guard(port.lock());
    recording_->clear();
}

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
