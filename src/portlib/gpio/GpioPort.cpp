#include "portlib/gpio/GpioPort.h"


#include <cerrno>
#include <cstring>

using namespace portlib::gpio;

namespace {

std::optional<unsigned> offsetFrom(const std::string& text) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    unsigned v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    return v;
}

bool noAccess(int error) { return error == EACCES || error == EPERM; }

std::string accessHint(const std::string& what, int error) {
    return "no permission to use " + what + " (" + std::strerror(error) +
           "); join group gpio (sudo adduser $USER gpio, then log in again) or install a udev rule for "
           "/dev/gpiochip* (README, GPIO header)";
}

}  // namespace

std::optional<GpioWiring> parseGpioWiring(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    GpioWiring w;
    w.chip = text.substr(0, colon);
    const std::string list = text.substr(colon + 1) + ",";
    size_t start = 0;
    for (unsigned& offset : w.offsets) {
        const auto comma = list.find(',', start);
        if (comma == std::string::npos) return std::nullopt;
        const auto v = offsetFrom(list.substr(start, comma - start));
        if (!v) return std::nullopt;
        offset = *v;
        start = comma + 1;
    }
    if (start != list.size()) return std::nullopt;
    const auto& o = w.offsets;
    if (o[0] == o[1] || o[0] == o[2] || o[1] == o[2]) return std::nullopt;
    return w;
}

GpioPort::GpioPort(std::unique_ptr<Api> api, GpioWiring wiring) : api_(std::move(api)), wiring_(std::move(wiring)) {}

GpioPort::~GpioPort() { api_->close(); }

std::string GpioPort::lines() const {
    const auto& o = wiring_.offsets;
    return std::to_string(o[0]) + "," + std::to_string(o[1]) + "," + std::to_string(o[2]);
}

std::string GpioPort::describe() const { return "GPIO " + wiring_.chip + " lines " + lines(); }

StatusLine GpioPort::statusLine(uint16_t address) {
    if (!ownsAddress(address)) return PortBackend::statusLine(address);
    const auto& o = wiring_.offsets;
    return {"GPIO " + wiring_.chip + " lines " + std::to_string(o[0]) + ", " + std::to_string(o[1]) + ", " +
            std::to_string(o[2]) + " (clock, data, frame)"};
}

std::string GpioPort::instrumentName() const {
    const auto& o = wiring_.offsets;
    std::string chip = wiring_.chip;
    for (char& c : chip)
        if (c == ' ') c = '_';  // one field per word
    return "GPIO " + chip + " " + std::to_string(o[0]) + " " + std::to_string(o[1]) + " " + std::to_string(o[2]);
}

std::string GpioPort::requestFault(int error) {
    const std::string chip = api_->chipName();
    if (noAccess(error)) return accessHint("GPIO chip '" + chip + "'", error);
    if (error != EBUSY) return "cannot request GPIO lines " + lines() + " of " + chip + ": " + std::strerror(error);
    for (unsigned offset : wiring_.offsets) {
        const std::string holder = api_->consumer(offset);
        if (!holder.empty())
            return "GPIO line " + std::to_string(offset) + " of " + chip + " is busy, used by \"" + holder +
                   "\"; free it or choose other lines, then start again";
    }
    return "GPIO lines " + lines() + " of " + chip +
           " are busy, held by another program or driver; free them or choose other lines, then start again";
}

bool GpioPort::openPins() {
    if (const int error = api_->openChip(wiring_.chip)) {
        if (noAccess(error))
            say(accessHint("GPIO chip '" + wiring_.chip + "'", error));
        else if (error == ENOENT || error == ENODEV || error == ENOTTY)
            say("no GPIO chip '" + wiring_.chip +
                                "' (looked for it as a name, path, label and number); gpiodetect or "
                                "ls /dev/gpiochip* lists the chips");
        else
            say("cannot open GPIO chip '" + wiring_.chip + "': " + std::strerror(error));
        return false;
    }
    const unsigned count = api_->lineCount();
    for (unsigned offset : wiring_.offsets) {
        if (offset < count) continue;
        const std::string range = count ? " (0 to " + std::to_string(count - 1) + ")" : "";
        say("GPIO line " + std::to_string(offset) + " is out of range: " + api_->chipName() +
                            " has " + std::to_string(count) + " lines" + range);
        api_->close();
        return false;
    }
    // Clock low, data low, frame high: the idle level.
    if (const int error = api_->requestOutputs(wiring_.offsets, {0, 0, 1}, kConsumer)) {
        say(requestFault(error));
        api_->close();
        return false;
    }
    say("using GPIO " + api_->chipName() + " lines " + lines() + " (clock, data, frame)");
    return true;
}

void GpioPort::drive(uint8_t data) {
    const Levels levels{data & kClock ? 1 : 0, data & kData ? 1 : 0, data & kFrame ? 1 : 0};
    if (const int error = api_->setLevels(levels))
        throw PortError("GPIO lines " + lines() + " of " + wiring_.chip + " could not be set: " +
                        std::strerror(error));
}
