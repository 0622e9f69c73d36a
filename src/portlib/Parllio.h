#pragma once
// The port library as the rest of the program sees it: the five calls of the
// printer-port library, going to one back end, and the base address every
// word is sent to. One of these exists per program run; it is built in main
// and handed by reference to whatever writes to the port.
//
// A recursive lock serialises port operations: the sweep thread and the
// window thread never interleave their words, and an operation's writes stay
// together however many threads ask.
#include "portlib/PortBackend.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace portlib {

class Parllio {
public:
    using Sink = std::function<void(const std::string&)>;

    // Lines the port has to say go to `sink` (the program's one stderr line
    // writer), without the program's name: the sink adds it.
    explicit Parllio(Sink sink = {});
    ~Parllio();
    Parllio(const Parllio&) = delete;
    Parllio& operator=(const Parllio&) = delete;

    // Base address of the selected printer port's data register; the control
    // register is at the base + 2. Unsigned: PCIe cards sit above 0x7FFF.
    // Set at start-up and by the port menu, read by every word sent.
    uint16_t portAddress() const;
    void setPortAddress(uint16_t address);

    int32_t GetParallelPortCount();
    int32_t ClaimParallelPort(int32_t port, int32_t flags);
    int32_t GetParallelPortInfo(int32_t port, ParallelPortInfo& info);
    // An address no port owns reads 0xFF, as a floating bus does.
    int32_t InByte(uint16_t address);
    // Writes to an address no port owns are dropped, with one line saying so.
    void OutByte(uint16_t address, int32_t value) {
        std::lock_guard guard(mutex_);  // a word's sender holds it already: no wait
        if (address == lastOwned_) [[likely]] {
            backend_->OutByte(address, value & 0xFF);
            return;
        }
        outByteChecked(address, value);
    }

    // Installs the back end all calls go to; returns the previous one.
    std::unique_ptr<PortBackend> setBackend(std::unique_ptr<PortBackend> backend);
    PortBackend* backend() { return backend_.get(); }
    const PortBackend* backend() const { return backend_.get(); }
    // Buffered trace output goes through (timer, exit paths).
    void flush();
    // Why the trace or waveform stopped short; empty while they are whole.
    std::string recordFailure();
    // Ends the back end: pending writes go out, devices are closed (an adapter
    // goes back to its kernel driver).
    void close() { setBackend(nullptr); }
    // Whether words written to `address` now would be dropped: no back end,
    // an address it does not own, or a device gone (an adapter is reopened
    // by the question).
    bool writesDropped(uint16_t address);
    // Whether words sent to the selected port now reach a device.
    bool writesReach() { return !writesDropped(portAddress()); }

    void say(const std::string& line) const;
    // Whether the user can choose another port (the port menu of the windows);
    // where none can be chosen, dropped writes are not announced as waiting for one.
    void setPortChoosable(bool on) {
        std::lock_guard guard(mutex_);
        choosable_ = on;
    }

    // Held by every operation; the sweep thread takes it for a whole step.
    std::recursive_mutex& lock() { return mutex_; }
    int operationDepth() const;

private:
    friend class OperationScope;
    void outByteChecked(uint16_t address, int32_t value);
    void noteDropped(uint16_t address);
    void begin();
    void end();  // throws PortError when gathered writes cannot be sent

    Sink sink_;
    mutable std::recursive_mutex mutex_;
    // All below guarded by mutex_.
    std::unique_ptr<PortBackend> backend_;
    uint16_t address_ = 0;
    int32_t lastOwned_ = -1;  // the last address the back end was found to own
    bool droppedNoted_ = false;
    bool choosable_ = true;
    int depth_ = 0;
};

// Marks the port writes of one operation (a handler, a sweep step, a start-up
// step): they leave together on a back end that gathers writes, and no other
// thread's writes come between them. Scopes nest; only the end of the
// outermost tells the back end.
class OperationScope {
public:
    explicit OperationScope(Parllio& port);
    // Finishes quietly when finish() was not called: a failure is said on the port's line.
    ~OperationScope();
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;
    // Ends the scope now; throws PortError when the gathered writes cannot be sent.
    void finish();

private:
    Parllio& port_;
    bool open_ = true;
};

}  // namespace portlib
