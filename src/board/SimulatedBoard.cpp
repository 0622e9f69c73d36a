#include "board/SimulatedBoard.h"

SimulatedBoard::SimulatedBoard() {
    decoder_.onWord = [this](uint16_t w) {
        for (auto& o : wordObservers_) o(w);
    };
    decoder_.onFramingError = [this](int bits) {
        for (auto& o : errorObservers_) o(bits);
    };
}

int32_t SimulatedBoard::ClaimParallelPort(int32_t port, int32_t) {
    if (port != 1) return 0;
    claimed_ = true;
    return 1;
}

int32_t SimulatedBoard::GetParallelPortInfo(int32_t port, ParallelPortInfo& info) {
    if (port != 1) return 0;
    info.baseAddress = kBase;
    return 1;
}

bool SimulatedBoard::ownsAddress(uint16_t a) const { return a >= kBase && a <= kBase + 2; }

int32_t SimulatedBoard::InByte(uint16_t address) {
    switch (address - kBase) {
    case 0: return data_;
    case 1: return 0x7F;  // status: no printer, busy released
    default: return control_;
    }
}

void SimulatedBoard::OutByte(uint16_t address, int32_t value) {
    const uint8_t v = static_cast<uint8_t>(value);
    if (address == kBase) {
        data_ = v;
        decoder_.feed(v);
    } else if (address == kBase + 2) {
        control_ = v;
    }
}

void SimulatedBoard::addWordObserver(std::function<void(uint16_t)> o) { wordObservers_.push_back(std::move(o)); }
void SimulatedBoard::addFramingErrorObserver(std::function<void(int)> o) { errorObservers_.push_back(std::move(o)); }
