#include "control/ChipControl.h"

#include "numeric/NumberText.h"
#include "numeric/TuningWord.h"
#include "registers/ChipWords.h"

#include <QFile>
#include <QSaveFile>
#include <QThread>

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

constexpr Field kPhaseFields[] = {Field::Phase0, Field::Phase1, Field::Phase2, Field::Phase3};

}  // namespace

double ChipState::frequencyMHz(int reg) const { return numeric::wordMHz(word[reg], clockMHz); }

void Outcome::merge(const Outcome& o) {
    badEntry = badEntry || o.badEntry;
    busy = busy || o.busy;
    if (portFailure.empty()) portFailure = o.portFailure;
    if (conflict.empty()) conflict = o.conflict;
}

ChipControl::ChipControl(Transmitter& transmitter, QObject* parent, SweepTimer::TimeSource keyingClock)
    : QObject(parent),
      tx_(transmitter),
      notices_(this),
      regs_(transmitter),
      sweeps_(transmitter.port().lock(), notices_, [this](int reg, float mhz) { sweepStep(reg, mhz); }),
      keyer_(transmitter, notices_, {[this] { keyingBegins(); }, [this](keying::Type t) { keyingEnds(t); }}, nullptr,
             keyingClock),
      list_(transmitter, notices_, listHooks(), std::move(keyingClock)) {
    sweeps_.setLimit([this] { return maxFreq(); });
    sweeps_.setGate([this] { return list_.running(); });
    // The engines announce on this object's thread, after the lock is free;
    // the views hear it from here.
    connect(&sweeps_, &SweepEngine::settingsChanged, this, &ChipControl::sweepSettingsChanged);
    connect(&sweeps_, &SweepEngine::sweepingChanged, this, &ChipControl::sweepingChanged);
    connect(&sweeps_, &SweepEngine::progressChanged, this, &ChipControl::sweepProgressChanged);
    connect(&keyer_, &Keyer::settingsChanged, this, &ChipControl::keyingSettingsChanged);
    connect(&keyer_, &Keyer::runningChanged, this, &ChipControl::keyingRunningChanged);
    connect(&keyer_, &Keyer::progressChanged, this, &ChipControl::keyingProgressChanged);
    connect(&list_, &HopList::settingsChanged, this, &ChipControl::listSettingsChanged);
    connect(&list_, &HopList::runningChanged, this, &ChipControl::listRunningChanged);
    connect(&list_, &HopList::progressChanged, this, &ChipControl::listProgressChanged);
}

ChipControl::~ChipControl() = default;

// Every action is one operation on the port: its words leave together, no
// sweep step comes between them, and a port that fails is reported to the
// caller instead of ending anything.
template <typename Fn>
Outcome ChipControl::act(Fn&& fn) {
    Outcome out;
    Notices::Operation said(notices_);  // after the scope: its lock is released first
    try {
        portlib::OperationScope op(tx_.port());
        if (!halted_) fn(out);
        op.finish();
    } catch (const PortError& e) {
        out.portFailure = e.what();
    }
    return out;
}

void ChipControl::showText(Field f, const std::string& text, bool own) {
    notify([this, f, t = QString::fromStdString(text), own] { emit fieldTextChanged(f, t, own); });
}

void ChipControl::showRegister(int reg) {
    showText(reg == 0 ? Field::Freq0 : Field::Freq1,
             numeric::format_0_10(numeric::wordMHz(loadedWord_[reg], regs_.MasterClock)), false);
}

ChipState ChipControl::state() const {
    std::lock_guard guard(tx_.port().lock());
    ChipState s;
    s.sync = regs_.SyncBit != 0;
    s.selsrc = regs_.SelsrcBit != 0;
    s.sleep = regs_.SleepBit != 0;
    s.reset = regs_.ResetBit != 0;
    s.freqSelect = freqSelect_;
    s.phaseSelect = phaseSelect_;
    for (int r = 0; r < 2; ++r) s.word[r] = loadedWord_[r];
    for (int r = 0; r < 4; ++r) s.phase[r] = loadedPhase_[r];
    s.clockMHz = regs_.MasterClock;
    return s;
}

// ---- start-up ----------------------------------------------------------------

