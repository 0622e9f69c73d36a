#pragma once
// A full disk without root: past the file-size limit, with SIGXFSZ ignored,
// a write fails with EFBIG at that exact byte. The old limit and handler come
// back when this goes.
#include <csignal>
#include <sys/resource.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : oldHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        const rlimit l{bytes, old_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() {
        lift();
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    // Space comes back.
    void lift() { ::setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
    void (*oldHandler_)(int);
};
