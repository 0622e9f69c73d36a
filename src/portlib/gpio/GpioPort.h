#pragma once
// The board on three lines of a Linux GPIO chip (character device, libgpiod):
// every data-register write sets clock, data and frame from bits 0, 1 and 2
// in one bulk call.
#include "portlib/PinPort.h"
#include "portlib/gpio/GpioApi.h"

#include <memory>
#include <optional>

struct GpioWiring {
    std::string chip;
    portlib::gpio::Offsets offsets{};  // clock, data, frame
};

// "CHIP:CLK,DATA,FRAME" as in --port gpio:CHIP:CLK,DATA,FRAME. CHIP may hold
// ':' (a label), so the offsets are what follows the last one; they must be
// three different decimal numbers.
std::optional<GpioWiring> parseGpioWiring(const std::string& text);

class GpioPort final : public PinPort {
public:
    static constexpr const char* kConsumer = "qz4471";

    GpioPort(std::unique_ptr<portlib::gpio::Api> api, GpioWiring wiring);
    ~GpioPort() override;
    GpioPort(const GpioPort&) = delete;
    GpioPort& operator=(const GpioPort&) = delete;

    std::string describe() const override;
    StatusLine statusLine(uint16_t address) override;
    std::string instrumentName() const override;
    const GpioWiring& wiring() const { return wiring_; }

protected:
    bool openPins() override;
    void drive(uint8_t data) override;

private:
    std::string lines() const;  // "17,27,22"
    std::string requestFault(int error);

    std::unique_ptr<portlib::gpio::Api> api_;
    GpioWiring wiring_;
};
