#include "portlib/BufferedFile.h"

#include "portlib/PortBackend.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;  // disk full or similar: losing the tail beats stopping the program
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    buffer_.clear();
}

}  // namespace portlib
