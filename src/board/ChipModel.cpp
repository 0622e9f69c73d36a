#include "board/ChipModel.h"

#include "numeric/TuningWord.h"

#include "board/SimulatedBoard.h"

#include <chrono>
#include <cstdio>

// Pairs: the chip has one holding latch for the first half of a pair (command
// 3 or 1, even address). Other words in between leave it alone; the partner
// (command 2 or 0, the next odd address) lands both halves together. A new
// first half replaces a held one, and a second half that does not match the
// held address is ignored; both count as unpaired halves.
//
// Clear: a one-shot that zeroes the phase accumulator (nothing visible in the
// registers) and drops Sync and SELSRC to 0, which is why the program shows
// both at 0 after Clear without sending a Sync/SELSRC word.
//
// Reset and Sleep keep the registers but silence the output.

namespace {

enum Command : int {
    PhaseSecond = 0x0, PhaseFirst = 0x1, FreqSecond = 0x2, FreqFirst = 0x3,
    PhaseSelect = 0x4, FreqSelect = 0x5,
};

bool isFreqAddress(int a) { return a < 8; }

// Whether a data-load word's address suits its command.
bool addressFits(int command, int address) {
    const bool freq = command == FreqFirst || command == FreqSecond;
    const bool first = command == FreqFirst || command == PhaseFirst;
    return freq == isFreqAddress(address) && first == (address % 2 == 0);
}

std::string registerName(int address) {
    if (isFreqAddress(address)) return "FREQ" + std::to_string(address / 4);
    return "PHASE" + std::to_string((address - 8) / 2);
}

// Bit range a data byte lands in, e.g. "bits 15..8".
std::string bitRange(int address) {
    char buf[24];
    if (isFreqAddress(address)) {
        const int lo = (address % 4) * 8;
        std::snprintf(buf, sizeof buf, "bits %d..%d", lo + 7, lo);
    } else {
        std::snprintf(buf, sizeof buf, address % 2 ? "bits 11..8" : "bits 7..0");
    }
    return buf;
}

}  // namespace