Outcome ChipControl::startUp() {
    if (startedUp_) return {};
    startedUp_ = true;
    return act([this](Outcome&) {
        tx_.send(chip::sleepResetWord(0, chip::kResetBit, true));  // Reset and Clear: a known state
        tx_.send(chip::sleepResetWord(0, 0, false));
        regs_.SleepBit = 0;
        regs_.ResetBit = 0;
        regs_.SelsrcBit = 0;
        regs_.SyncBit = 0;
        announceBits();
        regs_.sendSyncSelsrc();
    });
}

// ---- master clock ------------------------------------------------------------

double ChipControl::clockMHz() const {
    std::lock_guard guard(tx_.port().lock());
    return regs_.MasterClock;
}

std::string ChipControl::clockText() const { return numeric::format_clock(static_cast<float>(clockMHz())); }

float ChipControl::maxFreq() const {
    std::lock_guard guard(tx_.port().lock());
    return regs_.MaxFreq;
}

Outcome ChipControl::commitClock(const std::string& text) {
    const auto mhz = numeric::parseDouble(text);
    return commitClockMHz(mhz ? *mhz : -1);
}

// Nothing is sent: the registers keep their words, and their fields show
// what those words make at the new clock.
Outcome ChipControl::commitClockMHz(double mhz) {
    Notices::Operation said(notices_);
    std::lock_guard guard(tx_.port().lock());
    if (!clockInRange(mhz)) {
        showText(Field::Clock, clockText());
        return Outcome{true, {}, false, {}};
    }
    // The clock is kept as its field shows it, so a load computes from what the user sees.
    regs_.MasterClock = numeric::parseDouble(numeric::format_clock(static_cast<float>(mhz))).value_or(mhz);
    regs_.MaxFreq = static_cast<float>(regs_.MasterClock / 2);
    showRegister(0);
    showRegister(1);
    showText(Field::Clock, clockText());
    notify([this, c = regs_.MasterClock] { emit clockChanged(c); });
    return {};
}

// ---- register loads ----------------------------------------------------------

uint32_t ChipControl::loadedWord(int reg) const {
    std::lock_guard guard(tx_.port().lock());
    return loadedWord_[reg];
}

double ChipControl::loadedClockMHz(int reg) const {
    std::lock_guard guard(tx_.port().lock());
    return loadedClock_[reg];
}

void ChipControl::noteLoad(int reg, uint32_t word) {
    loadedWord_[reg] = word;
    loadedClock_[reg] = regs_.MasterClock;
}

void ChipControl::loadFrequency(int reg, const std::string& typed) {
    const Field field = reg == 0 ? Field::Freq0 : Field::Freq1;
    if (reg == 0) {
        // FREQ0 reads its entry in double precision and rewrites a long entry
        // only when the value loaded differs from it.
        double f = numeric::toDouble(typed);
        const double asTyped = f;
        if (toSingleChecked(f) > regs_.MaxFreq) f = regs_.MaxFreq;
        if (toSingleChecked(f) < regs_.MinFreq) f = regs_.MinFreq;
        const bool longEntry = QString::fromStdString(typed).size() >= 9;
        showText(field, longEntry && f == asTyped ? typed : numeric::format_0_10(f));
        regs_.Freq0 = toSingleChecked(f);
        regs_.CalcFreq0Word();
    } else {
        // FREQ1 reads it in single precision and always shows the value loaded.
        float f = numeric::toSingle(typed);
        if (f > regs_.MaxFreq) f = regs_.MaxFreq;
        if (f < regs_.MinFreq) f = regs_.MinFreq;
        showText(field, numeric::format_0_10(f));
        regs_.Freq1 = f;
        regs_.CalcFreq1Word();
    }
    noteLoad(reg, static_cast<uint32_t>(regs_.FreqWord));
    notify([this, reg, hex = QString::fromStdString(regs_.fill_string())] { emit tuningWordChanged(reg, hex); });
    if (reg == 0) regs_.LoadFreq0();
    else regs_.LoadFreq1();
}

// A sweep step, on the sweep's thread: the load and nothing shown (the
// engine announces its progress).
void ChipControl::sweepStep(int reg, float mhz) {
    portlib::OperationScope op(tx_.port());  // one step, one transfer
    regs_.loadFrequencyMHz(reg, mhz);
    noteLoad(reg, static_cast<uint32_t>(regs_.FreqWord));
    op.finish();
}

Outcome ChipControl::loadTuningWord(int reg, uint32_t word) {
    return act([this, reg, word](Outcome& out) {
        if (listHolds(out)) return;
        noteLoad(reg, word);
        regs_.FreqWord = static_cast<int32_t>(word);
        notify([this, reg, hex = QString::fromStdString(regs_.fill_string())] { emit tuningWordChanged(reg, hex); });
        showRegister(reg);
        for (uint16_t w : chip::freqLoadWords(reg, word)) tx_.send(w);
    });
}

