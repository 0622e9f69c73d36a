#pragma once
// The file test and the process start behind "System Info": a seam, so tests
// never start a real program.
#include <QString>
#include <QStringList>

namespace platform {

class ProgramStart {
public:
    virtual ~ProgramStart() = default;
    // True when path names an ordinary file (not a folder).
    virtual bool fileExists(const QString& path);
    // Starts program on its own, without waiting for it and without a shell;
    // false when it could not be started.
    virtual bool startProgram(const QString& program, const QStringList& arguments = {});
};

}  // namespace platform
