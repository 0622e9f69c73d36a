#pragma once
// Cuts a byte stream into lines at '\n'. A line longer than the limit is
// dropped as it arrives (memory stays bounded) and reported once, when its
// end comes; the next line is read normally.
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
    };
    explicit LineFramer(Handlers handlers) : handlers_(std::move(handlers)) {}

    // Feeds bytes; complete lines go to the handlers at once. Stops early,
    // leaving the rest unread, when stop() is called from a handler.
    void feed(std::string_view bytes);
    // The end of the input: a last line without '\n' counts as a line.
    void finish();
    void stop() { stopped_ = true; }

private:
    void endLine();

    Handlers handlers_;
    std::string pending_;
    bool discarding_ = false;
    bool stopped_ = false;
};

}  // namespace scpi
