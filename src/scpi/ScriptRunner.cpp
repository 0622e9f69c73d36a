#include "scpi/ScriptRunner.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace scpi {

namespace {
constexpr size_t kChunk = 64 * 1024;
}

ScriptRunner::ScriptRunner(Instrument& instrument, std::string path, std::ostream& out, std::ostream& err,
                           QObject* parent)
    : QObject(parent), path_(path), err_(err), lines_(instrument, path == "-" ? "<stdin>" : path, out, err) {
    lines_.onDone([this] {
        done_ = true;
        emit finished(failed());
    });
    lines_.onWantsText([this] { want(); });
}

ScriptRunner::~ScriptRunner() {
    notifier_.reset();
    if (ownFd_) ::close(fd_);
}

void ScriptRunner::start() {
    if (path_ == "-") {
        fd_ = STDIN_FILENO;
    } else {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        ownFd_ = fd_ >= 0;
    }
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int error = fd_ < 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : errno;
        err_ << "qz4471: cannot read script " << path_ << ": " << std::strerror(error) << std::endl;
        unreadable_ = true;
        QTimer::singleShot(0, this, &ScriptRunner::end);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &ScriptRunner::readChunk);
        return;
    }
    want();
}

// A regular file is read from the event loop; anything else when it has bytes.
void ScriptRunner::want() {
    if (ended_ || !lines_.wantsText()) return;
    if (notifier_) {
        notifier_->setEnabled(true);
        return;
    }
    if (readScheduled_) return;
    readScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        readScheduled_ = false;
        readChunk();
    });
}

void ScriptRunner::readChunk() {
    if (ended_) return;
    if (notifier_) notifier_->setEnabled(false);  // again once the lines read have run
    char buf[kChunk];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        want();
        return;
    }
    if (n > 0) {
        lines_.feed(std::string_view(buf, static_cast<size_t>(n)));
        if (lines_.refused()) end();
        else want();
        return;
    }
    if (n < 0) {
        err_ << "qz4471: cannot read script " << (path_ == "-" ? "<stdin>" : path_) << ": " << std::strerror(errno)
             << std::endl;
        unreadable_ = true;
    }
    end();
}

// The input is over; finished() follows once its last line has run.
void ScriptRunner::end() {
    if (ended_) return;
    ended_ = true;
    if (notifier_) notifier_->setEnabled(false);
    lines_.finish();
}

}  // namespace scpi
