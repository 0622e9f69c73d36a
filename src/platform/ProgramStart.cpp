#include "platform/ProgramStart.h"

#include <QFileInfo>
#include <QProcess>

namespace platform {

bool ProgramStart::fileExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

bool ProgramStart::startProgram(const QString& program, const QStringList& arguments) {
    if (program.isEmpty()) return false;
    return QProcess::startDetached(program, arguments);
}

}  // namespace platform
