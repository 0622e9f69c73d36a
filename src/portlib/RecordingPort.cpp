#include "portlib/RecordingPort.h"

int32_t RecordingPort::InByte(uint16_t address) {
    int32_t v = PortBackendDecorator::InByte(address);
    ops_.push_back({PortOperation::In, address, static_cast<uint8_t>(v)});
    return v;
}

void RecordingPort::OutByte(uint16_t address, int32_t value) {
    PortBackendDecorator::OutByte(address, value);
    ops_.push_back({PortOperation::Out, address, static_cast<uint8_t>(value)});
}

std::vector<uint8_t> RecordingPort::writesTo(uint16_t address) const {
    std::vector<uint8_t> bytes;
    for (const auto& op : ops_)
        if (op.kind == PortOperation::Out && op.address == address) bytes.push_back(op.value);
    return bytes;
}
