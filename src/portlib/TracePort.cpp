#include "portlib/TracePort.h"

#include <cstdio>

TracePort::TracePort(std::unique_ptr<PortBackend> inner, const std::string& path)
    : TracePort(std::move(inner), path, portlib::sinceProgramStart) {}

TracePort::TracePort(std::unique_ptr<PortBackend> inner, const std::string& path, portlib::Clock clock)
    : PortBackendDecorator(std::move(inner)), clock_(std::move(clock)), file_(path) {
    file_.flushAt(clock_());  // the flush interval runs from here
}

TracePort::~TracePort() = default;  // the file flushes itself

int32_t TracePort::InByte(uint16_t address) {
    const int32_t v = PortBackendDecorator::InByte(address);
    line("IN", address, v);
    return v;
}

void TracePort::OutByte(uint16_t address, int32_t value) {
    PortBackendDecorator::OutByte(address, value);
    line("OUT", address, value);
}

void TracePort::flush() {
    file_.flushAt(clock_());
    PortBackendDecorator::flush();
}

std::string TracePort::describe() const { return PortBackendDecorator::describe() + ", traced to " + file_.path(); }

void TracePort::line(const char* kind, uint16_t address, int32_t value) {
    const auto now = clock_();
    const long long ns = now.count();
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%lld.%09lld %s 0x%04X 0x%02X\n", ns / 1000000000, ns % 1000000000,
                                kind, static_cast<unsigned>(address), static_cast<unsigned>(value & 0xFF));
    file_.append(std::string_view(buf, static_cast<size_t>(n)));
    file_.flushIfDue(now);
}
