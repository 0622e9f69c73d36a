#pragma once
// Decodes the words the program sends to any back end, for the Board Monitor
// "as sent": what went out on the data register, not what a board received.
// The data register is the base the wrapped back end reports (0x378 until
// it is asked).
#include "board/WireDecoder.h"
#include "portlib/PortBackend.h"
#include "portlib/Wire.h"

#include <functional>
#include <memory>

class ChipModel;

class MonitorPort final : public PortBackendDecorator {
public:
    static constexpr uint16_t kDefaultBase = wire::kLpt1;

    using PortBackendDecorator::PortBackendDecorator;
    int32_t GetParallelPortInfo(int32_t port, ParallelPortInfo& info) override;
    void OutByte(uint16_t address, int32_t value) override;

    WireDecoder& decoder() { return decoder_; }
    uint16_t dataRegister() const { return base_; }

private:
    WireDecoder decoder_;
    uint16_t base_ = kDefaultBase;
};

// A chip model fed by the words sent, its clock read from clockMHz() at every
// word (the program's master clock can change while it runs).
std::shared_ptr<ChipModel> attachChipModel(MonitorPort& port, std::function<double()> clockMHz);
