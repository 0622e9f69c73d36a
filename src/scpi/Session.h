#pragma once
// One SCPI client (a connection or a script): runs its lines against the
// instrument and keeps its error queue and status registers. A line holds
// commands separated by ';'; each header resolves from the previous command's
// path, or from the root after a leading ':'. A command error (-1xx) drops the
// rest of the line, as the parser can no longer tell where the next command
// starts. *OPC? and *WAI hold the rest of the line (and the client's later
// lines) until the sweeps and the counted keying running when they were
// parsed have ended; a keying until stopped and a list on bus triggers are
// not waited for.
#include "scpi/CommandTree.h"
#include "scpi/ErrorQueue.h"
#include "scpi/Instrument.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace scpi {

struct LineResult {
    bool replied = false;
    bool held = false;            // waiting: the reply (if any) comes from resume()
    std::string reply;            // the line's query answers joined by ';', without '\n'
    std::vector<Outcome> errors;  // in order; also pushed onto the queue
};

// IEEE 488.2 and SCPI status registers of one client.
struct StatusRegisters {
    enum Esr : uint8_t { OperationComplete = 1, QueryError = 4, DeviceError = 8, ExecutionError = 16,
                         CommandErrorBit = 32, PowerOn = 128 };
    enum Oper : uint16_t { Sweeping = 1 << 3, WaitingForTrigger = 1 << 5, Keying = 1 << 8 };
    enum Ques : uint16_t { PortDropped = 1 << 9, TraceIncomplete = 1 << 10 };
    uint8_t esr = PowerOn;  // a new client's register starts with power-on set
    uint8_t ese = 0, sre = 0;
    uint16_t operEvent = 0, operEnable = 0, quesEvent = 0, quesEnable = 0;
    uint16_t operSeen = 0, quesSeen = 0;  // conditions last seen: events latch their edges
    // Which edges latch: a bit set in PTR latches its rise, in NTR its fall.
    static constexpr uint16_t kPtrDefault = 0x7FFF, kNtrDefault = 0;
    uint16_t operPtr = kPtrDefault, operNtr = kNtrDefault, quesPtr = kPtrDefault, quesNtr = kNtrDefault;
};

class Session {
public:
    explicit Session(Instrument& instrument);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // line: without its '\n'; a '\r' at its end is ignored. Not while held().
    LineResult execute(std::string_view line);
    // Whether a *OPC? or *WAI holds the rest of a line.
    bool held() const { return hold_ != Hold::None; }
    // Whether the hold can end now: resume() then runs the rest of the line.
    bool ready();
    LineResult resume();
    // Drops a held line's rest (a VXI-11 device_clear).
    void abandon();
    // A client beyond loopback: commands that read or write files are refused.
    void setRemote(bool remote) { remote_ = remote; }
    bool remote() const { return remote_; }
    // Called (from a sweep's start or end) when a hold may have become ready.
    void onReady(std::function<void()> f) { onReady_ = std::move(f); }

    // Records an error found outside a line's commands (a line too long).
    void report(Outcome error);
    ErrorQueue& queue() { return queue_; }
    StatusRegisters& status() { return status_; }
    Instrument& instrument() { return instrument_; }

    // For the common commands: the status byte; *OPC, *OPC? and *WAI.
    uint8_t statusByte(bool messageAvailable);
    void updateConditions();
    enum class Hold { None, OpcQuery, Wait };
    void armOperationComplete();
    void hold(Hold kind);
    void clearStatus();

private:
    struct PathStep {
        const Node* node;
        int n;
    };
    LineResult run();
    void resume1();
    // Runs one command; false when the rest of the line must be dropped.
    bool runUnit(std::string_view unit, std::vector<PathStep>& path, LineResult& result);
    void fail(LineResult& result, Outcome error);
    // The end counts the sweeps (0, 1), the counted keying (2) and the counted
    // free-running list (3) running now must reach; 0 for what is not waited for.
    using Targets = std::array<uint64_t, 4>;
    Targets runningTargets();
    bool reached(const Targets& targets);
    uint64_t ended(size_t what);
    void sweepsChanged();

    Instrument& instrument_;
    ErrorQueue queue_;
    StatusRegisters status_;
    int watch_ = 0;
    // A held line: its text, the commands left, the path and what it gave so far.
    std::string line_;
    std::vector<std::string_view> units_;
    size_t next_ = 0;
    std::vector<PathStep> path_;
    LineResult partial_;
    Hold hold_ = Hold::None;
    Targets holdTargets_{}, opcTargets_{};
    bool opcArmed_ = false;
    std::function<void()> onReady_;
    bool remote_ = false;
};

}  // namespace scpi
