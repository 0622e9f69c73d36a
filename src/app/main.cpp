// The entry procedure: command line, port back end, start-up, main window.
#include "Version.h"
#include "link/BackendChoice.h"
#include "link/CommandLine.h"
#include "link/WindowsVersion.h"
#include "board/ChipModel.h"
#include "board/MonitorPort.h"
#include "mainwindow/MainForm.h"
#include "monitor/BoardMonitor.h"
#include "numeric/NumberText.h"
#include "platform/ProgramEnd.h"
#include "platform/TerminationSignals.h"
#include "portlib/Parllio.h"
#include "portlib/ProgramClock.h"
#include "registers/Declare.h"

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

    // "/SS" counts only outside our options and their values (--trace /tmp/ss.log).
    QStringList arguments;
    for (const std::string& a : cmd.options.statusSwitches) arguments << QString::fromLocal8Bit(a.c_str());

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
    MonitorPort* sent = opened.monitor;
    portlib::setActiveBackend(std::move(opened.backend));
    platform::addExitHook([] { portlib::flushActive(); });
    // Every end, Quit's included, closes the port: an adapter goes back to its
    // kernel serial driver.
    platform::addExitHook([] { portlib::closeActive(); });
    platform::installTerminationSignals();

    // Trace files are never more than half a second behind.
    QTimer flushTimer;
    QObject::connect(&flushTimer, &QTimer::timeout, [] { portlib::flushActive(); });
    flushTimer.start(250);

    // The chip model listens from the first word, so the monitor shows the
    // start-up words too.
    std::shared_ptr<ChipModel> chip;
    QString monitorTitle = QStringLiteral("Board Monitor");
    if (board && !cmd.options.noMonitor) {
        chip = attachChipModel(*board, cmd.options.boardClockMHz.value_or(50.0));
    } else if (sent) {
        // Words as sent are worth the MHz of the clock the program computes with.
        chip = attachChipModel(*sent, [last = ChipModel::kDefaultClockMHz]() mutable {
            if (const auto mhz = numeric::parseDouble(registers::masterClockText()); mhz && *mhz > 0) last = *mhz;
            return last;
        });
        monitorTitle = QStringLiteral("Board Monitor (as sent)");
    }

    startup::runStartup(arguments);
    MainForm mainForm;
    mainForm.Form_Load();
    mainForm.show();
    if (chip) {
        // Not a child of the main window: a window modal to it must not block the monitor.
        static BoardMonitor* monitor = nullptr;
        QTimer::singleShot(0, &mainForm, [&mainForm, chip, monitorTitle] {
            monitor = openBoardMonitor(chip, &mainForm, monitorTitle);
        });
        mainForm.setMonitorOpener([&mainForm] {
            if (!monitor) return;
            monitor->placeBeside(&mainForm);
            monitor->showWithoutActivating();
            monitor->raise();
        });
    }

    app.exec();
    platform::endProgram(0);
}
