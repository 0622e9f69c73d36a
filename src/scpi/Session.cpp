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

// Printable ASCII and tabs only; anything else (binary, other control
// characters, bytes above 0x7E) makes the line a command error.
bool cleanText(std::string_view s) {
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t') || c >= 0x7F) return false;
    }
    return true;
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

// The child a mnemonic names, with its numeric suffix; nullptr if none.
const Node* findChild(const Node& parent, std::string_view mnemonic, int& n) {
    size_t letters = mnemonic.size();
    while (letters > 0 && isDigit(mnemonic[letters - 1])) --letters;
    const std::string_view name = mnemonic.substr(0, letters), digits = mnemonic.substr(letters);
    for (const Node& child : parent.children) {
        if (!matches(child, name)) continue;
        if (child.suffixMax < 0) return digits.empty() ? &child : nullptr;
        if (digits.empty() || digits.size() > 3) return nullptr;
        n = std::stoi(std::string(digits));
        return n <= child.suffixMax ? &child : nullptr;
    }
    return nullptr;
}

}  // namespace

void Session::fail(LineResult& result, Outcome error) {
    result.errors.push_back(error);
    queue_.push(std::move(error));
}

LineResult Session::execute(std::string_view line) {
    LineResult result;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!cleanText(line)) {
        fail(result, Outcome::error(CommandError));
        return result;
    }
    std::vector<PathStep> path;  // empty: the root
    for (std::string_view unit : splitOutsideQuotes(line, ';')) {
        unit = trimBlanks(unit);
        if (unit.empty()) continue;
        if (!runUnit(unit, path, result)) break;
    }
    return result;
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
        int n = -1;
        node = findChild(parent, m, n);
        if (!node) {
            fail(result, Outcome::error(UndefinedHeader));
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
    if (params > (wantsValue ? 1u : 0u)) {
        fail(result, Outcome::error(ParameterNotAllowed));
        return false;
    }
    if (wantsValue && params == 0) {
        fail(result, Outcome::error(MissingParameter));
        return false;
    }

    Call call{instrument_, queue_, -1, paramText, {}};
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
    } else if (header.query) {
        if (result.replied) result.reply += ';';
        result.reply += call.reply;
        result.replied = true;
    }
    // A parameter that did not parse is still a command error.
    return outcome.code > CommandError || outcome.code <= -200;
}

}  // namespace scpi
