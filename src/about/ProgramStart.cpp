#include "about/ProgramStart.h"

#include <QFileInfo>
#include <QProcess>

namespace about {
namespace {
std::function<bool(const QString&)> g_fileTest;
std::function<bool(const QString&, const QStringList&)> g_starter;
}  // namespace

bool fileExists(const QString& path) {
    if (g_fileTest) return g_fileTest(path);
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

bool startProgram(const QString& program, const QStringList& arguments) {
    if (g_starter) return g_starter(program, arguments);
    if (program.isEmpty()) return false;
    return QProcess::startDetached(program, arguments);
}

void setFileTest(std::function<bool(const QString&)> test) { g_fileTest = std::move(test); }

void setProgramStarter(std::function<bool(const QString&, const QStringList&)> starter) {
    g_starter = std::move(starter);
}

}  // namespace about