Outcome ChipControl::resendFrequency(int reg) {
    return act([this, reg](Outcome& out) {
        if (listHolds(out)) return;
        for (uint16_t w : chip::freqLoadWords(reg, loadedWord_[reg])) tx_.send(w);
    });
}

Outcome ChipControl::resendPhase(int reg) {
    return act([this, reg](Outcome&) {
        regs_.setPhaseParts(loadedPhase_[reg]);
        regs_.sendPhase(reg);
    });
}

void ChipControl::resendState() {
    portlib::OperationScope op(tx_.port());
    regs_.sendSleepReset();
    regs_.sendSyncSelsrc();
    for (int reg = 0; reg < 2; ++reg)
        for (uint16_t w : chip::freqLoadWords(reg, loadedWord_[reg])) tx_.send(w);
    for (int reg = 0; reg < 4; ++reg)
        for (uint16_t w : chip::phaseLoadWords(reg, loadedPhase_[reg] >> 8, loadedPhase_[reg] & 0xFF)) tx_.send(w);
    regs_.sendFreqSelect(freqSelect_);
    regs_.sendPhaseSelect(phaseSelect_);
    op.finish();
}

Outcome ChipControl::commitFrequency(int reg, const std::string& text) {
    return act([&](Outcome& out) {
        if (listHolds(out)) {
            showRegister(reg);  // the field shows the register the list left, not the refused entry
            return;
        }
        try {
            loadFrequency(reg, text);
        } catch (const numeric::ConversionError&) {
            out.badEntry = true;
            showText(reg == 0 ? Field::Freq0 : Field::Freq1, {});
        }
    });
}

