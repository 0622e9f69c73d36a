#include "portlib/Parllio.h"

#include <cstdio>

namespace portlib {

Parllio::Parllio(Sink sink) : sink_(std::move(sink)) {}

Parllio::~Parllio() { close(); }

void Parllio::say(const std::string& line) const {
    if (sink_) sink_(line);
    else std::fprintf(stderr, "%s\n", line.c_str());
}

std::unique_ptr<PortBackend> Parllio::setBackend(std::unique_ptr<PortBackend> b) {
    std::lock_guard guard(mutex_);
    std::swap(backend_, b);
    if (backend_) backend_->setSink([this](const std::string& line) { say(line); });
    lastOwned_ = -1;
    droppedNoted_ = false;
    return b;
}

uint16_t Parllio::portAddress() const {
    std::lock_guard guard(mutex_);
    return address_;
}

void Parllio::setPortAddress(uint16_t address) {
    std::lock_guard guard(mutex_);
    address_ = address;
}

int Parllio::operationDepth() const {
    std::lock_guard guard(mutex_);
    return depth_;
}

std::string Parllio::recordFailure() {
    std::lock_guard guard(mutex_);
    return backend_ ? backend_->recordFailure() : std::string();
}

void Parllio::flush() {
    std::lock_guard guard(mutex_);
    if (backend_) backend_->flush();
}

bool Parllio::writesDropped(uint16_t address) {
    std::lock_guard guard(mutex_);
    return !backend_ || !backend_->ownsAddress(address) || !backend_->reachable();
}

int32_t Parllio::GetParallelPortCount() {
    std::lock_guard guard(mutex_);
    return backend_ ? backend_->GetParallelPortCount() : 0;
}

int32_t Parllio::ClaimParallelPort(int32_t port, int32_t flags) {
    std::lock_guard guard(mutex_);
    lastOwned_ = -1;
    return backend_ ? backend_->ClaimParallelPort(port, flags) : 0;
}

int32_t Parllio::GetParallelPortInfo(int32_t port, ParallelPortInfo& info) {
    std::lock_guard guard(mutex_);
    return backend_ ? backend_->GetParallelPortInfo(port, info) : 0;
}

int32_t Parllio::InByte(uint16_t address) {
    std::lock_guard guard(mutex_);
    if (!backend_ || !backend_->ownsAddress(address)) {
        noteDropped(address);
        return 0xFF;
    }
    return backend_->InByte(address) & 0xFF;
}

void Parllio::outByteChecked(uint16_t address, int32_t value) {
    if (!backend_ || !backend_->ownsAddress(address)) {
        noteDropped(address);
        return;
    }
    lastOwned_ = address;
    backend_->OutByte(address, value & 0xFF);
}

void Parllio::noteDropped(uint16_t address) {
    if (droppedNoted_ || !choosable_) return;
    droppedNoted_ = true;
    char buf[96];
    std::snprintf(buf, sizeof buf, "no printer port at I/O 0x%04X; port writes are dropped until a port is chosen",
                  address);
    say(backend_ ? backend_->describe() + ": " + buf : std::string(buf));
}

void Parllio::begin() {
    mutex_.lock();
    if (depth_++ == 0 && backend_) backend_->operationStarted();
}

void Parllio::end() {
    struct Unlock {
        std::recursive_mutex& m;
        ~Unlock() { m.unlock(); }
    } unlock{mutex_};
    if (--depth_ == 0 && backend_) backend_->operationDone();
}

OperationScope::OperationScope(Parllio& port) : port_(port) { port_.begin(); }

OperationScope::~OperationScope() {
    if (!open_) return;
    try {
        finish();
    } catch (const std::exception& e) {
        port_.say(e.what());
    }
}

void OperationScope::finish() {
    if (!open_) return;
    open_ = false;
    port_.end();
}

}  // namespace portlib
