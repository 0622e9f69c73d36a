#pragma once
// An evaluation board on a simulated printer port: keeps the port's registers
// and decodes data-register writes into chip words.
#include "board/WireDecoder.h"
#include "portlib/PortBackend.h"

#include <functional>
#include <vector>

class SimulatedBoard : public PortBackend {
public:
    static constexpr uint16_t kBase = 0x378;

    SimulatedBoard();
    int32_t GetParallelPortCount() override { return 1; }
    int32_t ClaimParallelPort(int32_t port, int32_t flags) override;
    int32_t GetParallelPortInfo(int32_t port, ParallelPortInfo& info) override;
    int32_t InByte(uint16_t address) override;
    void OutByte(uint16_t address, int32_t value) override;
    bool ownsAddress(uint16_t address) const override;
    std::string describe() const override { return "simulated board at 0x378"; }
    std::string instrumentName() const override { return "SIM"; }

    // Observers see every decoded word and every framing error, in wire order.
    void addWordObserver(std::function<void(uint16_t)> observer);
    void addFramingErrorObserver(std::function<void(int bits)> observer);

    uint8_t dataRegister() const { return data_; }
    uint8_t controlRegister() const { return control_; }
    uint64_t words() const { return decoder_.words(); }
    uint64_t framingErrors() const { return decoder_.framingErrors(); }
    bool claimed() const { return claimed_; }

private:
    WireDecoder decoder_;
    std::vector<std::function<void(uint16_t)>> wordObservers_;
    std::vector<std::function<void(int)>> errorObservers_;
    uint8_t data_ = WireDecoder::Frame;
    uint8_t control_ = 0xCC;  // strobe, autofeed, select-in released; init high
    bool claimed_ = false;
};
