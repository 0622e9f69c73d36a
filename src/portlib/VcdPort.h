#pragma once
// Records the serial lines of the data register (bit 0 clk, bit 1 data, bit 2
// frame) as a Value Change Dump for GTKWave and PulseView, in nanoseconds of
// real time. Time 0 is just before the first data-register write, so viewers
// don't open on the start-up pause.
#include "portlib/BufferedFile.h"
#include "portlib/PortBackend.h"
#include "portlib/ProgramClock.h"

class VcdPort final : public PortBackendDecorator {
public:
    // Throws PortError when the file cannot be created.
    VcdPort(std::unique_ptr<PortBackend> inner, const std::string& path, portlib::Clock clock);
    ~VcdPort() override;

    void OutByte(uint16_t address, int32_t value) override;
    void flush() override;
    std::string recordFailure() const override;
    std::string describe() const override;

    // Lead time between time 0 (the idle levels) and the first write.
    static constexpr std::chrono::nanoseconds kLeadIn = std::chrono::microseconds(1);

private:
    bool isDataRegister(uint16_t address) const;
    void record(uint8_t lines);

    portlib::Clock clock_;
    portlib::BufferedFile file_;
    bool started_ = false;
    std::chrono::nanoseconds origin_{0};
    long long lastStamp_ = 0;
    uint8_t lines_;
};
