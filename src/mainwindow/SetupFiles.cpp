#include "mainwindow/SetupFiles.h"

#include "platform/UserNotice.h"
#include "scpi/CommandTree.h"
#include "scpi/ScriptRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

SetupFiles::SetupFiles(control::ChipControl& chip, platform::UserNotice& notice, QWidget* window)
    : QObject(window), window_(window), notice_(notice), instrument_(chip), folder_(QDir::currentPath()) {}

SetupFiles::~SetupFiles() = default;

std::string SetupFiles::setupText(scpi::Instrument& instrument, const QString& version, const QDateTime& when) {
    std::string text = "# QZ4471 setup, saved by version " + version.toStdString() + " on " +
                       when.toString(Qt::ISODate).toStdString() + "\n";
    return text + scpi::setupScript(instrument);
}

QString SetupFiles::choose(bool save) {
    if (choose_) return choose_(save, folder_);
    const QString filter = tr("SCPI setups (*.scpi);;All files (*)");
    QString path = save ? QFileDialog::getSaveFileName(window_, tr("Save Setup"), folder_, filter)
                        : QFileDialog::getOpenFileName(window_, tr("Open Setup"), folder_, filter);
    if (save && !path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += ".scpi";
    return path;
}

void SetupFiles::save() {
    const QString path = choose(true);
    if (path.isEmpty()) return;
    folder_ = QFileInfo(path).absolutePath();
    const QString error = saveTo(path);
    if (!error.isEmpty()) notice_.showMessage({platform::kAppTitle, error, platform::MessageIcon::Warning}, window_);
}

QString SetupFiles::saveTo(const QString& path) {
    // A full disk must not leave a cut setup in place of a good one. Unbuffered:
    // a buffered flush that lands only part of the text is not reported.
    QSaveFile file(path);
    const std::string text = setupText(instrument_, QCoreApplication::applicationVersion(), QDateTime::currentDateTime());
    const auto size = static_cast<qint64>(text.size());
    qint64 written = 0;
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        for (qint64 n = 0; written < size && (n = file.write(text.data() + written, size - written)) > 0;) written += n;
    }
    if (written != size || !file.commit())
        return tr("Cannot save the setup to %1: %2").arg(path, file.errorString());
    return {};
}

void SetupFiles::open() {
    if (running()) return;  // one setup at a time
    const QString path = choose(false);
    if (path.isEmpty()) return;
    folder_ = QFileInfo(path).absolutePath();
    connect(this, &SetupFiles::finished, this, [this](const QStringList& failures) {
        if (!failures.isEmpty())
            notice_.showMessage({platform::kAppTitle, failureText(failures), platform::MessageIcon::Warning}, window_);
    }, Qt::SingleShotConnection);
    openFrom(path);
}

void SetupFiles::openFrom(const QString& path) {
    QFile file(path);
    discarded_.str({});
    errors_.str({});
    if (!file.open(QIODevice::ReadOnly)) {
        emit finished({tr("Cannot read %1: %2").arg(path, file.errorString())});
        return;
    }
    file.close();
    lines_ = std::make_unique<scpi::ScriptRunner>(instrument_, path.toStdString(), discarded_, errors_);
    connect(lines_.get(), &scpi::ScriptRunner::finished, this, [this] {
        // Not from inside the script's own call chain: it is removed here.
        QMetaObject::invokeMethod(this, [this] {
            lines_.reset();
            QStringList failures = QString::fromStdString(errors_.str()).split('\n', Qt::SkipEmptyParts);
            emit finished(failures);
        }, Qt::QueuedConnection);
    });
    lines_->start();
}

QString SetupFiles::failureText(const QStringList& failures) {
    if (failures.size() <= kShownFailures) return failures.join('\n');
    return failures.mid(0, kShownFailures).join('\n') + '\n' +
           tr("and %1 more").arg(failures.size() - kShownFailures);
}
