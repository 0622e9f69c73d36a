#pragma once
// The chip as the program drives it: the stored control bits, the register
// loads with their conversion and limit rules, the committed master clock,
// the selections, Clear, Initialise, raw words and the two sweep groups.
// Windows, scripts and the SCPI server all act through one of these, built in
// main. Nothing here shows anything: changes are announced by signals,
// failures are returned to the caller.
#include "control/HopList.h"
#include "control/Keyer.h"
#include "control/Notices.h"
#include "control/SweepEngine.h"
#include "portlib/PortBackend.h"
#include "registers/ChipRegisters.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <string>

namespace control {

// The main window's entry fields, whose texts a commit rewrites.
enum class Field { Freq0, Freq1, Phase0, Phase1, Phase2, Phase3, Clock };

// What went wrong in one action; several can hold after an Initialise.
struct Outcome {
    bool badEntry = false;    // the entry was refused (no number, or out of range for the clock)
    std::string portFailure;  // the port failed; words before it are sent
    bool busy = false;        // refused: what it would start is already running
    std::string conflict;     // refused: what it conflicts with ("list"), or why a list cannot start
    bool ok() const { return !badEntry && portFailure.empty() && !busy && conflict.empty(); }
    void merge(const Outcome& o);
};

// The chip's state as one locked look: readers never hold a live reference.
struct ChipState {
    bool sync = false, selsrc = false, sleep = false, reset = false;
    int freqSelect = 0, phaseSelect = 0;
    uint32_t word[2] = {};
    uint16_t phase[4] = {};
    double clockMHz = ChipRegisters::kDefaultClockMHz;
    // What each frequency register makes at the committed clock, MHz.
    double frequencyMHz(int reg) const;
};

// The port words go to, as one locked look.
struct PortState {
    bool present = false;      // a back end is claimed
    bool writesReach = false;  // words reach a chip (or the simulated board)
    std::string instrumentName;
    StatusLine status;  // the back end's status line; empty without one
    std::string recordFailure;  // why the trace or dump file stopped; empty while whole
};

class ChipControl : public QObject {
    Q_OBJECT
public:
    // The master clock's range, MHz.
    static constexpr double kMinClockMHz = 0.001;
    static constexpr double kMaxClockMHz = 1000;

    // `keyingClock`: where the keying's schedule reads the time (tests move a clock by hand).
    explicit ChipControl(Transmitter& transmitter, QObject* parent = nullptr,
                         SweepTimer::TimeSource keyingClock = nullptr);
    ~ChipControl() override;

    // The chip's start-up: Reset and Clear pulse, Sleep, Reset, SELSRC and Sync
    // cleared. Runs once.
    Outcome startUp();
    bool startedUp() const { return startedUp_; }

    // Field commits, from the text as typed.
    Outcome commitFrequency(int reg, const std::string& text);
    Outcome commitPhase(int reg, const std::string& text);
    // A clock that is no number or outside the range is refused (badEntry):
    // nothing changes, and the field is shown the committed clock again.
    Outcome commitClock(const std::string& text);
    Outcome commitClockMHz(double mhz);
    static bool clockInRange(double mhz) { return mhz >= kMinClockMHz && mhz <= kMaxClockMHz; }
    // The committed master clock, in MHz and as its field shows it.
    double clockMHz() const;
    std::string clockText() const;
    // The upper limit of every frequency entry: half the committed clock.
    float maxFreq() const;

    Outcome toggleSync();
    Outcome toggleSelsrc();
    Outcome toggleReset();
    // Reach a state; the word goes out even when the state does not change.
    Outcome setSync(bool on);
    Outcome setSelsrc(bool on);
    Outcome setReset(bool on);
    Outcome setSleep(bool on);
    // Clear, Initialise and SELSRC changes stop a keying first (its end words go out).
    Outcome clear();
    // While a keying keys that kind of register, the choice is only kept: the
    // keying's end selects it.
    Outcome selectFrequency(int reg);
    Outcome selectPhase(int reg);
    Outcome initialise();

    // Keying with the keyer's settings; busy while one runs.
    Outcome startKeying();
    Outcome stopKeying();
    // Whether a running keying keys the frequency (or else the phase) selection.
    bool keyingFrequency() const;
    bool keyingPhase() const;
    // One 16-bit word and nothing else; the stored state does not follow it.
    Outcome sendWord(uint16_t word);
    // A tuning word loaded as it is, shown as a load shows it.
    Outcome loadTuningWord(int reg, uint32_t word);
    // Sends the state the windows show again, to a chip that came back in its
    // power-on state (an adapter plugged back in): the control words, both
    // frequency registers, the four phase registers and the selections. It
    // runs inside a port write, so it only sends; failures go to that write.
    void resendState();

