#pragma once
// What the QZ4471 on the simulated board does with the words it receives:
// registers, control bits, the output they select, counters, a log of recent
// words and a history of the output frequency. Kept cheap per word, since a
// sweep can deliver several thousand words a second.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class SimulatedBoard;

// How one word was taken, kept beside it in the log.
enum class WordOutcome : uint8_t {
    Applied,     // changed or confirmed chip state
    Held,        // first half of a pair, waiting for its partner
    Unpaired,    // second half with no matching first half: ignored
    Unknown,     // command 0110 or 0111: ignored
};

struct LoggedWord {
    double time;  // seconds since the model started
    uint16_t word;
    WordOutcome outcome;
};

struct FrequencySample {
    double time;  // seconds since the model started
    double mhz;   // 0 while there is no output
};

// A fixed ring: the newest `capacity` entries, no allocation after construction.
template <typename T>
class Ring {
public:
    explicit Ring(std::size_t capacity) : items_(capacity) {}
    void push(const T& v) {
        items_[total_ % items_.size()] = v;
        ++total_;
    }
    std::size_t size() const { return total_ < items_.size() ? total_ : items_.size(); }
    std::size_t capacity() const { return items_.size(); }
    uint64_t total() const { return total_; }  // entries ever pushed
    // i = 0 is the oldest entry still held.
    const T& operator[](std::size_t i) const { return items_[(total_ - size() + i) % items_.size()]; }
    const T& back() const { return (*this)[size() - 1]; }
    void clear() { total_ = 0; }

private:
    std::vector<T> items_;
    uint64_t total_ = 0;
};

class ChipModel {
public:
    static constexpr double kDefaultClockMHz = 50.0;
    static constexpr std::size_t kLogLength = 10000;
    static constexpr std::size_t kHistoryLength = 1 << 16;  // > 10 s of a 1 ms sweep

    explicit ChipModel(double clockMHz = kDefaultClockMHz);

    // Applies one decoded word / notes one frame with the wrong bit count.
    void applyWord(uint16_t word);
    void framingError(int bits);

    // From the thread that writes to the port: the word is queued with its
    // time (and the clock it was sent against, 0 for no change) and applied
    // by drain() on the thread that shows the model, so painting never holds
    // up the port. At most kInboxLength entries wait; older ones are counted
    // as lost rather than kept.
    static constexpr std::size_t kInboxLength = 1 << 20;
    void post(uint16_t word, double clockMHz = 0);
    void postFramingError(int bits);
    // Applies everything posted so far, in order; returns how many entries.
    std::size_t drain();
    // Whether posted entries wait for drain().
    bool posted();
    uint64_t lostWords() const { return lost_; }

    // Chip state.
    uint32_t freq(int reg) const { return freq_[reg & 1]; }
    uint16_t phase(int reg) const { return phase_[reg & 3]; }
    bool sync() const { return sync_; }
    bool selsrc() const { return selsrc_; }
    bool sleep() const { return sleep_; }
    bool reset() const { return reset_; }
    // Registers named by the select words, and those actually in use: with
    // SELSRC at 0 the board's select pins (tied low) choose register 0.
    int freqSelectWord() const { return freqSel_; }
    int phaseSelectWord() const { return phaseSel_; }
    int selectedFreq() const { return selsrc_ ? freqSel_ : 0; }
    int selectedPhase() const { return selsrc_ ? phaseSel_ : 0; }
    bool hasPendingHalf() const { return pendingAddress_ >= 0; }

    // Output: FREQ[selected] x clock / 2^32, PHASE[selected] x 360 / 4096.
    bool outputActive() const { return !sleep_ && !reset_; }
    double outputMHz() const;
    double outputDegrees() const;
    double registerMHz(int reg) const;
    static double registerDegrees(uint16_t phase) { return phase * 360.0 / 4096.0; }

    double clockMHz() const { return clockMHz_; }
    // A new master clock: the MHz shown follow it from now on.
    void setClockMHz(double mhz);

    // Counters.
    uint64_t words() const { return words_; }
    uint64_t framingErrors() const { return framingErrors_; }
    uint64_t unknownCommands() const { return unknown_; }
    uint64_t unpairedHalves() const { return unpaired_; }
    uint64_t clears() const { return clears_; }

    const Ring<LoggedWord>& log() const { return log_; }
    const Ring<FrequencySample>& history() const { return history_; }
    // What a word means, for the log ("FREQ0 bits 15..8 = 0xB8").
    static std::string describe(uint16_t word, WordOutcome outcome);

    // Called after every word and framing error; keep it cheap (mark dirty).
    void setChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }
    // Seconds since start; tests pin it.
    void setTimeSource(std::function<double()> now);
    double now() const;

private:
    void loadPair(int evenAddress, uint8_t low, uint8_t high);
    void noteOutput();
    void changed() {
        if (listener_) listener_();
    }

    double clockMHz_;
    std::array<uint32_t, 2> freq_{};
    std::array<uint16_t, 4> phase_{};
    int freqSel_ = 0, phaseSel_ = 0;
    bool sync_ = false, selsrc_ = false, sleep_ = false, reset_ = false;
    int pendingAddress_ = -1;  // even address of the held first half
    uint8_t pendingByte_ = 0;
    uint64_t words_ = 0, framingErrors_ = 0, unknown_ = 0, unpaired_ = 0, clears_ = 0;
    Ring<LoggedWord> log_{kLogLength};
    Ring<FrequencySample> history_{kHistoryLength};
    double lastOutput_ = -1.0;
    std::function<void()> listener_;
    std::function<double()> timeSource_;
    double stamp_ = -1;  // while draining: the time the word was posted

    struct Posted {
        double time;
        int32_t word;  // -1: a framing error
        double clockMHz;
    };
    std::mutex inboxMutex_;
    std::vector<Posted> inbox_;
    uint64_t lost_ = 0;
};

// A model fed by the board's decoded words and framing errors, through post():
// drain() applies them. The board keeps its own reference, so the model
// outlives whoever else lets go of it.
std::shared_ptr<ChipModel> attachChipModel(SimulatedBoard& board, double clockMHz = ChipModel::kDefaultClockMHz);
