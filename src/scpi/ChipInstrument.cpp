#include "scpi/ChipInstrument.h"

#include "board/SimulatedBoard.h"
#include "link/CommsFunctions.h"
#include "numeric/NumberText.h"
#include "portlib/Parllio.h"

#include <QCoreApplication>
#include <QDir>

#include <charconv>
#include <cmath>
#include <limits>

namespace scpi {
namespace {

// The shortest text that reads back as v: what a user would type for it.
std::string typed(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

sweep::FieldKind kindOf(int group, SweepField f) {
    switch (f) {
    case SweepField::Loops: return sweep::FieldKind::Loops;
    case SweepField::Delay: return sweep::FieldKind::Delay;
    case SweepField::Points: return sweep::FieldKind::Points;
    case SweepField::Step: return group == 1 ? sweep::FieldKind::Step8 : sweep::FieldKind::Freq;
    default: return sweep::FieldKind::Freq;
    }
}

}  // namespace

ChipInstrument::ChipInstrument(control::ChipControl& chip) : chip_(chip) {
    sweepWatch_ = QObject::connect(&chip_, &control::ChipControl::sweepingChanged, [this](int, bool) { sweepsChanged(); });
    keyingWatch_ = QObject::connect(&chip_, &control::ChipControl::keyingRunningChanged, [this](bool) { sweepsChanged(); });
    // A bus-triggered list's waiting changes with every trigger: its progress says so.
    listWatch_ = QObject::connect(&chip_, &control::ChipControl::listProgressChanged,
                                  [this](const hoplist::Progress&) { sweepsChanged(); });
}

ChipInstrument::~ChipInstrument() {
    QObject::disconnect(sweepWatch_);
    QObject::disconnect(keyingWatch_);
    QObject::disconnect(listWatch_);
}

// The sweep window's defaults.
void ChipInstrument::defaultSweeps() {
    for (int g = 0; g < 2; ++g) chip_.setSweepSettings(g, sweep::kDefaultTexts);
}

namespace {
std::string& fieldOf(sweep::FieldTexts& t, SweepField f) {
    std::string* const fields[] = {&t.start, &t.stop, &t.step, &t.loops, &t.delay, &t.points};
    return *fields[static_cast<int>(f)];
}
}  // namespace

std::string ChipInstrument::missingHardware() {
    const control::PortState port = chip_.portState();
    if (port.writesReach) return {};
    return port.present ? port.instrumentName : "NONE";
}

Outcome ChipInstrument::portMissing() {
    const std::string port = missingHardware();
    return port.empty() ? Outcome::success() : Outcome::error(HardwareMissing, port);
}

// The transmitter's framing, decoded by a simulated board on a port of its
// own: nothing reaches the chip.
int ChipInstrument::selfTest() {
    auto board = std::make_unique<SimulatedBoard>();
    std::vector<uint16_t> got;
    int framingErrors = 0;
    board->addWordObserver([&](uint16_t w) { got.push_back(w); });
    board->addFramingErrorObserver([&](int) { ++framingErrors; });
    const std::vector<uint16_t> sent = {0x0000, 0xFFFF, 0xA5C3, 0x5A3C, 0x8001};
    portlib::Parllio probe([](const std::string&) {});
    probe.setBackend(std::move(board));
    probe.setPortAddress(SimulatedBoard::kBase);
    Transmitter tx(probe);
    for (uint16_t w : sent) tx.send(w);
    return got == sent && framingErrors == 0 ? 0 : 1;
}

Outcome ChipInstrument::result(const control::Outcome& r) const {
    if (!r.portFailure.empty()) return Outcome::hardware(r.portFailure);
    if (!r.conflict.empty()) return Outcome::error(SettingsConflict, r.conflict);
    if (r.badEntry) return Outcome::error(DataOutOfRange);
    return Outcome::success();
}

Instrument::Identity ChipInstrument::identity() {
    // NONE while words would be dropped.
    std::string port = missingHardware();
    if (port.empty()) port = chip_.portState().instrumentName;
    else port = "NONE";
    return {"the Bench Signal Design Group", port, QCoreApplication::applicationVersion().toStdString()};
}

void ChipInstrument::defaultKeying() {
    chip_.setKeyingType(keying::Type::FSK);
    chip_.setKeyingPattern("PRBS7");
    if (!chip_.setKeyingRate(1000)) chip_.setKeyingRate(chip_.maxKeyingRate());  // a port slower than the default
    chip_.setKeyingCount(0);
}

// The master clock belongs to the board: it stays. A keying's end words go
// out before Initialise's.
Outcome ChipInstrument::reset() {
    if (Outcome m = portMissing(); !m.ok()) return m;
    chip_.stopSweeps();
    Outcome stopped = result(chip_.stopList());
    if (const Outcome k = result(chip_.stopKeying()); stopped.ok()) stopped = k;
    defaultSweeps();
    defaultKeying();
    // The rows stay, as the board's clock does: only how a list runs goes back.
    chip_.setListCount(1);
    chip_.setListTrigger(hoplist::Trigger::Immediate);
    const Outcome out = initialise();
    return stopped.ok() ? out : stopped;
}

Outcome ChipInstrument::initialise() {
    if (Outcome m = portMissing(); !m.ok()) return m;
    return result(chip_.initialise());
}

Outcome ChipInstrument::setFrequency(int reg, double hz) {
    if (Outcome m = portMissing(); !m.ok()) return m;
    return result(chip_.commitFrequency(reg, typed(hz / 1e6)));
}

Outcome ChipInstrument::setFrequencyWord(int reg, uint32_t word) {
    if (Outcome m = portMissing(); !m.ok()) return m;
    return result(chip_.loadTuningWord(reg, word));
}

Outcome ChipInstrument::setPhase(int reg, double value) {
    if (Outcome m = portMissing(); !m.ok()) return m;
    const double whole = reg == 0 ? std::floor(value) : numeric::roundHalfEven(value);
    if (!(whole >= -32768 && whole <= 32767)) return Outcome::error(DataOutOfRange);
    return result(chip_.commitPhase(reg, typed(value)));
}

// Outside 0.001 to 1000 MHz the clock is refused and nothing changes.
Outcome ChipInstrument::setClock(double hz) { return result(chip_.commitClockMHz(hz / 1e6)); }

double ChipInstrument::clock() { return chip_.clockMHz() * 1e6; }

Outcome ChipInstrument::setControl(ControlBit bit, bool on) {
    if (Outcome m = portMissing(); !m.ok()) return m;
    switch (bit) {
    case ControlBit::Sync: return result(chip_.setSync(on));
    case ControlBit::Selsrc: return result(chip_.setSelsrc(on));
    case ControlBit::Sleep: return result(chip_.setSleep(on));
    case ControlBit::Reset: return result(chip_.setReset(on));
    }
    return Outcome::error(CommandError);
}

bool ChipInstrument::control(ControlBit bit) {
    switch (bit) {
    case ControlBit::Sync: return chip_.sync();
    case ControlBit::Selsrc: return chip_.selsrc();
    case ControlBit::Sleep: return chip_.sleep();
    case ControlBit::Reset: return chip_.reset();
    }
    return false;
}

Outcome ChipInstrument::clear() {
    if (Outcome m = portMissing(); !m.ok()) return m;
    return result(chip_.clear());
}

// The selection options can be chosen only while SELSRC is 1, and not while
// a keying keys that kind of register.
Outcome ChipInstrument::selectFrequency(int reg) {
    if (Outcome m = portMissing(); !m.ok()) return m;
    if (chip_.keyingFrequency()) return Outcome::error(SettingsConflict, "keying");
    if (!chip_.selsrc()) return Outcome::error(SettingsConflict, "SELSRC is 0");
    return result(chip_.selectFrequency(reg));
}

Outcome ChipInstrument::selectPhase(int reg) {
    if (Outcome m = portMissing(); !m.ok()) return m;
    if (chip_.keyingPhase()) return Outcome::error(SettingsConflict, "keying");
    if (!chip_.selsrc()) return Outcome::error(SettingsConflict, "SELSRC is 0");
    return result(chip_.selectPhase(reg));
}

Outcome ChipInstrument::sendWord(uint16_t word) {
    if (Outcome m = portMissing(); !m.ok()) return m;
    return result(chip_.sendWord(word));
}

Outcome ChipInstrument::setSweep(int group, SweepField field, double value) {
    const bool frequency = field == SweepField::Start || field == SweepField::Stop || field == SweepField::Step;
    const auto entry =
        sweep::enterField(kindOf(group, field), typed(frequency ? value / 1e6 : value), chip_.maxFreq());
    if (!entry) return Outcome::error(DataOutOfRange);
    sweep::FieldTexts t = chip_.sweepSettings(group);
    fieldOf(t, field) = entry->shown;
    chip_.setSweepSettings(group, t);
    return Outcome::success();
}

double ChipInstrument::sweep(int group, SweepField field) {
    sweep::FieldTexts t = chip_.sweepSettings(group);
    const double v = numeric::parseDouble(fieldOf(t, field)).value_or(0);
    const bool frequency = field == SweepField::Start || field == SweepField::Stop || field == SweepField::Step;
    return frequency ? v * 1e6 : v;
}

Outcome ChipInstrument::setSweepLog(int group, bool log) {
    sweep::FieldTexts t = chip_.sweepSettings(group);
    t.spacing = log ? sweep::Spacing::Log : sweep::Spacing::Linear;
    chip_.setSweepSettings(group, t);
    return Outcome::success();
}

bool ChipInstrument::sweepLog(int group) { return chip_.sweepSettings(group).spacing == sweep::Spacing::Log; }

Outcome ChipInstrument::setSweepUpDown(int group, bool upDown) {
    sweep::FieldTexts t = chip_.sweepSettings(group);
    t.upDown = upDown;
    chip_.setSweepSettings(group, t);
    return Outcome::success();
}

bool ChipInstrument::sweepUpDown(int group) { return chip_.sweepSettings(group).upDown; }

Outcome ChipInstrument::startSweep(int group) {
    if (Outcome m = portMissing(); !m.ok()) return m;
    const sweep::StartCheck check = chip_.startSweep(group);
    if (check.plan) return Outcome::success();
    if (check.refusal == sweep::Refusal::NotANumber) return Outcome::error(SettingsConflict);
    if (check.refusal == sweep::Refusal::ListRunning) return Outcome::error(SettingsConflict, "list");
    return Outcome::error(SettingsConflict, sweep::refusalText(check.refusal));
}

Instrument::SweepProgress ChipInstrument::sweepProgress(int group) {
    const sweep::Progress p = chip_.sweepProgress(group);
    return {p.step, p.steps, p.loop, p.loops};
}

Outcome ChipInstrument::stopSweep(int group) {
    chip_.stopSweep(group);
    return Outcome::success();
}

// ---- keying ----

Outcome ChipInstrument::setKeyingType(KeyingType type) {
    chip_.setKeyingType(type == KeyingType::FSK    ? keying::Type::FSK
                           : type == KeyingType::BPSK ? keying::Type::BPSK
                                                      : keying::Type::QPSK);
    return Outcome::success();
}

KeyingType ChipInstrument::keyingType() {
    switch (chip_.keyingType()) {
    case keying::Type::FSK: return KeyingType::FSK;
    case keying::Type::BPSK: return KeyingType::BPSK;
    case keying::Type::QPSK: return KeyingType::QPSK;
    }
    return KeyingType::FSK;
}

Outcome ChipInstrument::setKeyingPattern(const std::string& text) {
    const std::string refusal = chip_.setKeyingPattern(text);
    return refusal.empty() ? Outcome::success() : Outcome::error(IllegalParameterValue, refusal);
}

Outcome ChipInstrument::setKeyingRate(double rate) {
    return chip_.setKeyingRate(rate) ? Outcome::success() : Outcome::error(DataOutOfRange);
}

Outcome ChipInstrument::setKeyingCount(uint64_t count) {
    return chip_.setKeyingCount(count) ? Outcome::success() : Outcome::error(DataOutOfRange);
}

Outcome ChipInstrument::startKeying() {
    if (chip_.keyingRunning()) return Outcome::error(InitIgnored);
    if (Outcome m = portMissing(); !m.ok()) return m;
    const control::Outcome r = chip_.startKeying();
    if (r.busy) return Outcome::error(InitIgnored);
    return result(r);
}

// The schedule ends even when its end words would be dropped; that is said.
Outcome ChipInstrument::stopKeying() {
    if (!chip_.keyingRunning()) return Outcome::success();
    const Outcome missing = portMissing();
    const Outcome stopped = result(chip_.stopKeying());
    return missing.ok() ? stopped : missing;
}

bool ChipInstrument::countedKeyingRunning() {
    const keying::Progress p = chip_.keyingProgress();
    return p.running && p.count != 0;
}

}  // namespace scpi

// ---- hop lists ----

namespace scpi {

Outcome ChipInstrument::setListFrequencies(const std::vector<double>& hz, bool append) {
    const std::string why = chip_.setListFrequencies(hz, append);
    return why.empty() ? Outcome::success() : Outcome::error(TooMuchData, why);
}

// Free-running only, a dwell shorter than the port can keep is refused
// naming its row (from 1, counting rows already there when appending).
Outcome ChipInstrument::setListDwells(const std::vector<double>& s, bool append) {
    const size_t first = append ? chip_.listDwells().size() + 1 : 1;
    const std::string bad = hoplist::checkDwells(s, chip_.minListDwell(), first);
    if (!bad.empty()) return Outcome::error(DataOutOfRange, bad);
    const std::string why = chip_.setListDwells(s, append);
    return why.empty() ? Outcome::success() : Outcome::error(TooMuchData, why);
}

Outcome ChipInstrument::setListCount(uint64_t passes) {
    chip_.setListCount(passes);
    return Outcome::success();
}

Outcome ChipInstrument::setTriggerBus(bool bus) {
    chip_.setListTrigger(bus ? hoplist::Trigger::Bus : hoplist::Trigger::Immediate);
    return Outcome::success();
}

Outcome ChipInstrument::startList() {
    if (chip_.listRunning()) return Outcome::error(InitIgnored);
    if (Outcome m = portMissing(); !m.ok()) return m;
    const control::Outcome r = chip_.startList();
    if (r.busy) return Outcome::error(InitIgnored);
    return result(r);
}

Outcome ChipInstrument::stopList() { return result(chip_.stopList()); }

Outcome ChipInstrument::trigger() {
    if (!chip_.listWaiting()) return Outcome::error(TriggerIgnored);
    if (Outcome m = portMissing(); !m.ok()) return m;
    bool fired = false;
    const Outcome r = result(chip_.triggerList(fired));
    if (!r.ok()) return r;
    return fired ? Outcome::success() : Outcome::error(TriggerIgnored);
}

Instrument::ListProgress ChipInstrument::listProgress() {
    const hoplist::Progress p = chip_.listProgress();
    return {p.row, p.rows, p.pass, p.passes};
}

bool ChipInstrument::countedFreeListRunning() {
    const hoplist::Progress p = chip_.listProgress();
    return p.running && p.passes != 0 && p.trigger == hoplist::Trigger::Immediate;
}

namespace {
Outcome fileOutcome(const control::ChipControl::FileOutcome& r) {
    using E = control::ChipControl::FileError;
    switch (r.error) {
    case E::None: return Outcome::success();
    case E::NotFound: return Outcome::error(FileNameNotFound);
    case E::Storage: return Outcome::error(MassStorageError, r.text);
    case E::Content: return Outcome::error(SettingsConflict, r.text);
    }
    return Outcome::error(MassStorageError);
}
}  // namespace

Outcome ChipInstrument::loadList(const std::string& name) {
    return fileOutcome(chip_.loadListFile(QDir::current().filePath(QString::fromStdString(name))));
}

Outcome ChipInstrument::saveList(const std::string& name) {
    return fileOutcome(chip_.saveListFile(QDir::current().filePath(QString::fromStdString(name))));
}

}  // namespace scpi
