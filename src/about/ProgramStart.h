#pragma once
// The file test and the process start behind "System Info", as seams so
// tests never start a real program.
#include <QString>
#include <QStringList>
#include <functional>

namespace about {

// True when path names an ordinary file (not a folder).
bool fileExists(const QString& path);
// Starts program on its own, without waiting for it and without a shell;
// false when it could not be started.
bool startProgram(const QString& program, const QStringList& arguments = {});

// Tests replace these; a null function restores the real one.
void setFileTest(std::function<bool(const QString&)> test);
void setProgramStarter(std::function<bool(const QString&, const QStringList&)> starter);

}  // namespace about
