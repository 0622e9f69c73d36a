#pragma once
// Keying: one symbol of the bit stream a period, each put on the output by
// its select word, on an absolute schedule (symbol k due at start + k / rate)
// run on the timer's own thread under the port's lock. A symbol whose
// register is the previous one's sends nothing. What changes is announced on
// the keyer's own thread once the lock is free, progress at most ten times a
// second.
#include "control/KeyingPattern.h"
#include "control/Notices.h"
#include "control/ProgressPace.h"
#include "control/SweepTimer.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

class Transmitter;

namespace keying {

struct Progress {
    bool running = false;
    Type type = Type::FSK;
    uint64_t sent = 0;   // symbols put out so far (of the running keying, or the last)
    uint64_t count = 0;  // symbols to send; 0 until stopped
    int symbol = -1;     // the symbol on the output; -1 before the first
    double rate = 0;     // symbols a second
    // Seconds until the count is reached; negative for a keying without one.
    double secondsLeft() const {
        return count == 0 ? -1 : static_cast<double>(count - (sent < count ? sent : count)) / rate;
    }
};

}  // namespace keying

class Keyer : public QObject {
    Q_OBJECT
public:
    static constexpr double kMinRate = 0.01;  // symbols a second
    // The highest rate the schedule keeps on this program's timer thread,
    // whatever the port: measured by bench_keying.
    static constexpr double kScheduleLimit = 5000;
    static constexpr uint64_t kMaxCount = 4'294'967'295u;
    static constexpr std::chrono::milliseconds kProgressInterval{100};

    struct Hooks {
        // Both run inside a port operation under the port's lock, and may throw
        // PortError. begin: before the first symbol; end: after the last, with
        // the kind of keying that ran.
        std::function<void()> begin;
        std::function<void(keying::Type)> end;
    };
    // `now`: where the schedule reads the time (tests move a clock by hand).
    Keyer(Transmitter& tx, control::Notices& notices, Hooks hooks, QObject* parent = nullptr,
          SweepTimer::TimeSource now = nullptr);
    // Ends the schedule without a word: the chip keeps its last keyed state.
    ~Keyer() override;

    // Settings, set and read on the keyer's thread; a running keying keeps
    // the ones it started with. Each change is announced (settingsChanged).
    keying::Type type() const { return type_; }
    void setType(keying::Type t);
    const keying::Pattern& pattern() const { return pattern_; }
    // Empty when taken; else the refusal, and the pattern stays.
    std::string setPattern(const std::string& text);
    double rate() const { return rate_; }
    // The port's capacity for one-word operations, capped by the schedule's.
    double maxRate();
    // False, changing nothing, outside kMinRate..maxRate().
    bool setRate(double symbolsPerSecond);
    uint64_t count() const { return count_; }  // 0: until stopped
    bool setCount(uint64_t symbols);           // false above kMaxCount

    // False when a keying already runs. Throws PortError when the words
    // before the first symbol fail; nothing is then keyed.
    bool start();
    // Ends a running keying with its end words (throws PortError when they
    // fail; it has ended all the same). Nothing when idle.
    void stop();
    bool running() const { return running_; }
    // Ends the schedule for good without a word (the program ends).
    void halt() { timer_.shutdown(); }
    keying::Progress progress() const;
    // Keyings ended so far (count reached, Stop, a failing port).
    uint64_t ended() const { return ended_; }
    // When symbol 0 of the running (or last) keying was due; symbol k is due k / rate later.
    SweepTimer::Clock::time_point startedAt() const { return timer_.firstDue(); }
    // Why the last keying ended early on the port; empty otherwise.
    std::string lastFailure() const;

signals:
    void settingsChanged();
    void runningChanged(bool running);
    void progressChanged(const keying::Progress& progress);

private:
    void tick(uint64_t generation, uint64_t index);
    // Under the lock: the schedule stops and the end words go out.
    void finish();
    void changed(bool announceState);

    Transmitter& tx_;
    control::Notices& notices_;
    Hooks hooks_;
    SweepTimer timer_;
    keying::Type type_ = keying::Type::FSK;
    keying::Pattern pattern_;
    double rate_ = 1000;
    uint64_t count_ = 0;

    // The keying under way: guarded by the port's lock (tx_.port().lock()).
    keying::Pattern keyed_;
    keying::Progress progress_;
    int lastRegister_ = -1;
    std::string failure_;
    std::atomic<bool> running_ = false;
    std::atomic<uint64_t> ended_ = 0;
    control::ProgressPace pace_{notices_, this, kProgressInterval};
};
