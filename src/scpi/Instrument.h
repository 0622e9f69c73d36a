#pragma once
// What the SCPI commands drive. One method per command; values arrive parsed
// and checked for form (register numbers in range, finite numbers, words that
// fit), so an implementation checks only what depends on the chip state.
// Every action returns an Outcome: a refused or failed action lands in the
// asker's error queue and sends no reply.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scpi {

// Standard SCPI error numbers; 0 is "No error".
enum ErrorCode : int {
    NoError = 0,
    CommandError = -100,
    InvalidCharacter = -101,
    SyntaxError = -102,
    DataTypeError = -104,
    ParameterNotAllowed = -108,
    MissingParameter = -109,
    UndefinedHeader = -113,
    HeaderSuffixOutOfRange = -114,
    InvalidSuffix = -131,
    TriggerIgnored = -211,
    InitIgnored = -213,
    SettingsConflict = -221,
    DataOutOfRange = -222,
    TooMuchData = -223,
    IllegalParameterValue = -224,
    HardwareError = -240,
    HardwareMissing = -241,
    MassStorageError = -250,
    FileNameNotFound = -256,
    FileNameError = -257,
    QueueOverflow = -350,
    InputBufferOverrun = -363,
    QueryInterrupted = -410,
};

// The standard text of a code: "Data out of range" for -222.
std::string_view errorText(int code);

struct Outcome {
    int code = NoError;
    std::string text;  // the standard text, then ";detail" when there is one

    bool ok() const { return code == NoError; }
    static Outcome success() { return {}; }
    // error(-221, "SELSRC is 0") is -221,"Settings conflict;SELSRC is 0".
    static Outcome error(int code, std::string_view detail = {});
    // hardware("port write failed") is -240,"Hardware error;port write failed".
    static Outcome hardware(std::string_view whatFailed) { return error(HardwareError, whatFailed); }
};

enum class ControlBit { Sync, Selsrc, Sleep, Reset };

// A sweep group's fields: Start, Stop and Step in Hz, Loops a count, Delay in
// ms, Points a log sweep's count.
enum class SweepField { Start, Stop, Step, Loops, Delay, Points };

// FSK keys FREQ0/FREQ1, BPSK PHASE0/PHASE1, QPSK PHASE0..PHASE3.
enum class KeyingType { FSK, BPSK, QPSK };

class Instrument {
public:
    virtual ~Instrument() = default;

    struct Identity {
        std::string maker;    // as in the About box
        std::string backend;  // the port back end in use
        std::string version;  // the program version
    };
    virtual Identity identity() = 0;  // *IDN?
    // *RST: stop both sweeps and a keying, their settings back to the
    // defaults, then Initialise.
    virtual Outcome reset() = 0;
    virtual Outcome initialise() = 0;  // INITialise

    // reg 0..1. setFrequency: committing Freq <reg> with hz (any finite value,
    // clamped as the field clamps). setFrequencyWord: loading that tuning word.
    virtual Outcome setFrequency(int reg, double hz) = 0;
    virtual Outcome setFrequencyWord(int reg, uint32_t word) = 0;
    virtual uint32_t frequencyWord(int reg) = 0;  // the word last loaded
    virtual double frequencyClock(int reg) = 0;   // master clock (Hz) used at that load

    // reg 0..3; value any finite number, converted as the phase field converts
    // it (a value outside -32768..32767 is -222).
    virtual Outcome setPhase(int reg, double value) = 0;
    virtual uint16_t phase(int reg) = 0;  // the 12-bit value last loaded

    virtual Outcome setClock(double hz) = 0;  // committing the master clock field
    virtual double clock() = 0;               // the master clock last committed, Hz

    // The toggle or option that reaches `on`; its word goes out even when the
    // state does not change.
    virtual Outcome setControl(ControlBit bit, bool on) = 0;
    virtual bool control(ControlBit bit) = 0;
    virtual Outcome clear() = 0;  // CONTrol:CLEar, the "&Clear" button

    // reg 0..1 and 0..3; -221 while SELSRC is 0 or a keying keys that kind of register.
    virtual Outcome selectFrequency(int reg) = 0;
    virtual int selectedFrequency() = 0;
    virtual Outcome selectPhase(int reg) = 0;
    virtual int selectedPhase() = 0;

    // That one word and nothing else; the stored state does not follow it.
    virtual Outcome sendWord(uint16_t word) = 0;

    // group 0..1. setSweep: the field's entry with the window's checks.
    virtual Outcome setSweep(int group, SweepField field, double value) = 0;
    virtual double sweep(int group, SweepField field) = 0;
    // The kind of sweep: log spacing (else linear), up and down (else up only).
    virtual Outcome setSweepLog(int group, bool log) = 0;
    virtual bool sweepLog(int group) = 0;
    virtual Outcome setSweepUpDown(int group, bool upDown) = 0;
    virtual bool sweepUpDown(int group) = 0;
    virtual Outcome startSweep(int group) = 0;  // the group's Start button
    virtual Outcome stopSweep(int group) = 0;   // the group's Stop button
    virtual bool sweepRunning(int group) = 0;
    // Step k of n in loop i of N: the running sweep's, the last one's when
    // idle, all 0 before any.
    struct SweepProgress {
        int64_t step = 0, steps = 0, loop = 0, loops = 0;
    };
    virtual SweepProgress sweepProgress(int) { return {}; }
    // How many sweeps of the group have ended (last loop, Stop, ABORt, a
    // failing port): *OPC, *OPC? and *WAI wait for these counts to move.
    virtual uint64_t sweepsEnded(int group) = 0;

