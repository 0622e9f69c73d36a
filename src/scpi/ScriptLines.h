#pragma once
// Runs a script's text line by line through a session: blank lines and
// lines starting with '#' are skipped, query replies go to `out`, and each
// error goes to `err` as FILE:LINE: <code>,"<text>". A *WAI or *OPC? holds
// the later lines until the sweeps it waits for have ended; the event loop
// runs meanwhile. The text is read as a text file (see LineFramer): a line
// cut short or holding a NUL byte is reported by its number and not run.
#include "scpi/LineFramer.h"
#include "scpi/Session.h"

#include <QObject>

#include <deque>
#include <functional>
#include <ostream>
#include <string>

namespace scpi {

class ScriptLines {
public:
    ScriptLines(Instrument& instrument, std::string name, std::ostream& out, std::ostream& err);

    void feed(std::string_view bytes) { framer_.feed(bytes); }
    // Whether more text is wanted now: every line read has run, nothing holds
    // them, and the text has not been refused. Text is fed as it is wanted, so
    // an endless input never piles up.
    bool wantsText() const { return lines_.empty() && !session_.held() && !framer_.stopped() && !finished_; }
    // Whether the text was refused (not a text file): nothing more is wanted.
    bool refused() const { return framer_.stopped(); }
    // Called whenever wantsText() may have become true.
    void onWantsText(std::function<void()> f) { onWantsText_ = std::move(f); }
    // The end of the text; done() once every line has run.
    void finish();
    bool done() const { return finished_ && lines_.empty() && !session_.held(); }
    // Called once, when done() becomes true.
    void onDone(std::function<void()> f) { onDone_ = std::move(f); }
    // Whether any line failed so far.
    bool failed() const { return failed_; }

private:
    struct Line {
        enum Kind { Text, TooLong, NotText, CutShort };
        size_t number;
        std::string text;
        Kind kind;
    };
    void take(Line line) {
        lines_.push_back(std::move(line));
        pump();
    }
    void pump();
    void run(const LineResult& r);
    void report(const Outcome& error);
    void report(std::string_view refusal);

    Session session_;
    LineFramer framer_;
    std::string name_;
    std::ostream& out_;
    std::ostream& err_;
    std::deque<Line> lines_;
    size_t framed_ = 0;   // lines cut so far
    size_t lineNo_ = 0;   // the line running
    bool failed_ = false;
    bool finished_ = false;
    bool pumping_ = false;
    bool doneSent_ = false;
    std::function<void()> onDone_, onWantsText_;
    QObject context_;  // a held script resumes from the event loop
};

}  // namespace scpi