    // ---- hop lists (see HopList) ----
    // While a list runs, frequency loads, frequency selection, sweeps and FSK
    // keying are refused (conflict "list"); Clear, Initialise and SELSRC
    // changes stop it first. Settings are set and read on this object's thread.
    const std::vector<double>& listFrequencies() const { return list_.frequencies(); }
    const std::vector<double>& listDwells() const { return list_.dwells(); }
    // Empty when taken; else why not, and nothing changes.
    std::string setListFrequencies(std::vector<double> hz, bool append) { return list_.setFrequencies(std::move(hz), append); }
    std::string setListDwells(std::vector<double> s, bool append) { return list_.setDwells(std::move(s), append); }
    uint64_t listCount() const { return list_.count(); }  // passes; 0: until stopped
    void setListCount(uint64_t passes) { list_.setCount(passes); }
    hoplist::Trigger listTrigger() const { return list_.trigger(); }
    void setListTrigger(hoplist::Trigger t) { list_.setTrigger(t); }
    double minListDwell() { return list_.minDwell(); }
    // busy while one runs; conflict with the reason it cannot start.
    Outcome startList();
    Outcome stopList();
    // The next row of a bus-triggered list; `fired` false when none waits.
    Outcome triggerList(bool& fired);
    bool listRunning() const { return list_.running(); }
    bool listWaiting() const { return list_.waiting(); }
    hoplist::Progress listProgress() const { return list_.progress(); }
    uint64_t listsEnded() const { return list_.ended(); }
    // When row 0's select word was due, and row k's offset from it (timing).
    SweepTimer::Clock::time_point listStartedAt() const { return list_.startedAt(); }
    int64_t listOffsetNs(uint64_t k) const { return list_.offsetNs(k); }
    // CSV files of rows: read whole or not at all, written atomically.
    enum class FileError { None, NotFound, Storage, Content };
    struct FileOutcome {
        FileError error = FileError::None;
        std::string text;  // what went wrong, naming the line and column of bad content
    };
    FileOutcome loadListFile(const QString& path);
    FileOutcome saveListFile(const QString& path);

    // Sends a register's stored word again (a field left unedited): never a
    // word reconverted from the text a view wrote.
    Outcome resendFrequency(int reg);
    Outcome resendPhase(int reg);

    ChipState state() const;

    // The port every word goes to (the port menu).
    uint16_t portAddress() const { return tx_.port().portAddress(); }
    void setPortAddress(uint16_t address) { tx_.port().setPortAddress(address); }

    // What each register got last: the tuning word with the clock (MHz) it was
    // computed against, and the 12-bit phase values.
    uint32_t loadedWord(int reg) const;
    double loadedClockMHz(int reg) const;
    uint16_t loadedPhase(int reg) const { return state().phase[reg]; }

    bool sync() const { return state().sync; }
    bool selsrc() const { return state().selsrc; }
    bool sleep() const { return state().sleep; }
    bool reset() const { return state().reset; }
    int selectedFrequency() const { return state().freqSelect; }
    int selectedPhase() const { return state().phaseSelect; }

    // The program ends: sweeps and keying stop where they are, and no action
    // sends anything more, so the chip keeps its last state.
    void halt();

    // Sweeps: group 0 sweeps FREQ0, group 1 FREQ1, with or without a sweep window.
    // Each group's five field texts, as the sweep fields show them.
    sweep::FieldTexts sweepSettings(int g) const { return sweeps_.settings(g); }
    void setSweepSettings(int g, const sweep::FieldTexts& texts) { sweeps_.setSettings(g, texts); }
    // Starts a group with `texts` (a refused Start changes nothing), or with its settings.
    sweep::StartCheck startSweep(int g, const sweep::FieldTexts& texts) { return sweeps_.start(g, texts); }
    sweep::StartCheck startSweep(int g) { return sweeps_.start(g, sweeps_.settings(g)); }
    void stopSweep(int g) { sweeps_.stop(g); }
    // Both groups, in the order of their timers.
    void stopSweeps() { sweeps_.stopAll(); }
    bool sweeping(int g) { return sweeps_.sweeping(g); }
    uint64_t sweepsEnded(int g) { return sweeps_.ended(g); }
    sweep::Progress sweepProgress(int g) { return sweeps_.progress(g); }
    // The timers by number: Countup1, Countdown1, Countup2, countdown2.
    const SweepTimer& sweepTimer(int t) const;
    // One step now, as timer `t` would take it when due.
    void sweepTick(int t);
    // A group's counters, and putting them back (a sweep resumed where it was).
    SweepGroup sweepGroup(int g);
    void restoreSweepGroup(int g, const SweepGroup& group);

