#include "portlib/Parllio.h"

#include <cstdio>

namespace portlib {

namespace detail {
PortBackend* active = nullptr;
int32_t lastOwned = -1;
}  // namespace detail

namespace {

std::unique_ptr<PortBackend> g_backend;
bool g_droppedNoted = false;
int g_depth = 0;
std::function<void(const std::string&)> g_sink;

PortBackend& backend() {
    if (!g_backend) throw PortError("no port back end is active");
    return *g_backend;
}

void noteDropped(uint16_t address) {
    if (g_droppedNoted) return;
    g_droppedNoted = true;
    char buf[160];
    std::snprintf(buf, sizeof buf,
                  "qz4471: no printer port at I/O 0x%04X; port writes are dropped until a port is chosen",
                  address);
    diagnostic(buf);
}

}  // namespace

std::unique_ptr<PortBackend> setActiveBackend(std::unique_ptr<PortBackend> b) {
    std::swap(g_backend, b);
    detail::active = g_backend.get();
    detail::lastOwned = -1;
    g_droppedNoted = false;
    return b;
}

PortBackend* activeBackend() { return g_backend.get(); }

void flushActive() {
    if (g_backend) g_backend->flush();
}

bool writesDropped(uint16_t address) {
    return !g_backend || !g_backend->ownsAddress(address) || !g_backend->reachable();
}

void closeActive() { setActiveBackend(nullptr); }

void operationDone() {
    if (g_backend) g_backend->operationDone();
}

OperationScope::OperationScope() { ++g_depth; }

OperationScope::~OperationScope() {
    if (!open_) return;
    try {
        finish();
    } catch (const std::exception& e) {
        diagnostic(e.what());
    }
}

void OperationScope::finish() {
    if (!open_) return;
    open_ = false;
    if (--g_depth == 0) operationDone();
}

int operationDepth() { return g_depth; }

void setDiagnosticSink(std::function<void(const std::string&)> sink) { g_sink = std::move(sink); }

void diagnostic(const std::string& line) {
    if (g_sink) g_sink(line);
    else std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace portlib

using portlib::backend;

int32_t GetParallelPortCount() { return backend().GetParallelPortCount(); }
int32_t ClaimParallelPort(int32_t port, int32_t flags) {
    portlib::detail::lastOwned = -1;
    return backend().ClaimParallelPort(port, flags);
}
int32_t GetParallelPortInfo(int32_t port, ParallelPortInfo& info) { return backend().GetParallelPortInfo(port, info); }

int32_t InByte(uint16_t address) {
    PortBackend& b = backend();
    if (!b.ownsAddress(address)) {
        portlib::noteDropped(address);
        return 0xFF;  // what a floating bus reads
    }
    return b.InByte(address) & 0xFF;
}

void portlib::detail::outByteChecked(uint16_t address, int32_t value) {
    PortBackend& b = backend();
    if (!b.ownsAddress(address)) {
        portlib::noteDropped(address);
        return;
    }
    lastOwned = address;
    b.OutByte(address, value & 0xFF);
}
