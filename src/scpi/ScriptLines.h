#pragma once
// Runs a script's text line by line through a session: blank lines and
// lines starting with '#' are skipped, query replies go to `out`, and each
// error goes to `err` as FILE:LINE: <code>,"<text>".
#include "scpi/LineFramer.h"
#include "scpi/Session.h"

#include <ostream>
#include <string>

namespace scpi {

class ScriptLines {
public:
    ScriptLines(Instrument& instrument, std::string name, std::ostream& out, std::ostream& err);

    void feed(std::string_view bytes) { framer_.feed(bytes); }
    void finish() { framer_.finish(); }
    // Whether any line failed so far.
    bool failed() const { return failed_; }

private:
    void run(std::string_view line);
    void report(const Outcome& error);

    Session session_;
    LineFramer framer_;
    std::string name_;
    std::ostream& out_;
    std::ostream& err_;
    size_t lineNo_ = 0;
    bool failed_ = false;
};

}  // namespace scpi
