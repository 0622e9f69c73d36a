#include "control/Keyer.h"

#include "link/CommsFunctions.h"

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>

Keyer::Keyer(Transmitter& tx, control::Notices& notices, Hooks hooks, QObject* parent, SweepTimer::TimeSource now)
    : QObject(parent), tx_(tx), notices_(notices), hooks_(std::move(hooks)), timer_(nullptr, std::move(now)), pattern_(*keying::parsePattern("PRBS7").pattern) {
    timer_.setTick([this](uint64_t generation, uint64_t index) { tick(generation, index); });
}

Keyer::~Keyer() { timer_.shutdown(); }

std::string Keyer::setPattern(const std::string& text) {
    keying::PatternCheck check = keying::parsePattern(text);
    if (!check.pattern) return check.refusal;
    pattern_ = std::move(*check.pattern);
    notices_.later([this] { emit settingsChanged(); });
    return {};
}

void Keyer::setType(keying::Type t) {
    type_ = t;
    notices_.later([this] { emit settingsChanged(); });
}

double Keyer::maxRate() {
    std::lock_guard guard(tx_.port().lock());
    const PortBackend* backend = tx_.port().backend();
    const double port = backend ? backend->wordsPerSecond() : 0;
    return port > 0 ? std::min(port, kScheduleLimit) : kScheduleLimit;
}

bool Keyer::setRate(double symbolsPerSecond) {
    if (!(symbolsPerSecond >= kMinRate && symbolsPerSecond <= maxRate())) return false;
    rate_ = symbolsPerSecond;
    notices_.later([this] { emit settingsChanged(); });
    return true;
}

bool Keyer::setCount(uint64_t symbols) {
    if (symbols > kMaxCount) return false;
    count_ = symbols;
    notices_.later([this] { emit settingsChanged(); });
    return true;
}

bool Keyer::start() {
    control::Notices::Operation said(notices_);
    std::lock_guard guard(tx_.port().lock());
    if (running_) return false;
    failure_.clear();
    keyed_ = pattern_;
    progress_ = keying::Progress{true, type_, 0, count_, -1, rate_};
    lastRegister_ = -1;
    {
        portlib::OperationScope op(tx_.port());
        if (hooks_.begin) hooks_.begin();
        op.finish();  // a failure here leaves nothing keyed
    }
    running_ = true;
    // As for sweeps, a stall up to SweepTimer::kCatchUpMs is made up in a short
    // burst, so no symbol is lost to it; only a longer one skips ahead.
    const int catchUp = static_cast<int>(std::ceil(SweepTimer::kCatchUpMs * rate_ / 1000));
    timer_.setRate(rate_, std::max(catchUp, 3));
    timer_.setEnabled(true);
    changed(true);
    return true;
}

void Keyer::stop() {
    control::Notices::Operation said(notices_);
    std::lock_guard guard(tx_.port().lock());
    if (running_) finish();
}

void Keyer::finish() {
    timer_.setEnabled(false);
    running_ = false;
    progress_.running = false;
    ++ended_;
    struct Announce {
        Keyer* k;
        ~Announce() { k->changed(true); }
    } announce{this};  // said also when the end words fail
    portlib::OperationScope op(tx_.port());
    if (hooks_.end) hooks_.end(progress_.type);
    op.finish();
}

// Symbol `index` is due now. After a long stall the schedule skips ahead, so
// the symbol on the output is the one of the moment.
void Keyer::tick(uint64_t generation, uint64_t index) {
    std::lock_guard guard(tx_.port().lock());
    if (!timer_.current(generation) || !running_) return;
    if (progress_.count != 0 && index >= progress_.count) {
        progress_.sent = progress_.count;
        try {
            finish();
        } catch (const PortError& e) {
            failure_ = e.what();
        }
        return;
    }
    const int symbol = keyed_.symbolAt(progress_.type, index);
    try {
        if (symbol != lastRegister_) {
            portlib::OperationScope op(tx_.port());
            tx_.send(keying::selectWord(progress_.type, symbol));
            op.finish();
            lastRegister_ = symbol;
        }
    } catch (const PortError& e) {
        failure_ = e.what();
        try {
            finish();
        } catch (const PortError&) {
        }
        return;
    }
    progress_.sent = index + 1;
    progress_.symbol = symbol;
    changed(false);
}

keying::Progress Keyer::progress() const {
    std::lock_guard guard(tx_.port().lock());
    return progress_;
}

std::string Keyer::lastFailure() const {
    std::lock_guard guard(tx_.port().lock());
    return failure_;
}

// A change of state is said once the lock is free, on the keyer's thread
// (see control::Notices). Progress waits at most one
// announcement at a time, no closer than kProgressInterval to the last; one
// that comes too soon is said when the interval is up, so the last symbol
// always shows however slow the keying.
void Keyer::changed(bool announceState) {
    if (announceState) {
        notices_.later([this] {
            pace_.said();
            emit runningChanged(running_);
            emit progressChanged(progress());
        });
        return;
    }
    pace_.progressed([this] { emit progressChanged(progress()); });
}
