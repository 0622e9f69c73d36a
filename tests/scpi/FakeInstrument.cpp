#include "FakeInstrument.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using scpi::Outcome;

namespace {

std::string num(double v) {
    char buf[400];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed).ptr);
}

[[noreturn]] void invalid(const char* what) {
    std::fprintf(stderr, "FakeInstrument: invalid argument reached the instrument: %s\n", what);
    std::abort();
}

}  // namespace

int FakeInstrument::index(int n, int max) {
    if (n < 0 || n > max) invalid("register or group number");
    return n;
}

double FakeInstrument::finite(double v) {
    if (!std::isfinite(v)) invalid("non-finite number");
    return v;
}

Outcome FakeInstrument::record(std::string call, Outcome own) {
    calls.push_back(std::move(call));
    if (failNext.ok()) return own;
    Outcome o = std::move(failNext);
    failNext = {};
    return o;
}

void FakeInstrument::initialState() {
    word_[0] = word_[1] = 0;
    wordClock_[0] = wordClock_[1] = clock_;
    for (auto& p : phase_) p = 0;
    for (auto& b : bits_) b = false;
    selFreq_ = selPhase_ = 0;
}

Outcome FakeInstrument::reset() {
    finishSweep(0);
    finishSweep(1);
    finishKeying();
    keyingType_ = scpi::KeyingType::FSK;
    pattern_ = "PRBS7";
    rate_ = 1000;
    count_ = 0;
    for (auto& g : sweep_) {
        const double defaults[6] = {0, 10e6, 1e6, 1, 1, 11};
        std::copy(defaults, defaults + 6, g);
    }
    log_[0] = log_[1] = upDown_[0] = upDown_[1] = false;
    initialState();
    return record("reset()");
}

Outcome FakeInstrument::initialise() {
    initialState();
    return record("initialise()");
}

Outcome FakeInstrument::setFrequency(int reg, double hz) {
    index(reg, 1);
    const double limit = clock_ * 2147483647.0 / 4294967296.0;
    const double f = std::max(0.0, finite(hz));
    word_[reg] = f >= limit ? 0x7FFFFFFFu : static_cast<uint32_t>(std::nearbyint(4294967296.0 * f / clock_));
    wordClock_[reg] = clock_;
    return record("setFrequency(" + std::to_string(reg) + "," + num(hz) + ")");
}

Outcome FakeInstrument::setFrequencyWord(int reg, uint32_t word) {
    word_[index(reg, 1)] = word;
    wordClock_[reg] = clock_;
    return record("setFrequencyWord(" + std::to_string(reg) + "," + std::to_string(word) + ")");
}

Outcome FakeInstrument::setPhase(int reg, double value) {
    index(reg, 3);
    const bool fits = finite(value) >= -32768 && value <= 32767;
    if (fits) phase_[reg] = static_cast<uint16_t>(std::clamp(std::floor(value), 0.0, 4095.0));
    return record("setPhase(" + std::to_string(reg) + "," + num(value) + ")",
                  fits ? Outcome{} : Outcome::error(scpi::DataOutOfRange));
}

Outcome FakeInstrument::setClock(double hz) {
    const bool positive = finite(hz) > 0;
    if (positive) clock_ = hz;
    return record("setClock(" + num(hz) + ")", positive ? Outcome{} : Outcome::error(scpi::DataOutOfRange));
}

Outcome FakeInstrument::setControl(scpi::ControlBit bit, bool on) {
    bits_[index(static_cast<int>(bit), 3)] = on;
    return record("setControl(" + std::to_string(static_cast<int>(bit)) + "," + (on ? "1" : "0") + ")");
}

Outcome FakeInstrument::clear() {
    bits_[static_cast<int>(scpi::ControlBit::Sync)] = bits_[static_cast<int>(scpi::ControlBit::Selsrc)] = false;
    return record("clear()");
}

