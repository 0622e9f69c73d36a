#include "portlib/ftdi/FtdiPort.h"

#include "portlib/ftdi/Description.h"

#include <cstdio>

using namespace portlib::ftdi;

namespace {

bool frameRises(uint8_t before, uint8_t now) { return !(before & PinPort::kFrame) && (now & PinPort::kFrame); }

const char kWhatWeDrive[] = "vendor 0x0403, products 0x6001 0x6010 0x6011 0x6014 0x6015";

std::string enumerationFault(const Result& r) {
    return "cannot look for FTDI adapters: USB enumeration failed (" + r.detail + ")";
}

}  // namespace

FtdiPort::FtdiPort(std::unique_ptr<Api> api, std::string description, int writesPerSecond)
    : api_(std::move(api)), wanted_(std::move(description)), rate_(writesPerSecond) {}

FtdiPort::~FtdiPort() {
    sendQuietly();
    if (open_) api_->close();
}

std::string FtdiPort::selector(const Device& d) {
    return d.serial.empty() ? busDescription(d) : "s:" + ids(d) + ":" + d.serial;
}

std::string FtdiPort::busDescription(const Device& d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "d:%03d/%03d", d.bus, d.address);
    return buf;
}

std::string FtdiPort::name(const Device& d) {
    return d.serial.empty() ? productName(d.product) + " " + busDescription(d) + " at USB port " + usbPath(d)
                            : selector(d);
}

StatusLine FtdiPort::statusLine(uint16_t address) {
    if (lost_) return {"FTDI adapter unplugged: words are dropped", true};
    if (!ownsAddress(address)) return PortBackend::statusLine(address);
    std::string rate = std::to_string(rate_);
    for (int i = static_cast<int>(rate.size()) - 3; i > 0; i -= 3) rate.insert(static_cast<size_t>(i), ",");
    return {"FTDI " + portlib::ftdi::productName(device_.product) + " " + selector(device_) + " at " + rate +
            " writes/s"};
}

std::string FtdiPort::describe() const {
    if (open_ || lost_) return "FTDI adapter " + name(device_);
    return "FTDI adapter " + (wanted_.empty() ? std::string("(the one attached)") : wanted_);
}

bool FtdiPort::chooseDevice(Device& chosen) {
    const Parsed parsed = parseDescription(wanted_);
    if (!parsed.description) {
        say(faultText({Status::BadDescription, parsed.problem}, wanted_));
        return false;
    }
    const Listing listing = api_->list();
    if (!listing.result.ok()) {
        say(enumerationFault(listing.result));
        return false;
    }
    const Choice c = choose(*parsed.description, listing.devices);
    switch (c.status) {
    case Status::Ok:
        chosen = *c.device;
        return true;
    case Status::Several: {
        std::string list;
        for (const Device* d : c.candidates) list += " " + selector(*d);
        say("" + std::to_string(c.candidates.size()) +
                            " FTDI adapters found, so none was opened; start again with --port ftdi:DESCRIPTION "
                            "naming one of:" + list);
        return false;
    }
    case Status::NotFtdi:
        say("USB device '" + wanted_ + "' is " + ids(*c.device) +
                            ", not an FTDI adapter (" + kWhatWeDrive + "); it was left alone");
        return false;
    default:
        if (wanted_.empty())
            say(std::string("no FTDI adapter found (looked for USB ") + kWhatWeDrive +
                                "); plug one in and start again, or name one with --port ftdi:DESCRIPTION");
        else
            say(faultText({Status::NotFound, {}}, wanted_));
        return false;
    }
}

Result FtdiPort::start(const Device& device) {
    Result r = api_->open(device);
    if (!r.ok()) return r;
    device_ = device;
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
        return "bad FTDI description '" + description + "' (" + r.detail + "; " + kGrammar + ")";
    case Status::NotFtdi:
        return "USB device '" + description + "' is now " + r.detail + ", not an FTDI adapter (" +
               kWhatWeDrive + "); it was left alone";
    case Status::EnumerationFailed:
        return enumerationFault(r);
    default:
        return "cannot use " + what + ": " + r.detail;
    }
}

bool FtdiPort::openPins() {
    Device chosen;
    if (!chooseDevice(chosen)) return false;
    const std::string description = wanted_.empty() ? selector(chosen) : wanted_;
    const Result r = start(chosen);
    if (!r.ok()) {
        say(faultText(r, description));
        return false;
    }
    std::string line = "using FTDI adapter " + name(device_) + " at " + std::to_string(rate_) +
                       " writes a second";
    if (!device_.tty.empty()) line += "; " + device_.tty + " is gone until the program ends";
    say(line);
    return true;
}

void FtdiPort::reopen() {
    const std::string was = name(device_);
    const Listing listing = api_->list();
    if (!listing.result.ok()) throw PortError(enumerationFault(listing.result));
    const Device* back = sameAdapter(device_, listing.devices);
    if (!back)
        throw PortError("FTDI adapter " + was + " is not attached; plug it back in" +
                        (device_.serial.empty() ? " (into the same USB port: it has no serial number)" : "") +
                        " and repeat the action");
    const Device found = *back;
    const Result r = start(found);
    if (!r.ok()) throw PortError(faultText(r, selector(found)));
    lost_ = false;
    if (!reopenHook_) {
        say("FTDI adapter " + was + " is back; reopened it");
        return;
    }
    // The state's words wait in pending_ for the action's and leave with them.
    resending_ = true;
    try {
        reopenHook_();
    } catch (...) {
        resending_ = false;
        throw;
    }
    resending_ = false;
    say("FTDI adapter " + was + " is back; reopened it and sent the chip's state again");
}

void FtdiPort::drive(uint8_t data) {
    if (lost_) reopen();
    pending_.push_back(data);
    const bool wordEnds = frameRises(last_, data);
    last_ = data;
    if (wordEnds && !resending_ && !inOperation_) send();
}

void FtdiPort::send() {
    if (pending_.empty() || !open_) return;
    const Result r = api_->write(pending_.data(), pending_.size());
    pending_.clear();
    if (r.ok()) return;
    api_->close();
    open_ = false;
    lost_ = true;
    throw PortError("FTDI adapter " + name(device_) + " stopped answering (" + r.detail +
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


double FtdiPort::wordsPerSecond() const {
    // FT232H and FT4232H are high-speed; FT2232 may be either, so it is taken at the slower.
    const bool highSpeed = device_.product == 0x6014 || device_.product == 0x6011;
    const double transfer = highSpeed ? 125e-6 : 1e-3;
    return 1 / (52.0 / rate_ + transfer);
}
