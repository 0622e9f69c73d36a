#include "control/ChipControl.h"

#include "link/CommsFunctions.h"
#include "numeric/NumberText.h"
#include "portlib/Parllio.h"
#include "registers/ChipWords.h"
#include "registers/Control.h"
#include "registers/Declare.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace control {
namespace {

// A double read from an entry that the chip takes in single precision.
float toSingleChecked(double v) {
    if (std::fabs(v) > std::numeric_limits<float>::max()) throw numeric::ConversionError("overflow");
    return static_cast<float>(v);
}

// The tuning word as eight upper-case hex digits, as the hex displays show it.
std::string paddedHex(int32_t word) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<uint32_t>(word));
    FreqWordHex = buf;
    const size_t n = FreqWordHex.size();
    if (n >= 1 && n < 8) FreqWordHex.insert(0, 8 - n, '0');
    return FreqWordHex;
}

// A frequency entry is limited to half the master clock the same load reads.
float halfClock() { return static_cast<float>(registers::masterClockMHz() / 2); }

constexpr Field kPhaseFields[] = {Field::Phase0, Field::Phase1, Field::Phase2, Field::Phase3};

}  // namespace

void Outcome::merge(const Outcome& o) {
    badEntry = badEntry || o.badEntry;
    badClock = badClock || o.badClock;
    if (portFailure.empty()) portFailure = o.portFailure;
}

ChipControl::ChipControl(QObject* parent) : QObject(parent) {
    registers::setMasterClockSource([this] { return clockText(); });
    sweeps_.setLoader([this](int reg, float mhz) { sweepStep(reg, mhz); });
}

ChipControl::~ChipControl() { registers::setMasterClockSource(nullptr); }

void ChipControl::setClockSource(std::function<std::string()> source) { windowClock_ = std::move(source); }

std::string ChipControl::clockText() const {
    return windowClock_ && remote_ == 0 ? windowClock_() : committedClock_;
}

// Every action is one operation on the port: its words leave together, and a
// port that fails is reported to the caller instead of ending anything.
template <typename Fn>
Outcome ChipControl::act(Fn&& fn) {
    Outcome out;
    try {
        portlib::OperationScope op;
        fn(out);
        op.finish();
    } catch (const PortError& e) {
        out.portFailure = e.what();
    }
    return out;
}

void ChipControl::showText(Field f, const std::string& text) { emit fieldTextChanged(f, QString::fromStdString(text)); }

// ---- start-up ----------------------------------------------------------------

Outcome ChipControl::startUp() {
    if (startedUp_) return {};
    startedUp_ = true;
    try {
        MaxFreq = static_cast<float>(registers::masterClockMHz() / 2);
    } catch (const registers::ClockError&) {
        // Start-up reads the clock while it holds its first text; a missing
        // window leaves the default.
    }
    MinFreq = 0;
    return act([this](Outcome&) {
        SendWord(PortAddress, chip::sleepResetWord(0, chip::kResetBit, true));  // Reset and Clear: a known state
        SendWord(PortAddress, chip::sleepResetWord(0, 0, false));
        SleepBit = 0;
        ResetBit = 0;
        SelsrcBit = 0;
        SyncBit = 0;
        emit bitsChanged();
        registers::sendSyncSelsrc();
    });
}

// ---- register loads ----------------------------------------------------------

