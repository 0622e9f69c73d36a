#pragma once
// An evaluation board on a simulated printer port: a pin port whose pins
// feed a decoder, as the board's shift register would be fed.
#include "board/WireDecoder.h"
#include "portlib/PinPort.h"

#include <functional>
#include <vector>

class SimulatedBoard final : public PinPort {
public:
    // The board sits on the system's own bus: its registers answer unclaimed.
    SimulatedBoard();
    std::string describe() const override { return "simulated board at 0x378"; }
    StatusLine statusLine(uint16_t address) override {
        return ownsAddress(address) ? StatusLine{"Simulated board"} : PortBackend::statusLine(address);
    }
    std::string instrumentName() const override { return "SIM"; }

    // Observers see every decoded word and every framing error, in wire order,
    // on the thread that writes to the port.
    void addWordObserver(std::function<void(uint16_t)> observer);
    void addFramingErrorObserver(std::function<void(int bits)> observer);

    uint64_t words() const { return decoder_.words(); }
    uint64_t framingErrors() const { return decoder_.framingErrors(); }

protected:
    bool openPins() override { return true; }
    void drive(uint8_t data) override { decoder_.feed(data); }

private:
    WireDecoder decoder_;
    std::vector<std::function<void(uint16_t)>> wordObservers_;
    std::vector<std::function<void(int)>> errorObservers_;
};
