#include "portlib/TracePort.h"


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

std::string TracePort::recordFailure() const {
    if (file_.failure().empty()) return PortBackendDecorator::recordFailure();
    return "trace incomplete: " + file_.failure();
}

std::string TracePort::describe() const { return PortBackendDecorator::describe() + ", traced to " + file_.path(); }

namespace {
constexpr char kHex[] = "0123456789ABCDEF";

// Digits of v into the end of [.., end), at least minDigits; returns the start.
char* digitsBackwards(char* end, unsigned long long v, int minDigits) {
    do {
        *--end = static_cast<char>('0' + v % 10);
        v /= 10;
        --minDigits;
    } while (v != 0 || minDigits > 0);
    return end;
}
}  // namespace

// Hand-formatted: this runs for every port write while tracing.
void TracePort::line(const char* kind, uint16_t address, int32_t value) {
    const auto now = clock_();
    const unsigned long long ns = static_cast<unsigned long long>(now.count());
    char buf[64];
    char* frac = buf + 32;
    char* p = digitsBackwards(frac, ns % 1000000000, 9);
    *--p = '.';
    p = digitsBackwards(p, ns / 1000000000, 1);
    char* q = frac;
    *q++ = ' ';
    while (*kind) *q++ = *kind++;
    *q++ = ' ';
    *q++ = '0';
    *q++ = 'x';
    for (int shift = 12; shift >= 0; shift -= 4) *q++ = kHex[(address >> shift) & 0xF];
    *q++ = ' ';
    *q++ = '0';
    *q++ = 'x';
    *q++ = kHex[(value >> 4) & 0xF];
    *q++ = kHex[value & 0xF];
    *q++ = '\n';
    file_.append(std::string_view(p, static_cast<size_t>(q - p)));
    file_.flushIfDue(now);
}
