#include "board/MonitorPort.h"

#include "board/ChipModel.h"

int32_t MonitorPort::GetParallelPortInfo(int32_t port, ParallelPortInfo& info) {
    const int32_t found = PortBackendDecorator::GetParallelPortInfo(port, info);
    if (found) base_ = static_cast<uint16_t>(info.baseAddress);
    return found;
}

void MonitorPort::OutByte(uint16_t address, int32_t value) {
    // The back end first: a write that fails never reached the wire, and
    // neither did the rest of its word.
    try {
        PortBackendDecorator::OutByte(address, value);
    } catch (const PortError&) {
        if (address == base_) decoder_.discard();
        throw;
    }
    if (address == base_) decoder_.feed(static_cast<uint8_t>(value));
}

std::shared_ptr<ChipModel> attachChipModel(MonitorPort& port, std::function<double()> clockMHz) {
    auto model = std::make_shared<ChipModel>(clockMHz());
    port.decoder().onWord = [model, clockMHz](uint16_t w) { model->post(w, clockMHz()); };
    port.decoder().onFramingError = [model](int bits) { model->postFramingError(bits); };
    return model;
}
