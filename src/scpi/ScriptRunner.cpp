#include "scpi/ScriptRunner.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace scpi {

ScriptRunner::ScriptRunner(Instrument& instrument, std::string path, std::ostream& out, std::ostream& err,
                           QObject* parent)
    : QObject(parent), path_(path), err_(err), lines_(instrument, path == "-" ? "<stdin>" : path, out, err) {
    lines_.onDone([this] {
        done_ = true;
        emit finished(failed());
    });
}

ScriptRunner::~ScriptRunner() = default;

void ScriptRunner::start() {
    if (path_ == "-") {
        struct stat st {};
        if (::fstat(STDIN_FILENO, &st) != 0 || !S_ISREG(st.st_mode)) {
            notifier_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
            connect(notifier_.get(), &QSocketNotifier::activated, this, &ScriptRunner::readAvailableInput);
            return;
        }
    }
    QFile file(QString::fromStdString(path_));
    const bool opened = path_ == "-" ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened) {
        err_ << "qz4471: cannot read script " << path_ << ": " << file.errorString().toStdString() << std::endl;
        unreadable_ = true;
    } else {
        const QByteArray text = file.readAll();
        lines_.feed(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    }
    QTimer::singleShot(0, this, &ScriptRunner::end);
}

void ScriptRunner::readAvailableInput() {
    char buf[65536];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n > 0) {
        lines_.feed(std::string_view(buf, static_cast<size_t>(n)));
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n < 0) {
        err_ << "qz4471: cannot read script <stdin>: " << std::strerror(errno) << std::endl;
        unreadable_ = true;
    }
    notifier_->setEnabled(false);
    end();
}

// The input is over; finished() follows once its last line has run.
void ScriptRunner::end() {
    if (ended_) return;
    ended_ = true;
    lines_.finish();
}

}  // namespace scpi