    // Keying settings; a running keying keeps the ones it started with.
    virtual Outcome setKeyingType(KeyingType type) = 0;
    virtual KeyingType keyingType() = 0;
    // The pattern's text without quotes: bits, "#H" and hex digits, or a
    // PRBS name. A pattern the keyer refuses is -224 with its reason.
    virtual Outcome setKeyingPattern(const std::string& text) = 0;
    virtual std::string keyingPattern() = 0;  // as it was given
    // Symbols a second; the command has checked it against the limits below.
    virtual Outcome setKeyingRate(double rate) = 0;
    virtual double keyingRate() = 0;
    virtual double minKeyingRate() = 0;
    virtual double maxKeyingRate() = 0;
    // Symbols to key, 0 until stopped; at most maxKeyingCount().
    virtual Outcome setKeyingCount(uint64_t count) = 0;
    virtual uint64_t keyingCount() = 0;
    virtual uint64_t maxKeyingCount() = 0;
    virtual Outcome startKeying() = 0;  // -213 when one runs
    virtual Outcome stopKeying() = 0;   // its end words go out; nothing when idle
    virtual bool keyingRunning() = 0;
    // Keyings ended so far, and whether the running one has a count: *OPC,
    // *OPC? and *WAI wait for a counted keying only. Read keyingsEnded()
    // first: a keying then seen running is not yet in that count.
    virtual uint64_t keyingsEnded() = 0;
    virtual bool countedKeyingRunning() = 0;

    // Hop lists: frequencies in Hz and dwells in seconds, the passes (0:
    // until stopped) and the trigger. Set with `append` to add rows. A list
    // that cannot start is -221 with the reason; one running already -213.
    // Here the settings are only kept; an implementation runs them.
    virtual Outcome setListFrequencies(const std::vector<double>& hz, bool append) {
        keep(listHz_, hz, append);
        return Outcome::success();
    }
    virtual std::vector<double> listFrequencies() { return listHz_; }
    virtual Outcome setListDwells(const std::vector<double>& s, bool append) {
        keep(listDwellS_, s, append);
        return Outcome::success();
    }
    virtual std::vector<double> listDwells() { return listDwellS_; }
    virtual Outcome setListCount(uint64_t passes) {
        listCount_ = passes;
        return Outcome::success();
    }
    virtual uint64_t listCount() { return listCount_; }
    virtual Outcome setTriggerBus(bool bus) {
        triggerBus_ = bus;
        return Outcome::success();
    }
    virtual bool triggerBus() { return triggerBus_; }
    virtual Outcome startList() { return Outcome::error(UndefinedHeader); }
    virtual Outcome stopList() { return Outcome::success(); }
    // *TRG and TRIGger: -211 when no list waits for one.
    virtual Outcome trigger() { return Outcome::error(TriggerIgnored); }
    virtual bool listRunning() { return false; }
    // A bus-triggered list waiting for its next trigger (OPERation bit 5).
    virtual bool listWaiting() { return false; }
    // Row k of n in pass i of N (N 0: until stopped); all 0 before any list.
    struct ListProgress {
        uint64_t row = 0, rows = 0, pass = 0, passes = 0;
    };
    virtual ListProgress listProgress() { return {}; }
    // Lists ended so far, and whether the running one is counted and free
    // running: *OPC, *OPC? and *WAI wait for that one only. Read listsEnded() first.
    virtual uint64_t listsEnded() { return 0; }
    virtual bool countedFreeListRunning() { return false; }
    // CSV files in the working folder; the command has checked the name.
    virtual Outcome loadList(const std::string&) { return Outcome::error(FileNameNotFound); }
    virtual Outcome saveList(const std::string&) { return Outcome::error(MassStorageError); }

    // The port, while words written now would be dropped (QUEStionable bit 9);
    // empty while they reach it.
    virtual std::string missingHardware() { return {}; }
    // Whether a trace or waveform file stopped short (QUEStionable bit 10).
    virtual bool recordIncomplete() { return false; }
    // *TST?: 0 when the self-test passes.
    virtual int selfTest() { return 0; }

    // *SAV and *RCL: setup texts (SYSTem:SETup? lines) in slots 0..9. Here
    // they last as long as the instrument; an implementation may keep them
    // between runs. loadSetup of a slot never saved is emptySlot().
    virtual Outcome storeSetup(int slot, const std::string& text) {
        setups_[slot] = text;
        return Outcome::success();
    }
    virtual Outcome loadSetup(int slot, std::string& text) {
        const auto it = setups_.find(slot);
        if (it == setups_.end()) return emptySlot(slot);
        text = it->second;
        return Outcome::success();
    }
    static Outcome emptySlot(int slot) {
        return Outcome::error(SettingsConflict, "no setup saved in " + std::to_string(slot));
    }

    // Whoever keeps status registers is told when a sweep or a keying starts or ends.
    int watchSweeps(std::function<void()> watcher) {
        watchers_.emplace_back(++lastWatcher_, std::move(watcher));
        return lastWatcher_;
    }
    void unwatchSweeps(int id) {
        for (auto it = watchers_.begin(); it != watchers_.end(); ++it)
            if (it->first == id) {
                watchers_.erase(it);
                return;
            }
    }

protected:
    void sweepsChanged() {  // also for a keying
        for (size_t i = 0; i < watchers_.size(); ++i) watchers_[i].second();
    }

private:
    static void keep(std::vector<double>& to, const std::vector<double>& v, bool append) {
        if (!append) to.clear();
        to.insert(to.end(), v.begin(), v.end());
    }
    std::map<int, std::string> setups_;
    std::vector<double> listHz_, listDwellS_;
    uint64_t listCount_ = 1;
    bool triggerBus_ = false;
    std::vector<std::pair<int, std::function<void()>>> watchers_;
    int lastWatcher_ = 0;
};

}  // namespace scpi
