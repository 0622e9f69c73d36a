#pragma once
// Finds a system-information program the way a shell would find it, for the
// About box's "System Info" button.
#include <QString>
#include <QStringList>

namespace platform {

// Tried in this order; the first one present anywhere on the path wins.
inline const QStringList kSysInfoPrograms = {
    QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
    QStringLiteral("kinfocenter"), QStringLiteral("gnome-system-monitor")};

// Full path of the first program found in the ':'-separated searchPath,
// or an empty string when there is none.
QString locateSysInfo(const QString& searchPath);
// The same over the process's PATH.
QString locateSysInfo();

}  // namespace platform