    // Keying settings, set and read on this object's thread; a running keying
    // keeps the ones it started with.
    keying::Type keyingType() const { return keyer_.type(); }
    void setKeyingType(keying::Type t) { keyer_.setType(t); }
    std::string keyingPattern() const { return keyer_.pattern().text; }
    // Empty when taken; else the refusal, and the pattern stays.
    std::string setKeyingPattern(const std::string& text) { return keyer_.setPattern(text); }
    double keyingRate() const { return keyer_.rate(); }
    double maxKeyingRate() { return keyer_.maxRate(); }
    bool setKeyingRate(double symbolsPerSecond) { return keyer_.setRate(symbolsPerSecond); }
    uint64_t keyingCount() const { return keyer_.count(); }  // 0: until stopped
    bool setKeyingCount(uint64_t symbols) { return keyer_.setCount(symbols); }
    bool keyingRunning() const { return keyer_.running(); }
    uint64_t keyingsEnded() const { return keyer_.ended(); }
    keying::Progress keyingProgress() const { return keyer_.progress(); }
    // Why the last keying ended early on the port; empty otherwise.
    std::string keyingFailure() const { return keyer_.lastFailure(); }
    // When symbol 0 of the running (or last) keying was due.
    SweepTimer::Clock::time_point keyingStartedAt() const { return keyer_.startedAt(); }

    // The port as one locked look.
    PortState portState() const;

signals:
    // `own`: the text a field's own commit writes; otherwise another door
    // changed what the field stands for.
    void fieldTextChanged(control::Field field, const QString& text, bool own = true);
    void tuningWordChanged(int reg, const QString& hex);
    // Sync, SELSRC, Sleep or Reset changed (or was sent again).
    void bitsChanged();
    // A register selection was sent; the options show it.
    void selectionChanged();
    // The committed master clock changed.
    void clockChanged(double mhz);
    // The sweeps and the keying, as their engines announce them.
    void sweepSettingsChanged(int group);
    void sweepingChanged(int group, bool sweeping);
    void sweepProgressChanged(int group, const sweep::Progress& progress);
    void keyingSettingsChanged();
    void keyingRunningChanged(bool running);
    void keyingProgressChanged(const keying::Progress& progress);
    // The hop list's rows, count or trigger changed; it started or ended; it moved on.
    void listSettingsChanged();
    void listRunningChanged(bool running);
    void listProgressChanged(const hoplist::Progress& progress);

private:
    template <typename Fn>
    Outcome act(Fn&& fn);
    // Announced once the lock is free (see Notices).
    template <typename Fn>
    void notify(Fn&& fn) { notices_.later(std::forward<Fn>(fn)); }
    void showText(Field f, const std::string& text, bool own = true);
    // Under the lock: the register's field as it stands at the committed clock.
    void showRegister(int reg);
    void loadFrequency(int reg, const std::string& text);
    void loadPhase(int reg, const std::string& text);
    void sweepStep(int reg, float mhz);
    void noteLoad(int reg, uint32_t word);
    // Stores a control bit and sends the word that carries it.
    Outcome setBit(int32_t& state, int32_t bit, bool on, bool syncWord);
    void keyingBegins();
    void keyingEnds(keying::Type type);
    HopList::Hooks listHooks();
    // Under the lock: true (and the conflict set) while a list owns the frequency registers.
    bool listHolds(Outcome& out) const;
    void announceBits();

    Transmitter& tx_;
    Notices notices_;
    // regs_ and everything below it: guarded by the port's lock (tx_.port().lock()).
    ChipRegisters regs_;
    SweepEngine sweeps_;
    bool startedUp_ = false;  // the owner's thread only
    int freqSelect_ = 0;
    int phaseSelect_ = 0;
    uint32_t loadedWord_[2] = {};
    double loadedClock_[2] = {ChipRegisters::kDefaultClockMHz, ChipRegisters::kDefaultClockMHz};
    uint16_t loadedPhase_[4] = {};
    bool selsrcForKeying_ = false;  // SELSRC was raised by the keying, which lowers it again
    bool halted_ = false;  // the program is ending: actions send nothing
    Keyer keyer_;  // last but one: its schedule ends before anything it sends through
    HopList list_;  // last: as the keyer
};

}  // namespace control
