#pragma once
// Cuts a byte stream into lines at '\n'. A line longer than the limit is
// dropped as it arrives (memory stays bounded) and reported once, when its
// end comes; the next line is read normally.
//
// A text file (a script, a setup) is read more strictly: a leading UTF-8
// byte-order mark is skipped, a NUL byte ends the reading (the file is no
// text), and a last line without its '\n' is reported instead of run, since
// the file may have been cut short in the middle of it.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace scpi {

class LineFramer {
public:
    static constexpr size_t kMaxLine = 4096;  // bytes, without "\r\n"

    struct Handlers {
        std::function<void(std::string_view line)> line;  // without '\n'
        std::function<void()> tooLong;
        // Text files only: the line holding a NUL byte; nothing more is read.
        std::function<void()> notText = nullptr;
        // Text files only: a last line without '\n', at finish().
        std::function<void()> cutShort = nullptr;
    };
    enum class Input { Stream, TextFile };
    explicit LineFramer(Handlers handlers, Input input = Input::Stream)
        : handlers_(std::move(handlers)), textFile_(input == Input::TextFile), atStart_(textFile_) {}

    // Feeds bytes; complete lines go to the handlers at once. Stops early,
    // leaving the rest unread, when stop() is called from a handler.
    void feed(std::string_view bytes);
    // The end of the input: a last line without '\n' counts as a line (a
    // stream), or is reported as cut short (a text file).
    void finish();
    void stop() { stopped_ = true; }
    bool stopped() const { return stopped_; }

private:
    void endLine();
    std::string_view skipMark(std::string_view bytes);

    Handlers handlers_;
    std::string pending_;
    bool discarding_ = false;
    bool stopped_ = false;
    const bool textFile_;
    bool atStart_;       // a text file's byte-order mark may still come
    std::string mark_;   // its bytes so far, when split across feeds
};

}  // namespace scpi