// PHASE0 takes the floor, the others round half to even; each field keeps the
// text as typed only when it is the value loaded.
void ChipControl::loadPhase(int reg, const std::string& typed) {
    const double d = numeric::toDouble(typed);
    const int asTyped = numeric::toInt16(reg == 0 ? std::floor(d) : numeric::roundHalfEven(d));
    int v = asTyped;
    if (v > 4095) v = 4095;
    if (v < 0) v = 0;
    regs_.setPhaseParts(v);
    loadedPhase_[reg] = static_cast<uint16_t>(v);
    showText(kPhaseFields[reg], reg == 0 || d != v ? std::to_string(v) : typed);
    regs_.sendPhase(reg);
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

// ---- control commands --------------------------------------------------------

Outcome ChipControl::toggleSync() { return setSync(!sync()); }
Outcome ChipControl::toggleSelsrc() { return setSelsrc(!selsrc()); }
Outcome ChipControl::toggleReset() { return setReset(!reset()); }

Outcome ChipControl::setBit(int32_t& state, int32_t bit, bool on, bool syncWord) {
    return act([&](Outcome&) {
        state = on ? bit : 0;
        announceBits();
        if (syncWord) regs_.sendSyncSelsrc();
        else regs_.sendSleepReset();
    });
}

Outcome ChipControl::setSync(bool on) { return setBit(regs_.SyncBit, chip::kSyncBit, on, true); }
Outcome ChipControl::setSelsrc(bool on) {
    Outcome out = stopList();
    out.merge(stopKeying());
    out.merge(setBit(regs_.SelsrcBit, chip::kSelsrcBit, on, true));
    return out;
}
Outcome ChipControl::setReset(bool on) { return setBit(regs_.ResetBit, chip::kResetBit, on, false); }
Outcome ChipControl::setSleep(bool on) { return setBit(regs_.SleepBit, chip::kSleepBit, on, false); }

// Sync and SELSRC are forgotten without a word of their own; the Clear bit
// is never stored, so the next Sleep/Reset word releases it.
Outcome ChipControl::clear() {
    Outcome out = stopList();
    out.merge(stopKeying());
    out.merge(act([this](Outcome&) {
        regs_.SyncBit = 0;
        regs_.SelsrcBit = 0;
        announceBits();
        regs_.sendSleepReset(true);
    }));
    return out;
}

Outcome ChipControl::selectFrequency(int reg) {
    return act([this, reg](Outcome& out) {
        if (listHolds(out)) {
            notify([this] { emit selectionChanged(); });  // the options show the list's choice again
            return;
        }
        freqSelect_ = reg;
        notify([this] { emit selectionChanged(); });
        if (!keyingFrequency()) regs_.sendFreqSelect(reg);
    });
}

Outcome ChipControl::selectPhase(int reg) {
    return act([this, reg](Outcome&) {
        phaseSelect_ = reg;
        notify([this] { emit selectionChanged(); });
        if (!keyingPhase()) regs_.sendPhaseSelect(reg);
    });
}

void ChipControl::halt() {
    {
        std::lock_guard guard(tx_.port().lock());
        halted_ = true;
    }
    list_.halt();
    keyer_.halt();
    sweeps_.halt();
}

// ---- keying ------------------------------------------------------------------

Outcome ChipControl::startKeying() {
    return act([this](Outcome& out) {
        if (keying::keysFrequency(keyer_.type()) && listHolds(out)) return;
        out.busy = !keyer_.start();
    });
}

Outcome ChipControl::stopKeying() {
    return act([this](Outcome&) { keyer_.stop(); });
}

bool ChipControl::keyingFrequency() const {
    const keying::Progress p = keyer_.progress();
    return p.running && keying::keysFrequency(p.type);
}

bool ChipControl::keyingPhase() const {
    const keying::Progress p = keyer_.progress();
    return p.running && !keying::keysFrequency(p.type);
}

// Select words are obeyed only while SELSRC is 1.
void ChipControl::keyingBegins() {
    if (regs_.SelsrcBit) return;
    selsrcForKeying_ = true;
    regs_.SelsrcBit = chip::kSelsrcBit;
    announceBits();
    regs_.sendSyncSelsrc();
}

// The selection goes back to the main window's while SELSRC still holds, so
// the chip is left as the window shows it. The stored SELSRC is the
// window's again even when the port fails here.
void ChipControl::keyingEnds(keying::Type type) {
    const bool lower = selsrcForKeying_ && !list_.running();  // a list needs SELSRC still
    selsrcForKeying_ = false;
    if (lower) {
        regs_.SelsrcBit = 0;
        announceBits();
    }
    if (keying::keysFrequency(type)) regs_.sendFreqSelect(freqSelect_);
    else regs_.sendPhaseSelect(phaseSelect_);
    if (lower) regs_.sendSyncSelsrc();
}

// ---- hop lists ---------------------------------------------------------------

bool ChipControl::listHolds(Outcome& out) const {
    if (!list_.running()) return false;
    out.conflict = "list";
    return true;
}

// The list's words go through the stored state, so the windows show what
// the chip holds. Select words are not announced one by one: the list's
// progress (ten times a second at most) and its end are.
HopList::Hooks ChipControl::listHooks() {
    HopList::Hooks h;
    h.idleRegister = [this] { return 1 - freqSelect_; };
    h.load = [this](int reg, uint32_t word) {
        noteLoad(reg, word);
        for (uint16_t w : chip::freqLoadWords(reg, word)) tx_.send(w);
    };
    h.raiseSelsrc = [this] {
        selsrcForKeying_ = false;  // the list keeps it: a phase keying ending now must not lower it
        if (regs_.SelsrcBit) return;
        regs_.SelsrcBit = chip::kSelsrcBit;
        announceBits();
        regs_.sendSyncSelsrc();
    };
    h.select = [this](int reg) {
        freqSelect_ = reg;
        regs_.sendFreqSelect(reg);
    };
    h.ended = [this] {
        announceBits();
        notify([this] { emit selectionChanged(); });
        for (int reg = 0; reg < 2; ++reg) {
            showRegister(reg);
            char hex[9];
            std::snprintf(hex, sizeof hex, "%08X", loadedWord_[reg]);
            notify([this, reg, h = QString::fromLatin1(hex)] { emit tuningWordChanged(reg, h); });
        }
    };
    h.clockMHz = [this] { return regs_.MasterClock; };
    return h;
}

Outcome ChipControl::startList() {
    return act([this](Outcome& out) {
        if (list_.running()) {
            out.busy = true;
            return;
        }
        if (sweeps_.sweeping(0) || sweeps_.sweeping(1)) {
            out.conflict = "sweep";
            return;
        }
        if (keyingFrequency()) {
            out.conflict = "keying";
            return;
        }
        out.conflict = list_.start();
    });
}

Outcome ChipControl::stopList() {
    return act([this](Outcome&) { list_.stop(); });
}

Outcome ChipControl::triggerList(bool& fired) {
    fired = false;
    return act([this, &fired](Outcome&) { fired = list_.fire(); });
}

ChipControl::FileOutcome ChipControl::loadListFile(const QString& path) {
    QFile file(path);
    if (!file.exists()) return {FileError::NotFound, "no file " + path.toStdString()};
    if (!file.open(QIODevice::ReadOnly)) return {FileError::Storage, file.errorString().toStdString()};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return {FileError::Storage, file.errorString().toStdString()};
    const hoplist::CsvRead read = hoplist::parseCsv(bytes.toStdString(), clockMHz() * 1e6 / 2, list_.minDwell());
    if (!read.error.empty()) return {FileError::Content, read.error};
    list_.setTable(read.table);
    return {};
}

// A full disk must not leave a cut list in place of a good one.
ChipControl::FileOutcome ChipControl::saveListFile(const QString& path) {
    const size_t rows = list_.frequencies().size(), dwells = list_.dwells().size();
    if (dwells != 1 && dwells != rows)
        return {FileError::Content, std::to_string(rows) + " frequencies but " + std::to_string(dwells) + " dwells"};
    const std::string text = hoplist::formatCsv({list_.frequencies(), list_.dwells()});
    QSaveFile file(path);
    const auto size = static_cast<qint64>(text.size());
    qint64 written = 0;
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        for (qint64 n = 0; written < size && (n = file.write(text.data() + written, size - written)) > 0;) written += n;
    }
    if (written != size || !file.commit()) return {FileError::Storage, file.errorString().toStdString()};
    return {};
}

