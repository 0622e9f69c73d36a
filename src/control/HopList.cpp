#include "control/HopList.h"

#include "link/CommsFunctions.h"
#include "numeric/NumberText.h"
#include "numeric/TuningWord.h"

#include <QTimer>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>

namespace {

// "0.2 ms", "1.5 s": a dwell as a person reads it.
std::string dwellText(double s) {
    char buf[64];
    if (s < 1) std::snprintf(buf, sizeof buf, "%g ms", s * 1e3);
    else std::snprintf(buf, sizeof buf, "%g s", s);
    return buf;
}

}  // namespace

namespace hoplist {

std::string checkDwells(const std::vector<double>& dwellS, double minDwellS, size_t firstRow) {
    for (size_t i = 0; i < dwellS.size(); ++i) {
        const double d = dwellS[i];
        if (d >= minDwellS && d <= kMaxDwellS) continue;
        return "row " + std::to_string(firstRow + i) + ": dwell " + dwellText(d) + " is outside " +
               dwellText(minDwellS) + " to " + dwellText(kMaxDwellS);
    }
    return {};
}

namespace {

// One CSV field, blanks around it dropped, its quotes (if any) removed.
std::string field(std::string_view f) {
    while (!f.empty() && (f.front() == ' ' || f.front() == '\t')) f.remove_prefix(1);
    while (!f.empty() && (f.back() == ' ' || f.back() == '\t')) f.remove_suffix(1);
    if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
    return std::string(f);
}

std::vector<std::string> fields(std::string_view line) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t at; (at = line.find(',', start)) != std::string_view::npos; start = at + 1)
        out.push_back(field(line.substr(start, at - start)));
    out.push_back(field(line.substr(start)));
    return out;
}

}  // namespace

CsvRead parseCsv(const std::string& text, double maxHz, double minDwellS) {
    CsvRead r;
    auto refuse = [&r](size_t line, std::string why) {
        r.table = {};
        const bool column = why.rfind("column", 0) == 0;
        r.error = "line " + std::to_string(line) + (column ? ", " : ": ") + std::move(why);
        return r;
    };
    // A list written whole ends with a line end: one without was cut short.
    if (!text.empty() && text.back() != '\n') {
        const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
        return refuse(lines, "the last line has no line end (the file was cut short)");
    }
    int hzColumn = -1, dwellColumn = -1;
    size_t columns = 0;
    size_t lineNo = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (lineNo == 1 && line.size() >= 3 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
        if (hzColumn < 0 && dwellColumn < 0 && columns == 0) {
            const std::vector<std::string> names = fields(line);
            for (size_t c = 0; c < names.size(); ++c) {
                std::string n = names[c];
                for (char& ch : n) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                const std::string col = "column " + std::to_string(c + 1);
                if (n == "frequency_hz" && hzColumn < 0) hzColumn = static_cast<int>(c);
                else if (n == "dwell_s" && dwellColumn < 0) dwellColumn = static_cast<int>(c);
                else return refuse(lineNo, col + ": \"" + names[c] + "\" is not frequency_hz or dwell_s");
            }
            if (hzColumn < 0 || dwellColumn < 0)
                return refuse(lineNo, "the header must name frequency_hz and dwell_s");
            columns = names.size();
            continue;
        }
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;  // a blank line
        const std::vector<std::string> values = fields(line);
        if (values.size() != columns)
            return refuse(lineNo, "column " + std::to_string(std::min(values.size(), columns) + 1) + ": " +
                                      std::to_string(values.size()) + " values, the header names " +
                                      std::to_string(columns));
        if (r.table.hz.size() == kMaxRows)
            return refuse(lineNo, "more than " + std::to_string(kMaxRows) + " rows");
        double v[2];
        const int cols[2] = {hzColumn, dwellColumn};
        const char* names[2] = {"frequency_hz", "dwell_s"};
        for (int k = 0; k < 2; ++k) {
            const std::string& t = values[static_cast<size_t>(cols[k])];
            const std::string col = "column " + std::to_string(cols[k] + 1) + " (" + names[k] + "): ";
            const std::optional<double> d = numeric::parseDouble(t);
            if (!d || !std::isfinite(*d)) return refuse(lineNo, col + "\"" + t + "\" is not a number");
            v[k] = *d;
            if (k == 0 && !(v[0] >= 0 && v[0] <= maxHz))
                return refuse(lineNo, col + t + " is outside 0 to " + numeric::format_0_10(maxHz / 1e6) + " MHz");
            if (k == 1) {
                const std::string why = checkDwells({v[1]}, minDwellS);
                if (!why.empty()) return refuse(lineNo, col + why.substr(why.find(':') + 2));
            }
        }
        r.table.hz.push_back(v[0]);
        r.table.dwellS.push_back(v[1]);
    }
    if (columns == 0) return refuse(1, "the header must name frequency_hz and dwell_s");
    return r;
}

