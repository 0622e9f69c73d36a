#include "portlib/VcdPort.h"

#include "portlib/Wire.h"

#include <cstdio>

namespace {
using wire::kClock, wire::kData, wire::kFrame;
using wire::kIdle;
// One printable identifier per wire, in bit order.
constexpr char kIds[3] = {'c', 'd', 'f'};

const char kHeader[] =
    "$version qz4471 $end\n"
    "$timescale 1 ns $end\n"
    "$scope module port $end\n"
    "$var wire 1 c clk $end\n"
    "$var wire 1 d data $end\n"
    "$var wire 1 f frame $end\n"
    "$upscope $end\n"
    "$enddefinitions $end\n"
    "#0\n"
    "$dumpvars\n"
    "0c\n"
    "0d\n"
    "1f\n"
    "$end\n";
}  // namespace

VcdPort::VcdPort(std::unique_ptr<PortBackend> inner, const std::string& path, portlib::Clock clock)
    : PortBackendDecorator(std::move(inner)), clock_(std::move(clock)), file_(path), lines_(kIdle) {
    file_.append(kHeader);
    file_.flushAt(clock_());
}

VcdPort::~VcdPort() = default;  // the file flushes itself

void VcdPort::OutByte(uint16_t address, int32_t value) {
    PortBackendDecorator::OutByte(address, value);
    if (isDataRegister(address)) record(static_cast<uint8_t>(value & (kClock | kData | kFrame)));
}

void VcdPort::flush() {
    file_.flushAt(clock_());
    PortBackendDecorator::flush();
}

std::string VcdPort::recordFailure() const {
    if (file_.failure().empty()) return PortBackendDecorator::recordFailure();
    return "waveform incomplete: " + file_.failure();
}

std::string VcdPort::describe() const { return PortBackendDecorator::describe() + ", waveform to " + file_.path(); }

// A port's registers are consecutive owned addresses; the data register is the first.
bool VcdPort::isDataRegister(uint16_t address) const {
    return ownsAddress(address) && !ownsAddress(static_cast<uint16_t>(address - 1));
}

void VcdPort::record(uint8_t lines) {
    const auto now = clock_();
    if (!started_) {
        started_ = true;
        origin_ = now - kLeadIn;
    }
    // Writes can come faster than the clock ticks; keep each at its own time.
    long long stamp = (now - origin_).count();
    if (stamp <= lastStamp_) stamp = lastStamp_ + 1;
    lastStamp_ = stamp;

    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "#%lld\n", stamp);
    const uint8_t changed = lines ^ lines_;
    for (int bit = 0; bit < 3; ++bit) {
        if (!(changed & (1u << bit))) continue;
        buf[n++] = (lines & (1u << bit)) ? '1' : '0';
        buf[n++] = kIds[bit];
        buf[n++] = '\n';
    }
    lines_ = lines;
    file_.append(std::string_view(buf, static_cast<size_t>(n)));
    file_.flushIfDue(now);
}
