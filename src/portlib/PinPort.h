#pragma once
// A printer port emulated on three output pins (a USB adapter, GPIO lines):
// data bit 0 drives the clock pin, bit 1 data, bit 2 frame. It sits at 0x378,
// so the port menu behaves as with LPT1. The control and status registers
// have no pins: the control register is a shadow starting at 0xCC, which
// start-up's read, AND and write-back use as on a real port.
#include "portlib/PortBackend.h"
#include "portlib/Wire.h"

class PinPort : public PortBackend {
public:
    static constexpr uint16_t kBase = wire::kLpt1;
    static constexpr uint8_t kClock = wire::kClock, kData = wire::kData, kFrame = wire::kFrame;
    static constexpr uint8_t kIdle = wire::kIdle;
    static constexpr uint8_t kStatus = 0x7F;  // no printer, busy released

    // ownedUnclaimed: the registers answer before any claim, as a port on the
    // system's own bus does (the direct 0x378 path).
    explicit PinPort(bool ownedUnclaimed = false) : ownedUnclaimed_(ownedUnclaimed) {}

    int32_t GetParallelPortCount() override { return 1; }
    // Port 1 only; opens the pins, or says why not on the diagnostic line and fails.
    int32_t ClaimParallelPort(int32_t port, int32_t flags) override;
    // Port 1 reports 0x378, claimed or not.
    int32_t GetParallelPortInfo(int32_t port, ParallelPortInfo& info) override;
    int32_t InByte(uint16_t address) override;
    void OutByte(uint16_t address, int32_t value) override;
    // 0x378..0x37A once claimed (or always, see the constructor).
    bool ownsAddress(uint16_t address) const override;

    bool reachable() override { return claimed_ || ownedUnclaimed_; }
    bool claimed() const { return claimed_; }
    uint8_t dataRegister() const { return data_; }
    uint8_t controlRegister() const { return control_; }

protected:
    // Opens the device and sets the pins to kIdle; false after one diagnostic line.
    virtual bool openPins() = 0;
    // The data register's new value, to put on the pins.
    virtual void drive(uint8_t data) = 0;
    // Called before a register is read, so no write waits behind a read.
    virtual void beforeRead() {}

private:
    const bool ownedUnclaimed_;
    bool claimed_ = false;
    uint8_t data_ = kIdle;
    uint8_t control_ = 0xCC;
};
