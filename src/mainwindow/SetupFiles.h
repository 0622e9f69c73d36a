#pragma once
// "Save Setup..." and "Open Setup..." of the File menu. A setup is a script:
// a comment line with the program version and date, then the commands of
// SYSTem:SETup?, one path from the root per line. Opening runs a file as
// --script does (query replies discarded) without blocking the window, then
// shows every failing line in one box as FILE:LINE: code,"text". The dialogs
// start in the folder last used during this run.
#include "control/ChipControl.h"
#include "platform/UserNotice.h"
#include "scpi/ChipInstrument.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <sstream>

class QWidget;

namespace scpi {
class ScriptRunner;
}

class SetupFiles : public QObject {
    Q_OBJECT
public:
    SetupFiles(control::ChipControl& chip, platform::UserNotice& notice, QWidget* window);
    ~SetupFiles() override;

    // The menu items: a file dialog, then saveTo or openFrom.
    void save();
    void open();

    // The text saved for the chip's present state.
    static std::string setupText(scpi::Instrument& instrument, const QString& version, const QDateTime& when);
    // Writes the setup whole or not at all: an old file stays as it was when
    // the new one cannot be written, and the error text says why.
    QString saveTo(const QString& path);
    // Runs the file; finished() follows with the failing lines (empty: all applied).
    void openFrom(const QString& path);
    bool running() const { return lines_ != nullptr; }

    // The box's text for failing lines: the first kShownFailures, then how
    // many more, so the box stays on the screen however many lines fail.
    static constexpr int kShownFailures = 20;
    static QString failureText(const QStringList& failures);

    // Tests answer the dialogs: (save?, folder) -> the path chosen, or empty.
    void setChooser(std::function<QString(bool save, const QString& folder)> chooser) { choose_ = std::move(chooser); }
    const QString& folder() const { return folder_; }

signals:
    void finished(const QStringList& failures);

private:
    QString choose(bool save);

    QWidget* window_;
    platform::UserNotice& notice_;
    scpi::ChipInstrument instrument_;
    QString folder_;
    std::function<QString(bool, const QString&)> choose_;
    std::unique_ptr<scpi::ScriptRunner> lines_;
    std::ostringstream discarded_, errors_;
};