namespace {
// The shortest text that reads back as the value.
std::string shortest(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    return std::string(buf, r.ptr);
}
}  // namespace

std::string formatCsv(const Table& t) {
    std::string s = "frequency_hz,dwell_s\n";
    s.reserve(t.hz.size() * 24);
    for (size_t i = 0; i < t.hz.size(); ++i) {
        s += shortest(t.hz[i]);
        s += ',';
        s += shortest(t.dwellS.size() == 1 ? t.dwellS[0] : t.dwellS[i]);
        s += '\n';
    }
    return s;
}

}  // namespace hoplist

HopList::HopList(Transmitter& tx, control::Notices& notices, Hooks hooks, SweepTimer::TimeSource now, QObject* parent)
    : QObject(parent), tx_(tx), notices_(notices), hooks_(std::move(hooks)), timer_(nullptr, std::move(now)) {
    timer_.setTick([this](uint64_t generation, uint64_t index) { tick(generation, index); });
}

HopList::~HopList() { timer_.shutdown(); }

std::string HopList::setFrequencies(std::vector<double> hz, bool append) {
    const size_t total = hz.size() + (append ? hz_.size() : 0);
    if (total > hoplist::kMaxRows) return "more than " + std::to_string(hoplist::kMaxRows) + " rows";
    if (append) hz_.insert(hz_.end(), hz.begin(), hz.end());
    else hz_ = std::move(hz);
    notices_.later([this] { emit settingsChanged(); });
    return {};
}

std::string HopList::setDwells(std::vector<double> dwellS, bool append) {
    const size_t total = dwellS.size() + (append ? dwellS_.size() : 0);
    if (total > hoplist::kMaxRows) return "more than " + std::to_string(hoplist::kMaxRows) + " rows";
    if (append) dwellS_.insert(dwellS_.end(), dwellS.begin(), dwellS.end());
    else dwellS_ = std::move(dwellS);
    notices_.later([this] { emit settingsChanged(); });
    return {};
}

void HopList::setTable(hoplist::Table table) {
    hz_ = std::move(table.hz);
    dwellS_ = std::move(table.dwellS);
    notices_.later([this] { emit settingsChanged(); });
}

void HopList::setCount(uint64_t passes) {
    count_ = passes;
    notices_.later([this] { emit settingsChanged(); });
}

void HopList::setTrigger(hoplist::Trigger t) {
    trigger_ = t;
    notices_.later([this] { emit settingsChanged(); });
}

double HopList::minDwell() {
    std::lock_guard guard(tx_.port().lock());
    const PortBackend* backend = tx_.port().backend();
    const double wordsPerSecond = backend ? backend->wordsPerSecond() : 0;
    const double port = wordsPerSecond > 0 ? hoplist::kWordsPerRow / wordsPerSecond : 0;
    return std::max(port, hoplist::kScheduleMinDwellS);
}

uint64_t HopList::totalSteps() const {
    return progress_.passes == 0 ? 0 : progress_.passes * progress_.rows;
}

int64_t HopList::offsetNs(uint64_t index) const {
    std::lock_guard guard(tx_.port().lock());
    const auto offsets = offsets_;
    if (!offsets || offsets->size() < 2) return 0;
    const uint64_t rows = offsets->size() - 1;
    return static_cast<int64_t>(index / rows) * offsets->back() + (*offsets)[index % rows];
}

