#pragma once
// Hop lists: rows of frequency and dwell put on the output without a glitch.
// A row is loaded into the frequency register not in use, then put on the
// output by one select word, so the output never shows a half-loaded word.
// Free-running, select word k is due at start + the dwells before it, on
// the absolute schedule of the timer thread sweeps and keying share; on bus
// triggers, each trigger sends the next one. Steps run under the port's
// lock; what changes is announced on the list's own thread once the lock is
// free, progress at most ten times a second.
#include "control/Notices.h"
#include "control/ProgressPace.h"
#include "control/SweepTimer.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Transmitter;

namespace hoplist {

constexpr size_t kMaxRows = 100000;
constexpr double kMaxDwellS = 1000;
// The schedule's own limit, whatever the port: five thousand steps a second.
constexpr double kScheduleMinDwellS = 0.0002;
// A row's dwell holds the next row's four load words and the select word.
constexpr int kWordsPerRow = 5;

enum class Trigger { Immediate, Bus };

struct Progress {
    bool running = false;
    bool waiting = false;     // a bus-triggered list waits for its next trigger
    Trigger trigger = Trigger::Immediate;
    size_t row = 0;           // the row on the output, from 1; 0 before the first
    size_t rows = 0;
    uint64_t pass = 0;        // the pass under way, from 1; 0 before the first
    uint64_t passes = 0;      // 0: until stopped
    double mhz = 0;           // what the row on the output makes
    double secondsLeft = -1;  // until a counted free-running list ends; -1 otherwise
};

// A CSV list: a header naming frequency_hz and dwell_s, one row a line.
struct Table {
    std::vector<double> hz;
    std::vector<double> dwellS;
};
struct CsvRead {
    Table table;
    std::string error;  // "line 7, column 2 (dwell_s): ..."; empty when read
};
// Frequencies must lie in 0..maxHz, dwells in minDwellS..kMaxDwellS.
CsvRead parseCsv(const std::string& text, double maxHz, double minDwellS);
std::string formatCsv(const Table& table);

// A refusal of a dwell, naming its row (from 1); empty when every dwell holds.
std::string checkDwells(const std::vector<double>& dwellS, double minDwellS, size_t firstRow = 1);

}  // namespace hoplist

class HopList : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kProgressInterval{100};

    // All run inside a port operation under the port's lock and may throw PortError.
    struct Hooks {
        std::function<int()> idleRegister;  // the frequency register the main window does not select
        std::function<void(int reg, uint32_t word)> load;
        std::function<void()> raiseSelsrc;  // when it is 0: select words are obeyed only while it is 1
        std::function<void(int reg)> select;
        std::function<void()> ended;        // the list has ended (state to show)
        std::function<double()> clockMHz;   // the committed clock, every row's word is computed at
    };
    HopList(Transmitter& tx, control::Notices& notices, Hooks hooks, SweepTimer::TimeSource now = nullptr,
            QObject* parent = nullptr);
    // Ends the schedule without a word: the output keeps its row.
    ~HopList() override;

    // Settings, set and read on the list's thread; a running list keeps the
    // rows it started with. Each change is announced (settingsChanged).
    const std::vector<double>& frequencies() const { return hz_; }
    const std::vector<double>& dwells() const { return dwellS_; }
    // Empty when taken, else why not (nothing changes): too many rows.
    std::string setFrequencies(std::vector<double> hz, bool append);
    std::string setDwells(std::vector<double> dwellS, bool append);
    void setTable(hoplist::Table table);
    uint64_t count() const { return count_; }  // passes; 0: until stopped
    void setCount(uint64_t passes);
    hoplist::Trigger trigger() const { return trigger_; }
    void setTrigger(hoplist::Trigger t);
    // The shortest dwell this port keeps: five words at its capacity, and
    // the schedule's own limit.
    double minDwell();

    // Empty when started; else why not (nothing is sent). Throws PortError
    // when the first row's words fail (nothing then runs).
    std::string start();
    // Ends a running list where it is: nothing more is sent.
    void stop();
    // The next select word of a bus-triggered list; false when none waits.
    // Throws PortError (the list has then ended).
    bool fire();
    bool running() const { return running_; }
    bool waiting() const { return waiting_; }
    hoplist::Progress progress() const;
    uint64_t ended() const { return ended_; }
    // When row 0's select word was due; row k's is due offsetNs(k) later.
    SweepTimer::Clock::time_point startedAt() const { return timer_.firstDue(); }
    int64_t offsetNs(uint64_t index) const;
    std::string lastFailure() const;
    void halt() { timer_.shutdown(); }

signals:
    void settingsChanged();
    void runningChanged(bool running);
    void progressChanged(const hoplist::Progress& progress);

private:
    void tick(uint64_t generation, uint64_t index);
    // Under the lock: row `index` (counted over the passes) goes on the output.
    void step(uint64_t index);
    void finish();
    void changed(bool announceState);
    uint64_t totalSteps() const;  // 0: until stopped

    Transmitter& tx_;
    control::Notices& notices_;
    Hooks hooks_;
    SweepTimer timer_;
    // Settings: the list's thread only.
    std::vector<double> hz_;
    std::vector<double> dwellS_;
    uint64_t count_ = 1;
    hoplist::Trigger trigger_ = hoplist::Trigger::Immediate;

    // The list under way: guarded by the port's lock (tx_.port().lock()).
    std::vector<uint32_t> words_;
    std::vector<double> rowMHz_;
    double clockMHz_ = 0;
    // Row k's due offset from row 0, and the pass's length last; fixed while
    // the schedule runs, which reads it on its own thread.
    std::shared_ptr<const std::vector<int64_t>> offsets_;
    hoplist::Progress progress_;
    uint64_t next_ = 0;  // the next row to go on the output, counted over the passes
    int pending_ = 0;    // the register holding that row
    std::string failure_;
    std::atomic<bool> running_ = false;
    std::atomic<bool> waiting_ = false;
    std::atomic<uint64_t> ended_ = 0;
    control::ProgressPace pace_{notices_, this, kProgressInterval};
};
