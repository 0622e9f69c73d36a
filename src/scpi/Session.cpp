#include "scpi/Session.h"

#include "scpi/Parameter.h"

#include <exception>

namespace scpi {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Splits at `sep` outside quoted strings; an unclosed quote runs to the end.
std::vector<std::string_view> splitOutsideQuotes(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    char quote = 0;
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (quote) {
            if (c == quote) quote = 0;  // a doubled quote closes and reopens: same result
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == sep) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

// Printable ASCII and tabs only. A control character makes the line a
// command error; a byte of 0x7F or above outside a quoted string an invalid
// character.
int badText(std::string_view s) {
    char quote = 0;
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 && c != '\t') return CommandError;
        if (quote) {
            if (ch == quote) quote = 0;
        } else if (ch == '"' || ch == '\'') {
            quote = ch;
        } else if (c >= 0x7F) {
            return InvalidCharacter;
        }
    }
    return NoError;
}

// A reply holds 7-bit ASCII only, whatever a detail text carried.
void asciiOnly(std::string& s) {
    for (char& ch : s)
        if (static_cast<unsigned char>(ch) >= 0x7F) ch = '?';
}

struct Header {
    bool query = false;
    bool fromRoot = false;
    std::vector<std::string_view> mnemonics;
};

bool parseHeader(std::string_view h, Header& out) {
    if (!h.empty() && h.back() == '?') {
        out.query = true;
        h.remove_suffix(1);
    }
    if (!h.empty() && h.front() == ':') {
        out.fromRoot = true;
        h.remove_prefix(1);
    }
    for (std::string_view m : splitOutsideQuotes(h, ':')) {
        if (m.empty()) return false;
        for (char c : m)
            if (!(isDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '*')) return false;
        out.mnemonics.push_back(m);
    }
    return true;
}

// The child a mnemonic names, with its numeric suffix; nullptr with the
// error (-113 no such header or a missing suffix, -114 a suffix out of range).
const Node* findChild(const Node& parent, std::string_view mnemonic, int& n, int& error) {
    size_t letters = mnemonic.size();
    while (letters > 0 && isDigit(mnemonic[letters - 1])) --letters;
    const std::string_view name = mnemonic.substr(0, letters), digits = mnemonic.substr(letters);
    error = UndefinedHeader;
    for (const Node& child : parent.children) {
        if (!matches(child, name)) continue;
        if (child.suffixMax < 0) return digits.empty() ? &child : nullptr;
        if (digits.empty()) return nullptr;
        n = digits.size() > 3 ? 1000 : std::stoi(std::string(digits));
        if (n <= child.suffixMax) return &child;
        error = HeaderSuffixOutOfRange;
        return nullptr;
    }
    return nullptr;
}

}  // namespace

Session::Session(Instrument& instrument) : instrument_(instrument) {
    watch_ = instrument_.watchSweeps([this] { sweepsChanged(); });
    status_.operSeen = 0;
    updateConditions();
}

Session::~Session() { instrument_.unwatchSweeps(watch_); }

void Session::report(Outcome error) {
    LineResult ignored;
    fail(ignored, std::move(error));
}

void Session::fail(LineResult& result, Outcome error) {
    const int c = error.code;
    if (c <= -100 && c > -200) status_.esr |= StatusRegisters::CommandErrorBit;
    else if (c <= -200 && c > -300) status_.esr |= StatusRegisters::ExecutionError;
    else if (c <= -300 && c > -400) status_.esr |= StatusRegisters::DeviceError;
    else if (c <= -400 && c > -500) status_.esr |= StatusRegisters::QueryError;
    result.errors.push_back(error);
    queue_.push(std::move(error));
}

// ---- status ----

void Session::updateConditions() {
    uint16_t oper = 0;
    if (instrument_.sweepRunning(0) || instrument_.sweepRunning(1)) oper |= StatusRegisters::Sweeping;
    if (instrument_.keyingRunning()) oper |= StatusRegisters::Keying;
    if (instrument_.listRunning() && !instrument_.listWaiting()) oper |= StatusRegisters::Sweeping;
    if (instrument_.listWaiting()) oper |= StatusRegisters::WaitingForTrigger;
    uint16_t ques = instrument_.missingHardware().empty() ? 0 : StatusRegisters::PortDropped;
    if (instrument_.recordIncomplete()) ques |= StatusRegisters::TraceIncomplete;
    StatusRegisters& r = status_;
    r.operEvent |= (oper & ~r.operSeen & r.operPtr) | (~oper & r.operSeen & r.operNtr);
    r.quesEvent |= (ques & ~r.quesSeen & r.quesPtr) | (~ques & r.quesSeen & r.quesNtr);
    status_.operSeen = oper;
    status_.quesSeen = ques;
}

uint8_t Session::statusByte(bool messageAvailable) {
    updateConditions();
    const StatusRegisters& r = status_;
    uint8_t stb = 0;
    if (queue_.count() > 0) stb |= 1 << 2;
    if (r.quesEvent & r.quesEnable) stb |= 1 << 3;
    if (messageAvailable) stb |= 1 << 4;
    if (r.esr & r.ese) stb |= 1 << 5;
    if (r.operEvent & r.operEnable) stb |= 1 << 7;
    if (stb & r.sre & ~(1 << 6)) stb |= 1 << 6;
    return stb;
}

void Session::clearStatus() {
    queue_.clear();
    status_.esr = 0;
    status_.operEvent = status_.quesEvent = 0;
    opcArmed_ = false;
}

uint64_t Session::ended(size_t what) {
    if (what < 2) return instrument_.sweepsEnded(static_cast<int>(what));
    return what == 2 ? instrument_.keyingsEnded() : instrument_.listsEnded();
}