void ChipControl::loadFrequency(int reg, const std::string& typed) {
    const Field field = reg == 0 ? Field::Freq0 : Field::Freq1;
    if (reg == 0) {
        // FREQ0 reads its entry in double precision and rewrites a long entry
        // only when the value loaded differs from it.
        double f = numeric::toDouble(typed);
        MaxFreq = halfClock();
        const double asTyped = f;
        if (toSingleChecked(f) > MaxFreq) f = MaxFreq;
        if (toSingleChecked(f) < MinFreq) f = MinFreq;
        const bool longEntry = QString::fromStdString(typed).size() >= 9;
        showText(field, longEntry && f == asTyped ? typed : numeric::format_0_10(f));
        Freq0 = toSingleChecked(f);
        CalcFreq0Word();
    } else {
        // FREQ1 reads it in single precision and always shows the value loaded.
        float f = numeric::toSingle(typed);
        MaxFreq = halfClock();
        if (f > MaxFreq) f = MaxFreq;
        if (f < MinFreq) f = MinFreq;
        showText(field, numeric::format_0_10(f));
        Freq1 = f;
        CalcFreq1Word();
    }
    committedClock_ = registers::masterClockText();  // the clock this load read
    loadedWord_[reg] = static_cast<uint32_t>(FreqWord);
    loadedClock_[reg] = registers::masterClockMHz();
    emit tuningWordChanged(reg, QString::fromStdString(paddedHex(FreqWord)));
    if (reg == 0) LoadFreq0();
    else LoadFreq1();
}

// A sweep step loads the register without touching any display.
void ChipControl::sweepStep(int reg, float mhz) {
    registers::loadFrequencyMHz(reg, mhz);
    loadedWord_[reg] = static_cast<uint32_t>(FreqWord);
    loadedClock_[reg] = registers::masterClockMHz();
}

Outcome ChipControl::loadTuningWord(int reg, uint32_t word) {
    return act([this, reg, word](Outcome& out) {
        try {
            loadedClock_[reg] = registers::masterClockMHz();
        } catch (const registers::ClockError&) {
            out.badClock = true;
            return;
        }
        loadedWord_[reg] = word;
        FreqWord = static_cast<int32_t>(word);
        emit tuningWordChanged(reg, QString::fromStdString(paddedHex(FreqWord)));
        for (uint16_t w : chip::freqLoadWords(reg, word)) SendWord(PortAddress, w);
    });
}

Outcome ChipControl::commitFrequency(int reg, const std::string& text) {
    return act([&](Outcome& out) {
        try {
            loadFrequency(reg, text);
        } catch (const registers::ClockError&) {
            // The entry is fine, the clock is not: the entry keeps its text.
            out.badClock = true;
            showText(Field::Clock, {});
        } catch (const numeric::ConversionError&) {
            out.badEntry = true;
            showText(reg == 0 ? Field::Freq0 : Field::Freq1, {});
        }
    });
}

// PHASE0 takes the floor and shows the value loaded; the others round half to
// even and keep the text as typed unless the value was clamped.
void ChipControl::loadPhase(int reg, const std::string& typed) {
    const double d = numeric::toDouble(typed);
    const int asTyped = numeric::toInt16(reg == 0 ? std::floor(d) : numeric::roundHalfEven(d));
    int v = asTyped;
    if (v > 4095) v = 4095;
    if (v < 0) v = 0;
    registers::setPhaseParts(v);
    loadedPhase_[reg] = static_cast<uint16_t>(v);
    // The field shows the entry as typed (a remote entry too) unless it is rewritten.
    showText(kPhaseFields[reg], reg == 0 || v != asTyped ? std::to_string(v) : typed);
    registers::sendPhase(reg);
}

Outcome ChipControl::commitPhase(int reg, const std::string& text) {
    return act([&](Outcome& out) {
        try {
            loadPhase(reg, text);
        } catch (const numeric::ConversionError&) {
            out.badEntry = true;
            showText(kPhaseFields[reg], {});
        }
    });
}

Outcome ChipControl::commitClock(const std::string& text) {
    Outcome out;
    const auto clock = numeric::parseSingle(text);
    if (!clock) {
        out.badEntry = true;
        showText(Field::Clock, {});
        return out;
    }
    committedClock_ = numeric::format_clock(*clock);
    showText(Field::Clock, committedClock_);
    MaxFreq = static_cast<float>(static_cast<double>(*clock) / 2);  // the sweep checks follow the clock
    return out;
}

// ---- control commands --------------------------------------------------------