Outcome FakeInstrument::select(int& selection, int reg, const char* name) {
    const bool allowed = control(scpi::ControlBit::Selsrc);
    if (allowed) selection = reg;
    return record(std::string(name) + "(" + std::to_string(reg) + ")",
                  allowed ? Outcome{} : Outcome::error(scpi::SettingsConflict, "SELSRC is 0"));
}

Outcome FakeInstrument::selectFrequency(int reg) { return select(selFreq_, index(reg, 1), "selectFrequency"); }

Outcome FakeInstrument::selectPhase(int reg) { return select(selPhase_, index(reg, 3), "selectPhase"); }

Outcome FakeInstrument::sendWord(uint16_t word) { return record("sendWord(" + std::to_string(word) + ")"); }

Outcome FakeInstrument::setSweep(int group, scpi::SweepField field, double value) {
    const int f = index(static_cast<int>(field), 5);
    sweep_[index(group, 1)][f] = finite(value);
    return record("setSweep(" + std::to_string(group) + "," + std::to_string(f) + "," + num(value) + ")");
}

Outcome FakeInstrument::setSweepLog(int group, bool log) {
    log_[index(group, 1)] = log;
    return record("setSweepLog(" + std::to_string(group) + "," + std::to_string(log) + ")");
}

Outcome FakeInstrument::setSweepUpDown(int group, bool upDown) {
    upDown_[index(group, 1)] = upDown;
    return record("setSweepUpDown(" + std::to_string(group) + "," + std::to_string(upDown) + ")");
}

Outcome FakeInstrument::startSweep(int group) {
    const double* s = sweep_[index(group, 1)];
    const bool fits = std::fabs(s[0] - s[1]) >= s[2];
    if (fits) {
        running_[group] = true;
        sweepsChanged();
    }
    return record("startSweep(" + std::to_string(group) + ")",
                  fits ? Outcome{}
                       : Outcome::error(scpi::SettingsConflict, "Step size is too big for start and stop frequencies"));
}

void FakeInstrument::finishSweep(int group) {
    if (!running_[index(group, 1)]) return;
    running_[group] = false;
    ++ended_[group];
    sweepsChanged();
}

Outcome FakeInstrument::stopSweep(int group) {
    finishSweep(group);
    return record("stopSweep(" + std::to_string(group) + ")");
}

Outcome FakeInstrument::setKeyingType(scpi::KeyingType type) {
    const int t = static_cast<int>(type);
    if (t < 0 || t > 2) invalid("keying type");
    keyingType_ = type;
    return record("setKeyingType(" + std::to_string(t) + ")");
}

// Letters, digits, blanks and '#': the program's own reasons are not copied.
Outcome FakeInstrument::setKeyingPattern(const std::string& text) {
    const bool fits = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '#';
    });
    if (fits) pattern_ = text;
    return record("setKeyingPattern(" + text + ")",
                  fits ? Outcome{} : Outcome::error(scpi::IllegalParameterValue, "bad pattern"));
}

Outcome FakeInstrument::setKeyingRate(double rate) {
    if (!(finite(rate) >= minKeyingRate() && rate <= maxKeyingRate())) invalid("keying rate out of range");
    rate_ = rate;
    return record("setKeyingRate(" + num(rate) + ")");
}

Outcome FakeInstrument::setKeyingCount(uint64_t count) {
    if (count > maxKeyingCount()) invalid("keying count out of range");
    count_ = count;
    return record("setKeyingCount(" + std::to_string(count) + ")");
}

Outcome FakeInstrument::startKeying() {
    if (keying_) invalid("a keying started twice");
    keying_ = true;
    keyedCount_ = count_;
    sweepsChanged();
    return record("startKeying()");
}

void FakeInstrument::finishKeying() {
    if (!keying_) return;
    keying_ = false;
    ++keyingsEnded_;
    sweepsChanged();
}

Outcome FakeInstrument::stopKeying() {
    finishKeying();
    return record("stopKeying()");
}
