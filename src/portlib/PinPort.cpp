#include "portlib/PinPort.h"

int32_t PinPort::ClaimParallelPort(int32_t port, int32_t) {
    if (port != 1) return 0;
    if (!claimed_) claimed_ = openPins();
    return claimed_ ? 1 : 0;
}

int32_t PinPort::GetParallelPortInfo(int32_t port, ParallelPortInfo& info) {
    if (port != 1) return 0;
    info.baseAddress = kBase;
    return 1;
}

bool PinPort::ownsAddress(uint16_t a) const { return (claimed_ || ownedUnclaimed_) && a >= kBase && a <= kBase + 2; }

int32_t PinPort::InByte(uint16_t address) {
    if (!ownsAddress(address)) return 0xFF;
    beforeRead();
    switch (address - kBase) {
    case 0: return data_;
    case 1: return kStatus;
    default: return control_;
    }
}

void PinPort::OutByte(uint16_t address, int32_t value) {
    if (!ownsAddress(address)) return;
    const uint8_t v = static_cast<uint8_t>(value);
    if (address == kBase) {
        drive(v);
        data_ = v;
    } else if (address == kBase + 2) {
        control_ = v;
    }
}