Session::Targets Session::runningTargets() {
    Targets t{};
    for (int g = 0; g < 2; ++g)
        if (instrument_.sweepRunning(g)) t[static_cast<size_t>(g)] = instrument_.sweepsEnded(g) + 1;
    const uint64_t keyings = instrument_.keyingsEnded();  // before: see Instrument
    if (instrument_.countedKeyingRunning()) t[2] = keyings + 1;
    const uint64_t lists = instrument_.listsEnded();
    if (instrument_.countedFreeListRunning()) t[3] = lists + 1;
    return t;
}

bool Session::reached(const Targets& targets) {
    for (size_t i = 0; i < targets.size(); ++i)
        if (targets[i] != 0 && ended(i) < targets[i]) return false;
    return true;
}

void Session::armOperationComplete() {
    opcTargets_ = runningTargets();
    opcArmed_ = true;
    sweepsChanged();
}

void Session::hold(Hold kind) {
    holdTargets_ = runningTargets();
    hold_ = kind;
}

bool Session::ready() { return held() && reached(holdTargets_); }

void Session::sweepsChanged() {
    updateConditions();
    if (opcArmed_ && reached(opcTargets_)) {
        opcArmed_ = false;
        status_.esr |= StatusRegisters::OperationComplete;
    }
    if (held() && onReady_ && reached(holdTargets_)) onReady_();
}

// ---- lines ----

LineResult Session::execute(std::string_view line) {
    LineResult result;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (const int bad = badText(line)) {
        fail(result, Outcome::error(bad));
        return result;
    }
    line_.assign(line);
    units_ = splitOutsideQuotes(line_, ';');
    next_ = 0;
    path_.clear();  // the root
    partial_ = {};
    return run();
}

LineResult Session::resume() {
    if (!ready()) {
        LineResult r;
        r.held = held();
        return r;
    }
    resume1();
    return run();
}

void Session::abandon() {
    hold_ = Hold::None;
    units_.clear();
    next_ = 0;
    partial_ = {};
}

// A hold that has ended: *OPC? gives its 1.
void Session::resume1() {
    if (hold_ == Hold::OpcQuery) {
        if (partial_.replied) partial_.reply += ';';
        partial_.reply += '1';
        partial_.replied = true;
    }
    hold_ = Hold::None;
}

LineResult Session::run() {
    while (next_ < units_.size()) {
        const std::string_view unit = trimBlanks(units_[next_++]);
        if (unit.empty()) continue;
        if (!runUnit(unit, path_, partial_)) break;
        if (held() && ready()) resume1();
        if (held()) {
            LineResult r;
            r.held = true;
            r.errors = std::move(partial_.errors);
            partial_.errors.clear();
            return r;
        }
    }
    LineResult r = std::move(partial_);
    partial_ = {};
    asciiOnly(r.reply);
    return r;
}

bool Session::runUnit(std::string_view unit, std::vector<PathStep>& path, LineResult& result) {
    size_t headerEnd = 0;
    while (headerEnd < unit.size() && !isBlank(unit[headerEnd])) ++headerEnd;
    const std::string_view headerText = unit.substr(0, headerEnd);
    const std::string_view paramText = trimBlanks(unit.substr(headerEnd));

    Header header;
    if (!parseHeader(headerText, header)) {
        fail(result, Outcome::error(SyntaxError));
        return false;
    }
    const bool common = headerText.front() == '*';
    std::vector<PathStep> resolved = header.fromRoot || common ? std::vector<PathStep>{} : path;
    const Node* node = nullptr;
    for (std::string_view m : header.mnemonics) {
        const Node& parent = common ? commonCommands() : resolved.empty() ? commandRoot() : *resolved.back().node;
        int n = -1, error = 0;
        node = findChild(parent, m, n, error);
        if (!node) {
            fail(result, Outcome::error(error));
            return false;
        }
        resolved.push_back({node, n});
    }
    const Handler handler = header.query ? node->query : node->set;
    if (!handler || (common && header.mnemonics.size() != 1)) {
        fail(result, Outcome::error(UndefinedHeader));
        return false;
    }

    const bool wantsValue = !header.query && node->takesValue;
    const size_t params = paramText.empty() ? 0 : splitOutsideQuotes(paramText, ',').size();
    const bool asksLimit = header.query && node->range;  // FREQ0? MAX
    if (params > (wantsValue && node->takesList ? params : wantsValue || asksLimit ? 1u : 0u)) {
        fail(result, Outcome::error(ParameterNotAllowed));
        return false;
    }
    if (wantsValue && params == 0) {
        fail(result, Outcome::error(MissingParameter));
        return false;
    }

    Call call{instrument_, queue_, *this, -1, paramText, {}, result.replied};
    for (const PathStep& step : resolved)
        if (step.n >= 0) call.n = step.n;
    Outcome outcome;
    try {
        outcome = handler(call);
    } catch (const std::exception& e) {
        outcome = Outcome::hardware(e.what());
    } catch (...) {
        outcome = Outcome::hardware("unknown failure");
    }
    if (!common) {
        resolved.pop_back();  // the next header starts where this one's last mnemonic sits
        path = std::move(resolved);
    }
    if (!outcome.ok()) {
        fail(result, std::move(outcome));
    } else if (header.query && !held()) {
        if (result.replied) result.reply += ';';
        result.reply += call.reply;
        result.replied = true;
    }
    // A parameter that did not parse is still a command error.
    return outcome.code > CommandError || outcome.code <= -200;
}

}  // namespace scpi