bool ChipControl::sync() const { return SyncBit != 0; }
bool ChipControl::selsrc() const { return SelsrcBit != 0; }
bool ChipControl::sleep() const { return SleepBit != 0; }
bool ChipControl::reset() const { return ResetBit != 0; }

Outcome ChipControl::toggleSync() { return setSync(!sync()); }
Outcome ChipControl::toggleSelsrc() { return setSelsrc(!selsrc()); }
Outcome ChipControl::toggleReset() { return setReset(!reset()); }

Outcome ChipControl::setBit(int32_t& state, int32_t bit, bool on, bool syncWord) {
    return act([&](Outcome&) {
        state = on ? bit : 0;
        emit bitsChanged();
        if (syncWord) registers::sendSyncSelsrc();
        else registers::sendSleepReset();
    });
}

Outcome ChipControl::setSync(bool on) { return setBit(SyncBit, chip::kSyncBit, on, true); }
Outcome ChipControl::setSelsrc(bool on) { return setBit(SelsrcBit, chip::kSelsrcBit, on, true); }
Outcome ChipControl::setReset(bool on) { return setBit(ResetBit, chip::kResetBit, on, false); }
Outcome ChipControl::setSleep(bool on) { return setBit(SleepBit, chip::kSleepBit, on, false); }

// Sync and SELSRC are forgotten without a word of their own; the Clear bit
// is never stored, so the next Sleep/Reset word releases it.
Outcome ChipControl::clear() {
    Outcome out = act([](Outcome&) { registers::sendSleepReset(true); });
    SyncBit = 0;
    SelsrcBit = 0;
    emit bitsChanged();
    return out;
}

Outcome ChipControl::selectFrequency(int reg) {
    freqSelect_ = reg;
    emit selectionChanged();
    return act([reg](Outcome&) { registers::sendFreqSelect(reg); });
}

Outcome ChipControl::selectPhase(int reg) {
    phaseSelect_ = reg;
    emit selectionChanged();
    return act([reg](Outcome&) { registers::sendPhaseSelect(reg); });
}

Outcome ChipControl::sendWord(uint16_t word) {
    return act([word](Outcome&) { SendWord(PortAddress, word); });
}

// All six registers loaded with 0, the control bits cleared, Normal, FREQ0
// and PHASE0 selected; the words are those of the single actions, in order.
Outcome ChipControl::initialise() {
    Outcome out;
    portlib::OperationScope op;
    for (Field f : {Field::Freq0, Field::Freq1, Field::Phase0, Field::Phase1, Field::Phase2, Field::Phase3})
        showText(f, "0");
    out.merge(commitFrequency(0, "0"));
    out.merge(commitFrequency(1, "0"));
    for (int reg = 0; reg < 4; ++reg) out.merge(commitPhase(reg, "0"));
    out.merge(clear());
    out.merge(setSleep(false));
    out.merge(act([this](Outcome&) {
        ResetBit = chip::kResetBit;
        SendWord(PortAddress, chip::sleepResetWord(0, chip::kResetBit, false));  // reset pulse
        SendWord(PortAddress, chip::sleepResetWord(0, 0, false));
    }));
    ResetBit = 0;
    emit bitsChanged();
    out.merge(selectFrequency(0));
    out.merge(selectPhase(0));
    try {
        op.finish();
    } catch (const PortError& e) {
        out.merge(Outcome{false, false, e.what()});
    }
    return out;
}

void ChipControl::resetState() {
    sweeps_.stopAll();
    registers::resetControlGlobals();
    registers::resetRegisterGlobals();
    startedUp_ = false;
    freqSelect_ = phaseSelect_ = 0;
    committedClock_ = "50.000000";
    for (int r = 0; r < 2; ++r) loadedWord_[r] = 0, loadedClock_[r] = 50;
    for (uint16_t& p : loadedPhase_) p = 0;
}

ChipControl& chip() {
    static ChipControl instance;
    return instance;
}

}  // namespace control
