#include "scpi/ScriptLines.h"

#include "scpi/Parameter.h"

namespace scpi {

ScriptLines::ScriptLines(Instrument& instrument, std::string name, std::ostream& out, std::ostream& err)
    : session_(instrument),
      framer_({[this](std::string_view line) { take({++framed_, std::string(line), Line::Text}); },
               [this] { take({++framed_, {}, Line::TooLong}); },
               [this] { take({++framed_, {}, Line::NotText}); },
               [this] { take({++framed_, {}, Line::CutShort}); }},
              LineFramer::Input::TextFile),
      name_(std::move(name)),
      out_(out),
      err_(err) {
    // Not from inside the sweep engine's signal: from the event loop.
    session_.onReady([this] { QMetaObject::invokeMethod(&context_, [this] { pump(); }, Qt::QueuedConnection); });
}

void ScriptLines::finish() {
    framer_.finish();
    finished_ = true;
    pump();
}

void ScriptLines::report(const Outcome& error) {
    failed_ = true;
    err_ << name_ << ':' << lineNo_ << ": " << formatError(error) << std::endl;
}

void ScriptLines::report(std::string_view refusal) {
    failed_ = true;
    err_ << name_ << ':' << lineNo_ << ": " << refusal << std::endl;
}

void ScriptLines::run(const LineResult& r) {
    for (const Outcome& e : r.errors) report(e);
    if (r.replied && !r.held) out_ << r.reply << std::endl;
}

void ScriptLines::pump() {
    if (pumping_) return;
    pumping_ = true;
    for (;;) {
        if (session_.held()) {
            if (!session_.ready()) break;
            run(session_.resume());
            continue;
        }
        if (lines_.empty()) break;
        const Line line = std::move(lines_.front());
        lines_.pop_front();
        lineNo_ = line.number;
        if (line.kind == Line::TooLong) {
            const Outcome e = Outcome::error(InputBufferOverrun);
            session_.report(e);
            report(e);
            continue;
        }
        if (line.kind == Line::NotText) {
            report("holds a NUL byte: not a text file; nothing more of it runs");
            continue;
        }
        if (line.kind == Line::CutShort) {
            report("ends without a line end: the file may be cut short; the line does not run");
            continue;
        }
        std::string_view text = line.text;
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        text = trimBlanks(text);
        if (text.empty() || text.front() == '#') continue;
        run(session_.execute(line.text));
    }
    pumping_ = false;
    if (wantsText() && onWantsText_) onWantsText_();
    if (done() && !doneSent_) {
        doneSent_ = true;
        if (onDone_) onDone_();
    }
}

}  // namespace scpi
