#include "portlib/ftdi/FtdiPort.h"


#include <cstdio>

using namespace portlib::ftdi;

namespace {

std::string hex4(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04x", v & 0xFFFF);
    return buf;
}

bool frameRises(uint8_t before, uint8_t now) { return !(before & PinPort::kFrame) && (now & PinPort::kFrame); }

}  // namespace

FtdiPort::FtdiPort(std::unique_ptr<Api> api, std::string description, int writesPerSecond)
    : api_(std::move(api)), wanted_(std::move(description)), rate_(writesPerSecond) {}

FtdiPort::~FtdiPort() {
    sendQuietly();
    if (open_) api_->close();
}

std::string FtdiPort::serialDescription(const Device& d) {
    const std::string ids = hex4(kVendor) + ":" + hex4(d.product);
    return d.serial.empty() ? "i:" + ids : "s:" + ids + ":" + d.serial;
}

std::string FtdiPort::busDescription(const Device& d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "d:%03d/%03d", d.bus, d.address);
    return buf;
}

std::string FtdiPort::describe() const {
    if (open_ || lost_) return "FTDI adapter " + serialDescription(device_);
    return "FTDI adapter " + (wanted_.empty() ? std::string("(the one attached)") : wanted_);
}

// The serial number, or where it sits on the bus when it has none.
std::string FtdiPort::instrumentName() const {
    if (!open_ && !lost_) return "FTDI " + (wanted_.empty() ? std::string("(none opened)") : wanted_);
    return "FTDI " + (device_.serial.empty() ? busDescription(device_).substr(2) : device_.serial);
}

bool FtdiPort::reachable() {
    if (!claimed()) return false;
    if (lost_) {
        try {
            reopen();
        } catch (const PortError&) {
            return false;
        }
    }
    return open_;
}

std::string FtdiPort::chooseDevice() {
    std::vector<Device> all;
    for (int product : kProducts)
        for (Device& d : api_->find(product)) all.push_back(std::move(d));
    if (all.empty()) {
        say("no FTDI adapter found (looked for USB vendor 0x0403, products 0x6001 0x6010 "
                            "0x6011 0x6014 0x6015); plug one in and start again, or name one with --port "
                            "ftdi:DESCRIPTION");
        return {};
    }
    if (all.size() > 1) {
        std::string list;
        for (const Device& d : all) list += " " + (d.serial.empty() ? busDescription(d) : serialDescription(d));
        say(std::to_string(all.size()) +
                            " FTDI adapters found, so none was opened; start again with --port ftdi:DESCRIPTION "
                            "naming one of:" + list);
        return {};
    }
    return busDescription(all.front());
}

Result FtdiPort::start(const std::string& description) {
    Result r = api_->open(description);
    if (!r.ok()) return r;
    device_ = api_->opened();
    r = api_->setBitBang(kOutputs);
    if (!r.ok()) {
        r.detail = "bit-bang mode refused: " + r.detail;
    } else {
        // The new outputs come up low, frame included: raise the frame at once.
        const uint8_t idle = kIdle;
        r = api_->write(&idle, 1);
        if (r.ok()) {
            r = api_->setWriteRate(rate_);
            if (!r.ok())
                r.detail = "it cannot run at " + std::to_string(rate_) + " writes a second (" + r.detail +
                           "); choose another --ftdi-rate";
        }
    }
    if (!r.ok()) {
        r.status = Status::Failed;
        api_->close();
        return r;
    }
    open_ = true;
    last_ = kIdle;
    return r;
}

std::string FtdiPort::faultText(const Result& r, const std::string& description) const {
    const std::string what = "FTDI adapter '" + description + "'";
    switch (r.status) {
    case Status::NotFound:
        return "no " + what + " is attached (lsusb lists devices as VENDOR:PRODUCT); plug it in and start again";
    case Status::NoAccess:
        return "no permission to open " + what + " (" + r.detail +
               "); install the udev rule (README, USB adapters) and plug the adapter in again";
    case Status::Busy:
        return "" + what + " is held by another program (" + r.detail + "); close that program and start again";
    case Status::BadDescription:
        return "bad FTDI description '" + description +
               "' (i:VENDOR:PRODUCT[:INDEX], s:VENDOR:PRODUCT:SERIAL or d:BUS/DEV)";
    default:
        return "cannot use " + what + ": " + r.detail;
    }
}

bool FtdiPort::openPins() {
    const std::string description = wanted_.empty() ? chooseDevice() : wanted_;
    if (description.empty()) return false;
    const Result r = start(description);
    if (!r.ok()) {
        say(faultText(r, description));
        return false;
    }
    say("using FTDI adapter " + serialDescription(device_) + " at " + std::to_string(rate_) +
                        " writes a second");
    return true;
}

void FtdiPort::reopen() {
    const std::string description = serialDescription(device_);
    const Result r = start(description);
    if (!r.ok()) {
        if (r.status == Status::NotFound)
            throw PortError("FTDI adapter " + description +
                            " is not attached; plug it back in and repeat the action");
        throw PortError(faultText(r, description));
    }
    lost_ = false;
    say("FTDI adapter " + description + " is back; reopened it");
}

void FtdiPort::drive(uint8_t data) {
    if (lost_) reopen();
    pending_.push_back(data);
    const bool wordEnds = frameRises(last_, data);
    last_ = data;
    if (wordEnds && !inOperation_) send();
}

void FtdiPort::send() {
    if (pending_.empty() || !open_) return;
    const Result r = api_->write(pending_.data(), pending_.size());
    pending_.clear();
    if (r.ok()) return;
    api_->close();
    open_ = false;
    lost_ = true;
    throw PortError("FTDI adapter " + serialDescription(device_) + " stopped answering (" + r.detail +
                    "); plug it back in and repeat the action");
}

void FtdiPort::flush() {
    // A timer may fire inside an operation (a message box): its writes wait for its end.
    if (!inOperation_) sendQuietly();
}

void FtdiPort::sendQuietly() {
    try {
        send();
    } catch (const PortError& e) {
        say(e.what());
    }
}
