#pragma once
// An output file written in large chunks, yet never far behind: a write flushes
// once a quarter second has passed since the last flush, and the owner flushes
// on a timer and at exit.
#include <chrono>
#include <string>
#include <string_view>

namespace portlib {

class BufferedFile {
public:
    static constexpr std::chrono::nanoseconds kFlushInterval = std::chrono::milliseconds(250);

    // Creates or truncates the file; throws PortError when it cannot.
    explicit BufferedFile(const std::string& path);
    ~BufferedFile();
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;

    void append(std::string_view text) { buffer_.append(text); }
    // Flushes when the interval has passed since the last flush (now is elapsed time).
    void flushIfDue(std::chrono::nanoseconds now) {
        if (now - lastFlush_ >= kFlushInterval || buffer_.size() >= kChunk) flushAt(now);
    }
    void flushAt(std::chrono::nanoseconds now) {
        lastFlush_ = now;
        flush();
    }
    void flush();
    const std::string& path() const { return path_; }

private:
    static constexpr size_t kChunk = 1 << 20;
    std::string path_;
    std::string buffer_;
    std::chrono::nanoseconds lastFlush_{0};
    int fd_ = -1;
};

}  // namespace portlib