// A keying ends on its schedule's thread too; the windows hear of it on ours.
void ChipControl::announceBits() {
    notify([this] { emit bitsChanged(); });
}

Outcome ChipControl::sendWord(uint16_t word) {
    return act([this, word](Outcome&) { tx_.send(word); });
}

// All six registers loaded with 0, the control bits cleared, Normal, FREQ0
// and PHASE0 selected; the words are those of the single actions, in order.
Outcome ChipControl::initialise() {
    Notices::Operation said(notices_);
    Outcome out = stopList();
    out.merge(stopKeying());
    portlib::OperationScope op(tx_.port());
    for (Field f : {Field::Freq0, Field::Freq1, Field::Phase0, Field::Phase1, Field::Phase2, Field::Phase3})
        showText(f, "0");
    out.merge(commitFrequency(0, "0"));
    out.merge(commitFrequency(1, "0"));
    for (int reg = 0; reg < 4; ++reg) out.merge(commitPhase(reg, "0"));
    out.merge(clear());
    out.merge(setSleep(false));
    out.merge(act([this](Outcome&) {
        regs_.ResetBit = chip::kResetBit;
        tx_.send(chip::sleepResetWord(0, chip::kResetBit, false));  // reset pulse
        tx_.send(chip::sleepResetWord(0, 0, false));
        regs_.ResetBit = 0;
        announceBits();
    }));
    out.merge(selectFrequency(0));
    out.merge(selectPhase(0));
    try {
        op.finish();
    } catch (const PortError& e) {
        out.merge(Outcome{false, e.what(), false, {}});
    }
    return out;
}

const SweepTimer& ChipControl::sweepTimer(int t) const {
    const SweepTimer* const timers[] = {&sweeps_.Countup1, &sweeps_.Countdown1, &sweeps_.Countup2,
                                        &sweeps_.countdown2};
    return *timers[t];
}

void ChipControl::sweepTick(int t) {
    switch (t) {
        case 0: sweeps_.countup1_Timer(); break;
        case 1: sweeps_.countdown1_Timer(); break;
        case 2: sweeps_.countup2_Timer(); break;
        default: sweeps_.countdown2_Timer(); break;
    }
}

SweepGroup ChipControl::sweepGroup(int g) { return sweeps_.group(g).group(); }

void ChipControl::restoreSweepGroup(int g, const SweepGroup& group) { sweeps_.group(g).restore(group); }

PortState ChipControl::portState() const {
    portlib::Parllio& port = tx_.port();
    std::lock_guard guard(port.lock());
    PortState s;
    PortBackend* backend = port.backend();
    s.present = backend != nullptr;
    s.writesReach = port.writesReach();
    s.recordFailure = port.recordFailure();
    if (backend) {
        s.instrumentName = backend->instrumentName();
        s.status = backend->statusLine(port.portAddress());
    }
    return s;
}

}  // namespace control
