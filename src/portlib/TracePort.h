#pragma once
// Writes one text line per port operation that reaches the wrapped back end:
//   <seconds since start, 9 decimals> <OUT|IN> 0x<address, 4 hex> 0x<value, 2 hex>
// e.g. "0.012345678 OUT 0x0378 0x04". Other tools read this format: keep it.
#include "portlib/BufferedFile.h"
#include "portlib/PortBackend.h"
#include "portlib/ProgramClock.h"

class TracePort final : public PortBackendDecorator {
public:
    // Throws PortError when the file cannot be created.
    TracePort(std::unique_ptr<PortBackend> inner, const std::string& path, portlib::Clock clock);
    ~TracePort() override;

    int32_t InByte(uint16_t address) override;
    void OutByte(uint16_t address, int32_t value) override;
    void flush() override;
    std::string recordFailure() const override;
    std::string describe() const override;

private:
    void line(const char* kind, uint16_t address, int32_t value);

    portlib::Clock clock_;
    portlib::BufferedFile file_;
};
