#pragma once
// Records every port operation that reaches the wrapped back end, in order.
#include "portlib/PortBackend.h"

#include <vector>

struct PortOperation {
    enum Kind { Out, In } kind;
    uint16_t address;
    uint8_t value;
    bool operator==(const PortOperation&) const = default;
};

class RecordingPort : public PortBackendDecorator {
public:
    using PortBackendDecorator::PortBackendDecorator;
    int32_t InByte(uint16_t address) override;
    void OutByte(uint16_t address, int32_t value) override;
    const std::vector<PortOperation>& operations() const { return ops_; }
    void clear() { ops_.clear(); }
    // The bytes written to one address, in order.
    std::vector<uint8_t> writesTo(uint16_t address) const;

private:
    std::vector<PortOperation> ops_;
};