ChipModel::ChipModel(double clockMHz) : clockMHz_(clockMHz) {
    const auto start = std::chrono::steady_clock::now();
    timeSource_ = [start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    noteOutput();
}

void ChipModel::setTimeSource(std::function<double()> now) {
    timeSource_ = std::move(now);
    history_.clear();
    lastOutput_ = -1.0;
    noteOutput();
}

double ChipModel::now() const { return stamp_ >= 0 ? stamp_ : timeSource_(); }

void ChipModel::post(uint16_t word, double clockMHz) {
    const double t = timeSource_();
    std::lock_guard guard(inboxMutex_);
    if (inbox_.size() >= kInboxLength) {
        ++lost_;
        return;
    }
    inbox_.push_back({t, word, clockMHz});
}

void ChipModel::postFramingError(int bits) {
    const double t = timeSource_();
    std::lock_guard guard(inboxMutex_);
    if (inbox_.size() < kInboxLength) inbox_.push_back({t, -1 - bits, 0});
}

bool ChipModel::posted() {
    std::lock_guard guard(inboxMutex_);
    return !inbox_.empty();
}

std::size_t ChipModel::drain() {
    std::vector<Posted> taken;
    {
        std::lock_guard guard(inboxMutex_);
        taken.swap(inbox_);
    }
    for (const Posted& p : taken) {
        stamp_ = p.time;
        if (p.clockMHz > 0) setClockMHz(p.clockMHz);
        if (p.word >= 0) applyWord(static_cast<uint16_t>(p.word));
        else framingError(-1 - p.word);
    }
    stamp_ = -1;
    return taken.size();
}

void ChipModel::setClockMHz(double mhz) {
    if (mhz == clockMHz_ || !(mhz > 0)) return;
    clockMHz_ = mhz;
    noteOutput();
    changed();
}

double ChipModel::registerMHz(int reg) const { return numeric::wordMHz(freq(reg), clockMHz_); }

double ChipModel::outputMHz() const { return outputActive() ? registerMHz(selectedFreq()) : 0.0; }

double ChipModel::outputDegrees() const { return outputActive() ? registerDegrees(phase(selectedPhase())) : 0.0; }

void ChipModel::applyWord(uint16_t word) {
    ++words_;
    const int command = word >> 12;
    const int address = (word >> 8) & 0xF;
    const uint8_t data = word & 0xFF;
    WordOutcome outcome = WordOutcome::Applied;

    switch (command) {
    case FreqFirst:
    case PhaseFirst:
        if (!addressFits(command, address)) {
            outcome = WordOutcome::Unpaired;
            ++unpaired_;
            break;
        }
        if (pendingAddress_ >= 0) ++unpaired_;  // the held half is lost
        pendingAddress_ = address;
        pendingByte_ = data;
        outcome = WordOutcome::Held;
        break;
    case FreqSecond:
    case PhaseSecond:
        if (!addressFits(command, address) || pendingAddress_ != address - 1) {
            outcome = WordOutcome::Unpaired;
            ++unpaired_;
            break;
        }
        loadPair(pendingAddress_, pendingByte_, data);
        pendingAddress_ = -1;
        break;
    case PhaseSelect:
        phaseSel_ = (word >> 9) & 3;
        break;
    case FreqSelect:
        freqSel_ = (word >> 11) & 1;
        break;
    case 0x6:
    case 0x7:
        outcome = WordOutcome::Unknown;
        ++unknown_;
        break;
    default:
        if ((word & 0xC000) == 0x8000) {
            sync_ = word & 0x2000;
            selsrc_ = word & 0x1000;
        } else {
            sleep_ = word & 0x2000;
            reset_ = word & 0x1000;
            if (word & 0x0800) {
                ++clears_;
                sync_ = false;
                selsrc_ = false;
            }
        }
        break;
    }
    log_.push({now(), word, outcome});
    if (outcome == WordOutcome::Applied) noteOutput();
    changed();
}

void ChipModel::framingError(int) {
    ++framingErrors_;
    changed();
}

void ChipModel::loadPair(int evenAddress, uint8_t low, uint8_t high) {
    const uint32_t pair = (uint32_t{high} << 8) | low;
    if (isFreqAddress(evenAddress)) {
        const int shift = (evenAddress % 4) * 8;
        uint32_t& reg = freq_[evenAddress / 4];
        reg = (reg & ~(0xFFFFu << shift)) | (pair << shift);
    } else {
        phase_[(evenAddress - 8) / 2] = static_cast<uint16_t>(pair & 0x0FFF);
    }
}

void ChipModel::noteOutput() {
    const double mhz = outputMHz();
    if (mhz == lastOutput_) return;
    lastOutput_ = mhz;
    history_.push({now(), mhz});
}

std::string ChipModel::describe(uint16_t word, WordOutcome outcome) {
    const int command = word >> 12;
    const int address = (word >> 8) & 0xF;
    char buf[64];
    switch (command) {
    case FreqFirst:
    case PhaseFirst:
    case FreqSecond:
    case PhaseSecond: {
        if (!addressFits(command, address)) {
            std::snprintf(buf, sizeof buf, "command 0x%X with address 0x%X: ignored", command, address);
            return buf;
        }
        const bool phaseHigh = command == PhaseSecond;
        std::snprintf(buf, sizeof buf, phaseHigh ? "0x%X" : "0x%02X", phaseHigh ? (word & 0x0F) : (word & 0xFF));
        std::string s = registerName(address) + " " + bitRange(address) + " = " + buf;
        if (outcome == WordOutcome::Held) s += ", held";
        if (outcome == WordOutcome::Unpaired) s += ", no first half: ignored";
        return s;
    }
    case PhaseSelect:
        std::snprintf(buf, sizeof buf, "Select PHASE%d", (word >> 9) & 3);
        return buf;
    case FreqSelect:
        std::snprintf(buf, sizeof buf, "Select FREQ%d", (word >> 11) & 1);
        return buf;
    case 0x6:
    case 0x7:
        std::snprintf(buf, sizeof buf, "unknown command 0x%04X", word);
        return buf;
    default:
        break;
    }
    if ((word & 0xC000) == 0x8000) {
        std::snprintf(buf, sizeof buf, "Sync %d, SELSRC %d", (word >> 13) & 1, (word >> 12) & 1);
        return buf;
    }
    std::string s = std::string("Sleep ") + (word & 0x2000 ? "on" : "off") + ", Reset " + (word & 0x1000 ? "on" : "off");
    if (word & 0x0800) s += ", Clear";
    return s;
}

std::shared_ptr<ChipModel> attachChipModel(SimulatedBoard& board, double clockMHz) {
    auto model = std::make_shared<ChipModel>(clockMHz);
    board.addWordObserver([model](uint16_t w) { model->post(w); });
    board.addFramingErrorObserver([model](int bits) { model->postFramingError(bits); });
    return model;
}
