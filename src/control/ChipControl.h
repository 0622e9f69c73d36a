#pragma once
// The chip as the program drives it: the stored control bits, the register
// loads with their conversion and limit rules, the selections, Clear,
// Initialise, raw words and the two sweep groups. Windows, scripts and the
// SCPI server all act through here. Nothing here shows anything: changes are
// announced by signals, failures are returned to the caller.
#include "control/SweepEngine.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

namespace control {

// The main window's entry fields, whose texts a commit rewrites.
enum class Field { Freq0, Freq1, Phase0, Phase1, Phase2, Phase3, Clock };

// What went wrong in one action; several can hold after an Initialise.
struct Outcome {
    bool badEntry = false;    // the entry is no number: its field was emptied
    bool badClock = false;    // the master clock is no number: its field was emptied
    std::string portFailure;  // the port failed; words before it are sent
    bool ok() const { return !badEntry && !badClock && portFailure.empty(); }
    void merge(const Outcome& o);
};

class ChipControl : public QObject {
    Q_OBJECT
public:
    explicit ChipControl(QObject* parent = nullptr);
    ~ChipControl() override;

    // Where frequency computations read the master clock text: the main
    // window's field while it is there, else the clock last committed.
    void setClockSource(std::function<std::string()> source);
    // The clock last committed: Enter in its field, commitClock, or the text
    // the last frequency load read. Scripts and remote commands use this one,
    // never a half-typed field.
    const std::string& committedClock() const { return committedClock_; }
    // Marks a change made from outside the windows (a script line, a remote
    // command) while it lives: computations read the committed clock, and a
    // window keeps the text of a field the user is editing.
    class Remote {
    public:
        explicit Remote(ChipControl& c) : c_(c) { ++c_.remote_; }
        ~Remote() { --c_.remote_; }
        Remote(const Remote&) = delete;
        Remote& operator=(const Remote&) = delete;

    private:
        ChipControl& c_;
    };
    bool remote() const { return remote_ > 0; }

    // The chip's start-up: Reset and Clear pulse, Sleep, Reset, SELSRC and Sync
    // cleared, the limit taken from the clock. Runs once until reset().
    Outcome startUp();
    bool startedUp() const { return startedUp_; }

    // Field commits, from the text as typed.
    Outcome commitFrequency(int reg, const std::string& text);
    Outcome commitPhase(int reg, const std::string& text);
    Outcome commitClock(const std::string& text);

    Outcome toggleSync();
    Outcome toggleSelsrc();
    Outcome toggleReset();
    // Reach a state; the word goes out even when the state does not change.
    Outcome setSync(bool on);
    Outcome setSelsrc(bool on);
    Outcome setReset(bool on);
    Outcome setSleep(bool on);
    Outcome clear();
    Outcome selectFrequency(int reg);
    Outcome selectPhase(int reg);
    Outcome initialise();
    // One 16-bit word and nothing else; the stored state does not follow it.
    Outcome sendWord(uint16_t word);
    // A tuning word loaded as it is, shown as a load shows it.
    Outcome loadTuningWord(int reg, uint32_t word);

    // What each register got last: the tuning word with the clock (MHz) it was
    // computed against, and the 12-bit phase values.
    uint32_t loadedWord(int reg) const { return loadedWord_[reg]; }
    double loadedClockMHz(int reg) const { return loadedClock_[reg]; }
    uint16_t loadedPhase(int reg) const { return loadedPhase_[reg]; }

    bool sync() const;
    bool selsrc() const;
    bool sleep() const;
    bool reset() const;
    int selectedFrequency() const { return freqSelect_; }
    int selectedPhase() const { return phaseSelect_; }

    SweepEngine& sweeps() { return sweeps_; }

    // Back to power-on state with both sweeps stopped (tests, a new program run).
    void resetState();

signals:
    void fieldTextChanged(control::Field field, const QString& text);
    void tuningWordChanged(int reg, const QString& hex);
    // Sync, SELSRC, Sleep or Reset changed (or was sent again).
    void bitsChanged();
    // A register selection was sent; the options show it.
    void selectionChanged();

private:
    template <typename Fn>
    Outcome act(Fn&& fn);
    void showText(Field f, const std::string& text);
    void loadFrequency(int reg, const std::string& text);
    void loadPhase(int reg, const std::string& text);
    void sweepStep(int reg, float mhz);
    // Stores a control bit and sends the word that carries it.
    Outcome setBit(int32_t& state, int32_t bit, bool on, bool syncWord);
    std::string clockText() const;

    SweepEngine sweeps_;
    bool startedUp_ = false;
    int freqSelect_ = 0;
    int phaseSelect_ = 0;
    std::function<std::string()> windowClock_;
    std::string committedClock_ = "50.000000";
    int remote_ = 0;
    uint32_t loadedWord_[2] = {};
    double loadedClock_[2] = {50, 50};
    uint16_t loadedPhase_[4] = {};
};

// The program's one chip.
ChipControl& chip();

}  // namespace control
