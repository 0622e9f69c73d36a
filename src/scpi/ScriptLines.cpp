#include "scpi/ScriptLines.h"

#include "scpi/Parameter.h"

namespace scpi {

ScriptLines::ScriptLines(Instrument& instrument, std::string name, std::ostream& out, std::ostream& err)
    : session_(instrument),
      framer_({[this](std::string_view line) { run(line); },
               [this] {
                   ++lineNo_;
                   const Outcome e = Outcome::error(TooMuchData);
                   session_.report(e);
                   report(e);
               }}),
      name_(std::move(name)),
      out_(out),
      err_(err) {}

void ScriptLines::report(const Outcome& error) {
    failed_ = true;
    err_ << name_ << ':' << lineNo_ << ": " << formatError(error) << std::endl;
}

void ScriptLines::run(std::string_view line) {
    ++lineNo_;
    std::string_view text = line;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    text = trimBlanks(text);
    if (text.empty() || text.front() == '#') return;
    const LineResult r = session_.execute(line);
    for (const Outcome& e : r.errors) report(e);
    if (r.replied) out_ << r.reply << std::endl;
}

}  // namespace scpi
