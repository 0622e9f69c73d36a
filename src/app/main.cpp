// The entry procedure: command line, port back end, start-up, main window.
#include "Version.h"
#include "link/BackendChoice.h"
#include "link/CommandLine.h"
#include "link/WindowsVersion.h"
#include "board/ChipModel.h"
#include "mainwindow/MainForm.h"
#include "monitor/BoardMonitor.h"
#include "platform/ProgramEnd.h"
#include "platform/TerminationSignals.h"
#include "portlib/Parllio.h"
#include "portlib/ProgramClock.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    portlib::markProgramStart();
    // Our own arguments are read before Qt sees them; any window opens only after.
    const CommandLineResult cmd = parseCommandLine(argc, argv);
    std::fputs(cmd.out.c_str(), stdout);
    std::fputs(cmd.err.c_str(), stderr);
    if (!cmd.run) return cmd.exitStatus;

    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

    QApplication app(argc, argv);
    QApplication::setApplicationName("QZ4471");
    QApplication::setApplicationVersion(qz::kVersion);
    QGuiApplication::setDesktopFileName(qz::kDesktopId);

    OpenedBackend opened;
    try {
        opened = openBackend(cmd.options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qz4471: %s\n", e.what());
        return 2;
    }
    SimulatedBoard* board = opened.board;
    portlib::setActiveBackend(std::move(opened.backend));
    platform::addExitHook([] { portlib::flushActive(); });
    platform::installTerminationSignals();

    // Trace files are never more than half a second behind.
    QTimer flushTimer;
    QObject::connect(&flushTimer, &QTimer::timeout, [] { portlib::flushActive(); });
    flushTimer.start(250);

    // The chip model listens from the first word, so the monitor shows the
    // start-up words too.
    std::shared_ptr<ChipModel> chip;
    if (board && !cmd.options.noMonitor) chip = attachChipModel(*board, cmd.options.boardClockMHz.value_or(50.0));

    MainForm& mainForm = startup::runStartup(arguments);
    mainForm.show();
    if (chip) QTimer::singleShot(0, &mainForm, [&mainForm, chip] { openBoardMonitor(chip, &mainForm); });

    app.exec();
    platform::endProgram(0);
}
