#include "portlib/BufferedFile.h"

#include "portlib/PortBackend.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace portlib {

BufferedFile::BufferedFile(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw PortError("cannot create " + path + ": " + std::strerror(errno));
    buffer_.reserve(kChunk + 4096);
}

BufferedFile::~BufferedFile() {
    flush();
    ::close(fd_);
}

void BufferedFile::flush() {
    // Plain write(2), so the exit hooks can flush without stdio.
    const char* p = buffer_.data();
    size_t left = buffer_.size();
    while (left > 0 && failure_.empty()) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fail(n < 0 ? errno : EIO);
            break;
        }
        const std::string_view landed(p, static_cast<size_t>(n));
        const size_t lastEnd = landed.rfind('\n');
        if (lastEnd != std::string_view::npos) complete_ = written_ + static_cast<long long>(lastEnd) + 1;
        written_ += n;
        p += n;
        left -= static_cast<size_t>(n);
    }
    buffer_.clear();
}

void BufferedFile::fail(int error) {
    failure_ = "cannot write " + path_ + ": " + std::strerror(error);
    struct stat st {};
    // A pipe or a device cannot be cut back: writing just stops.
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) (void)::ftruncate(fd_, complete_);
    buffer_.clear();
}

}  // namespace portlib
