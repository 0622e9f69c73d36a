#pragma once
// The port library as the rest of the program sees it: five calls that go to
// the active back end. Writes to addresses no port owns are dropped here.
#include "portlib/PortBackend.h"

#include <functional>

int32_t GetParallelPortCount();
int32_t ClaimParallelPort(int32_t port, int32_t flags);
int32_t GetParallelPortInfo(int32_t port, ParallelPortInfo& info);
int32_t InByte(uint16_t address);
inline void OutByte(uint16_t address, int32_t value);

namespace portlib {

// Installs the back end all calls go to; returns the previous one.
std::unique_ptr<PortBackend> setActiveBackend(std::unique_ptr<PortBackend> backend);
PortBackend* activeBackend();
// Flushes trace output of the active back end (timer, exit paths).
void flushActive();
// Where the one-time "writes are dropped" note goes (stderr by default).
void setDiagnosticSink(std::function<void(const std::string&)> sink);
void diagnostic(const std::string& line);
// Ends the active back end: pending writes go out, devices are closed (an
// adapter goes back to its kernel driver). For the program's exit hooks.
void closeActive();

// Whether words written to `address` now would be dropped: no back end, no
// port owning the address, or an adapter that is gone and cannot be reopened.
bool writesDropped(uint16_t address);

// Tells the active back end that an operation's writes are complete; throws
// PortError when gathered writes cannot be sent. OperationScope calls it.
void operationDone();

// Marks the port writes of one operation (a handler, a sweep tick, a start-up
// step), so a back end that gathers writes sends them together. Scopes nest:
// only the end of the outermost one calls operationDone().
class OperationScope {
public:
    OperationScope();
    // Finishes quietly when finish() was not called: a failure goes to diagnostic().
    ~OperationScope();
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;
    // Ends the scope now; throws PortError when the gathered writes cannot be sent.
    void finish();

private:
    bool open_ = true;
};
// Open scopes; 0 outside any operation.
int operationDepth();

}  // namespace portlib

namespace portlib::detail {
// The active back end and the last address it was found to own. Ownership
// only changes with a claim or a new back end, both of which clear this.
extern PortBackend* active;
extern int32_t lastOwned;  // -1: none
void outByteChecked(uint16_t address, int32_t value);
}  // namespace portlib::detail

// Inline so a word's 52 writes to one address skip the ownership question.
inline void OutByte(uint16_t address, int32_t value) {
    if (address == portlib::detail::lastOwned) [[likely]] {
        portlib::detail::active->OutByte(address, value & 0xFF);
        return;
    }
    portlib::detail::outByteChecked(address, value);
}