std::string HopList::start() {
    control::Notices::Operation said(notices_);
    const size_t rows = hz_.size();
    if (rows == 0) return "the list has no rows";
    if (dwellS_.size() != 1 && dwellS_.size() != rows)
        return std::to_string(rows) + " frequencies but " + std::to_string(dwellS_.size()) + " dwells";
    const bool bus = trigger_ == hoplist::Trigger::Bus;
    if (!bus) {
        const std::string why = hoplist::checkDwells(dwellS_, minDwell());
        if (!why.empty()) return why;
    }
    std::lock_guard guard(tx_.port().lock());
    if (running_) return {};
    failure_.clear();
    clockMHz_ = hooks_.clockMHz();
    words_.resize(rows);
    rowMHz_.resize(rows);
    // Each row as a sweep loads a value: single precision MHz at the committed clock.
    for (size_t i = 0; i < rows; ++i) {
        words_[i] = static_cast<uint32_t>(numeric::tuningWord(static_cast<float>(hz_[i] / 1e6), clockMHz_));
        rowMHz_[i] = numeric::wordMHz(words_[i], clockMHz_);
    }
    auto offsets = std::make_shared<std::vector<int64_t>>(rows + 1);
    double sum = 0;
    for (size_t i = 0; i <= rows; ++i) {
        (*offsets)[i] = std::llround(sum * 1e9);
        if (i < rows) sum += dwellS_.size() == 1 ? dwellS_[0] : dwellS_[i];
    }
    offsets_ = offsets;
    progress_ = hoplist::Progress{true, bus, trigger_, 0, rows, 0, count_, 0, -1};
    next_ = 0;
    {
        portlib::OperationScope op(tx_.port());
        pending_ = hooks_.idleRegister();
        hooks_.load(pending_, words_[0]);
        hooks_.raiseSelsrc();
        op.finish();  // a failure here leaves nothing running
    }
    running_ = true;
    waiting_ = bus;
    if (!bus) {
        timer_.setSchedule([offsets](uint64_t index) {
            const uint64_t n = offsets->size() - 1;
            return static_cast<int64_t>(index / n) * offsets->back() + (*offsets)[index % n];
        });
        timer_.setEnabled(true);
    }
    changed(true);
    return {};
}

void HopList::stop() {
    control::Notices::Operation said(notices_);
    std::lock_guard guard(tx_.port().lock());
    if (running_) finish();
}

void HopList::finish() {
    timer_.setEnabled(false);
    running_ = false;
    waiting_ = false;
    progress_.running = false;
    progress_.waiting = false;
    progress_.secondsLeft = -1;
    ++ended_;
    struct Announce {
        HopList* l;
        ~Announce() { l->changed(true); }
    } announce{this};  // said also when the hook fails
    if (hooks_.ended) hooks_.ended();
}

// The select word of the row loaded, then the row after it into the register
// just left; a list's last select word is followed by nothing.
void HopList::step(uint64_t index) {
    const size_t rows = progress_.rows;
    const uint64_t total = totalSteps();
    portlib::OperationScope op(tx_.port());
    hooks_.select(pending_);
    pending_ = 1 - pending_;
    const size_t row = static_cast<size_t>(index % rows);
    progress_.row = row + 1;
    progress_.pass = index / rows + 1;
    progress_.mhz = rowMHz_[row];
    next_ = index + 1;
    if (total == 0 || next_ < total) hooks_.load(pending_, words_[static_cast<size_t>(next_ % rows)]);
    op.finish();
    if (total != 0 && progress_.trigger == hoplist::Trigger::Immediate) {
        progress_.secondsLeft = static_cast<double>(offsetNs(total) - offsetNs(index)) / 1e9;
    }
}

// Row `index` is due now; the step after the last ends the list at the end
// of the last dwell, sending nothing.
void HopList::tick(uint64_t generation, uint64_t index) {
    std::lock_guard guard(tx_.port().lock());
    if (!timer_.current(generation) || !running_) return;
    const uint64_t total = totalSteps();
    try {
        if (total != 0 && index >= total) {
            progress_.secondsLeft = 0;
            finish();
            return;
        }
        step(index);
    } catch (const PortError& e) {
        failure_ = e.what();
        try {
            finish();
        } catch (const PortError&) {
        }
        return;
    }
    changed(false);
}

bool HopList::fire() {
    control::Notices::Operation said(notices_);
    std::lock_guard guard(tx_.port().lock());
    if (!waiting_) return false;
    try {
        step(next_);
    } catch (const PortError& e) {
        failure_ = e.what();
        finish();
        throw;
    }
    const uint64_t total = totalSteps();
    if (total != 0 && next_ >= total) finish();  // no trigger is waited for after the last row
    else changed(true);
    return true;
}

hoplist::Progress HopList::progress() const {
    std::lock_guard guard(tx_.port().lock());
    return progress_;
}

std::string HopList::lastFailure() const {
    std::lock_guard guard(tx_.port().lock());
    return failure_;
}

// As the keyer: a change of state is said once the lock is free; progress
// waits at most one announcement at a time, no closer than kProgressInterval
// to the last, so the last row always shows.
void HopList::changed(bool announceState) {
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
