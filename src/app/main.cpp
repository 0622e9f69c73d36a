// The entry procedure: command line, port back end, start-up, main window.
#include "Version.h"
#include "app/Automation.h"
#include "control/ChipControl.h"
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
#include "platform/UserNotice.h"
#include "portlib/Parllio.h"
#include "portlib/PortList.h"
#include "portlib/ProgramClock.h"
#include "registers/Declare.h"
#include "widgets/Placement.h"

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
    if (cmd.options.listPorts) {
        const portlib::PortListing ports = portlib::listPorts();
        std::fputs(ports.err.c_str(), stderr);
        std::fputs(ports.out.c_str(), stdout);
        return 0;
    }

    // "/SS" counts only outside our options and their values (--trace /tmp/ss.log).
    QStringList arguments;
    for (const std::string& a : cmd.options.statusSwitches) arguments << QString::fromLocal8Bit(a.c_str());

    // Headless needs no display: no window, and no message box either.
    const bool headless = cmd.options.headless;
    std::unique_ptr<QCoreApplication> app;
    if (headless) app = std::make_unique<QCoreApplication>(argc, argv);
    else app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName("QZ4471");
    QCoreApplication::setApplicationVersion(qz::kVersion);
    if (headless) {
        platform::setMessageHandler([](const platform::Notice& n) {
            std::fprintf(stderr, "qz4471: %s\n", QString(n.text).replace(QChar(13), QChar(' ')).toLocal8Bit().constData());
        });
        platform::setBeepHandler([] {});
    } else {
        QGuiApplication::setDesktopFileName(qz::kDesktopId);
    }

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
    if (headless) {
        // no monitor window
    } else if (board && !cmd.options.noMonitor) {
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
    Automation automation(cmd.options, control::chip());
    if (headless) {
        if (!automation.start()) platform::endProgram(1);
        platform::endProgram(app->exec());
    }

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
            widgets::placeBeside(*monitor, mainForm);
            monitor->showWithoutActivating();
            monitor->raise();
        });
    }

    if (!automation.start()) platform::endProgram(1);
    platform::endProgram(app->exec());
}
