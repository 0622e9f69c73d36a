// The entry procedure: command line, port back end, start-up, main window.
// Everything the program holds is built here, once, and handed down by
// reference: the port, the transmitter, the chip, the start-up state and
// the platform seams.
#include "Version.h"
#include "app/Automation.h"
#include "board/ChipModel.h"
#include "board/MonitorPort.h"
#include "control/ChipControl.h"
#include "mainwindow/MainForm.h"
#include "monitor/BoardMonitor.h"
#include "platform/ProgramEnd.h"
#include "platform/ProgramStart.h"
#include "platform/Registry.h"
#include "platform/TerminationSignals.h"
#include "platform/UserNotice.h"
#include "portlib/Parllio.h"
#include "portlib/ProgramClock.h"
#include "startup/BackendChoice.h"
#include "startup/CommandLine.h"
#include "startup/WindowsVersion.h"
#include "widgets/Placement.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    const portlib::ProgramClock clock;
    // Our own arguments are read before Qt sees them; any window opens only after.
    const CommandLineResult cmd = parseCommandLine(argc, argv);
    std::fputs(cmd.out.c_str(), stdout);
    std::fputs(cmd.err.c_str(), stderr);
    if (!cmd.run) return cmd.exitStatus;

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
    if (!headless) QGuiApplication::setDesktopFileName(qz::kDesktopId);

    platform::DesktopNotice desktopNotice;
    platform::ConsoleNotice consoleNotice;
    platform::UserNotice& notice = headless ? static_cast<platform::UserNotice&>(consoleNotice) : desktopNotice;
    platform::ProgramEnd end;
    platform::LinuxRegistry registry;
    platform::ProgramStart programs;
    const platform::Seams seams{notice, end, registry, programs};

    portlib::Parllio port(platform::sayLine);
    OpenedBackend opened;
    try {
        opened = openBackend(cmd.options, platform::sayLine, clock.clock());
    } catch (const std::exception& e) {
        platform::sayLine(e.what());
        return 2;
    }
    SimulatedBoard* board = opened.board;
    MonitorPort* sent = opened.monitor;
    port.setBackend(std::move(opened.backend));
    end.addExitHook([&port] { port.flush(); });
    // Every end, Quit's included, closes the port: an adapter goes back to its
    // kernel serial driver.
    end.addExitHook([&port] { port.close(); });
    platform::installTerminationSignals(end);

    // Trace files are never more than half a second behind.
    QTimer flushTimer;
    QObject::connect(&flushTimer, &QTimer::timeout, [&port] { port.flush(); });
    flushTimer.start(250);

    Transmitter transmitter(port);
    control::ChipControl chip(transmitter);

    // The chip model listens from the first word, so the monitor shows the
    // start-up words too.
    std::shared_ptr<ChipModel> model;
    QString monitorTitle = QStringLiteral("Board Monitor");
    if (headless) {
        // no monitor window
    } else if (board && !cmd.options.noMonitor) {
        model = attachChipModel(*board, cmd.options.boardClockMHz.value_or(ChipModel::kDefaultClockMHz));
    } else if (sent) {
        // Words as sent are worth the MHz of the clock the program computes with.
        model = attachChipModel(*sent, [&chip] { return chip.clockMHz(); });
        monitorTitle = QStringLiteral("Board Monitor (as sent)");
    }

    Startup startup(port, chip, notice);
    startup.run(arguments);
    Automation automation(cmd.options, chip);
    if (headless) {
        if (!automation.start()) end.endProgram(1);
        end.endProgram(app->exec());
    }

    MainForm mainForm(chip, startup, seams);
    mainForm.Form_Load();
    mainForm.show();
    std::unique_ptr<BoardMonitor> monitor;
    if (model) {
        // Not a child of the main window: a window modal to it must not block the monitor.
        QTimer::singleShot(0, &mainForm, [&] { monitor.reset(openBoardMonitor(model, &mainForm, monitorTitle)); });
        mainForm.setMonitorOpener([&] {
            if (!monitor) return;
            widgets::placeBeside(*monitor, mainForm);
            monitor->showWithoutActivating();
            monitor->raise();
        });
    }

    if (!automation.start()) end.endProgram(1);
    end.endProgram(app->exec());
}
