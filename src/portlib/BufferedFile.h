#pragma once
// An output file written in large chunks, yet never far behind: a write flushes
// once a quarter second has passed since the last flush, and the owner flushes
// on a timer and at exit. Text is appended in whole lines; the first write
// that fails ends the file for good: a regular file is cut back to its last
// complete line, so no later line ever lands after a torn one.
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

    // `text`: whole lines.
    void append(std::string_view text) {
        if (failure_.empty()) buffer_.append(text);
    }
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
    // Why the file stopped, for the user; empty while every write has landed.
    const std::string& failure() const { return failure_; }

private:
    void fail(int error);

    static constexpr size_t kChunk = 1 << 20;
    std::string path_;
    std::string buffer_;
    std::chrono::nanoseconds lastFlush_{0};
    int fd_ = -1;
    long long written_ = 0;   // bytes in the file
    long long complete_ = 0;  // of them, up to the end of the last whole line
    std::string failure_;
};

}  // namespace portlib
