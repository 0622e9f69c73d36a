#include "platform/SysInfoLocator.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {

QString locateSysInfo(const QString& searchPath) {
    QStringList dirs;
    for (const QString& dir : searchPath.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        dirs << QDir::cleanPath(dir);
    // findExecutable falls back to the process PATH on an empty list.
    if (dirs.isEmpty()) return {};
    for (const QString& program : kSysInfoPrograms) {
        const QString found = QStandardPaths::findExecutable(program, dirs);
        if (!found.isEmpty()) return found;
    }
    return {};
}

QString locateSysInfo() { return locateSysInfo(qEnvironmentVariable("PATH")); }

}  // namespace platform
