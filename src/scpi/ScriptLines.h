#pragma once
// Runs a script's text line by line through a session: blank lines and
// lines starting with '#' are skipped, query replies go to `out`, and each
// error goes to `err` as FILE:LINE: <code>,"<text>". A *WAI or *OPC? holds
// the later lines until the sweeps it waits for have ended; the event loop
// runs meanwhile.
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
    // The end of the text; done() once every line has run.
    void finish();
    bool done() const { return finished_ && lines_.empty() && !session_.held(); }
    // Called once, when done() becomes true.
    void onDone(std::function<void()> f) { onDone_ = std::move(f); }
    // Whether any line failed so far.
    bool failed() const { return failed_; }

private:
    struct Line {
        size_t number;
        std::string text;
        bool tooLong;
    };
    void pump();
    void run(const LineResult& r);
    void report(const Outcome& error);

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
    std::function<void()> onDone_;
    QObject context_;  // a held script resumes from the event loop
};

}  // namespace scpi
