#include "support/FakePins.h"

#include "portlib/ftdi/FtdiPort.h"

#include <cstdio>

using namespace portlib::ftdi;

std::vector<uint8_t> FakeFtdiState::pins() const {
    std::vector<uint8_t> all;
    for (const auto& t : transfers) all.insert(all.end(), t.begin(), t.end());
    return all;
}

Listing FakeFtdi::list() {
    if (!s_->listResult.ok()) return {s_->listResult, {}};
    if (s_->unplugged) return {};
    return {{}, s_->attached};
}

Result FakeFtdi::open(const Device& device) {
    s_->calls.push_back("open " + FtdiPort::busDescription(device));
    if (!s_->openResult.ok()) return s_->openResult;
    if (!s_->unplugged) {
        for (const Device& d : s_->attached) {
            if (d.bus == device.bus && d.address == device.address) {
                open_ = true;
                return {};
            }
        }
    }
    return {Status::NotFound, "device not found"};
}

Result FakeFtdi::setBitBang(uint8_t outputMask) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "bitbang 0x%02x", outputMask);
    s_->calls.push_back(buf);
    return s_->bitBangResult;
}

Result FakeFtdi::setWriteRate(int writesPerSecond) {
    s_->calls.push_back("rate " + std::to_string(writesPerSecond));
    return s_->rateResult;
}

Result FakeFtdi::write(const uint8_t* bytes, std::size_t count) {
    if (s_->unplugged || !open_) return {Status::Failed, "LIBUSB_ERROR_NO_DEVICE"};
    ++s_->transferCount;
    if (s_->onWrite) s_->onWrite(bytes, count);
    if (s_->keepTransfers) {
        s_->calls.push_back("write " + std::to_string(count));
        s_->transfers.emplace_back(bytes, bytes + count);
    }
    return {};
}

void FakeFtdi::close() {
    if (!open_) return;
    open_ = false;
    s_->calls.push_back("close");
}

int FakeGpio::openChip(const std::string& chip) {
    s_->openedChip = chip;
    return s_->openError;
}

int FakeGpio::requestOutputs(const portlib::gpio::Offsets& offsets, const portlib::gpio::Levels& levels,
                             const char* consumer) {
    if (s_->requestError) return s_->requestError;
    s_->requested = offsets;
    s_->initial = levels;
    s_->consumer = consumer;
    return 0;
}

int FakeGpio::setLevels(const portlib::gpio::Levels& levels) {
    if (s_->setError) return s_->setError;
    ++s_->sets;
    if (s_->keepPins) s_->pins.push_back(static_cast<uint8_t>(levels[0] | levels[1] << 1 | levels[2] << 2));
    return 0;
}
