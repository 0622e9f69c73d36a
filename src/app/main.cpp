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
#include "portlib/PortList.h"
#include "portlib/ProgramClock.h"
#include "portlib/ftdi/FtdiPort.h"
#include "startup/BackendChoice.h"
#include "startup/CommandLine.h"
#include "startup/ExitStatus.h"
#include "startup/WindowsVersion.h"
#include "widgets/Placement.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

namespace {

// Lines said during start-up, kept back while `holding`.
class HeldLines {
public:
    explicit HeldLines(bool hold) : holding_(hold) {}
    bool holding() const { return holding_; }
    void say(const std::string& line) {
        if (holding_) lines_.push_back(line);
        else platform::sayLine(line);
    }
    // The first line said: the back end's own words on why it failed.
    std::string reason() const { return lines_.empty() ? "no port answers" : lines_.front(); }
    void release() {
        holding_ = false;
        for (const std::string& l : lines_) platform::sayLine(l);
        lines_.clear();
    }

private:
    bool holding_;
    std::vector<std::string> lines_;
};

// A headless run's boxes: their text as a line.
class HeldNotice final : public platform::UserNotice {
public:
    explicit HeldNotice(HeldLines& lines) : lines_(lines) {}
    void showMessage(const platform::Notice& n, QWidget*) override {
        lines_.say(QString(n.text).replace(QChar(13), QChar(' ')).toLocal8Bit().toStdString());
    }
    void beep() override {}

private:
    HeldLines& lines_;
};

}  // namespace

int main(int argc, char** argv) {
    const portlib::ProgramClock clock;
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
    if (!headless) QGuiApplication::setDesktopFileName(qz::kDesktopId);

    // Headless with a port named on the command line, start-up's lines are held:
    // a port that cannot be claimed ends the run with one line saying why.
    const bool namedPort = cmd.options.port != "auto" && cmd.options.port != "sim";
    HeldLines held(headless && namedPort);
    platform::DesktopNotice desktopNotice;
    HeldNotice consoleNotice(held);
    platform::UserNotice& notice = headless ? static_cast<platform::UserNotice&>(consoleNotice) : desktopNotice;
    platform::ProgramEnd end;
    platform::LinuxRegistry registry;
    platform::ProgramStart programs;
    const platform::Seams seams{notice, end, registry, programs};

    portlib::Parllio port([&held](const std::string& line) { held.say(line); });
    OpenedBackend opened;
    try {
        opened = openBackend(cmd.options, platform::sayLine, clock.clock());
    } catch (const std::exception& e) {
        platform::sayLine(e.what());
        return exitstatus::kUsage;
    }
    SimulatedBoard* board = opened.board;
    MonitorPort* sent = opened.monitor;
    port.setBackend(std::move(opened.backend));
    // No port menu without windows, and an adapter is the port it is.
    port.setPortChoosable(!headless && opened.device.rfind("ftdi", 0) != 0 && opened.device.rfind("gpio", 0) != 0);
    Transmitter transmitter(port);
    control::ChipControl chip(transmitter);
    // Whatever runs on a schedule stops first, so nothing is sent after the port closes.
    end.addExitHook([&chip] { chip.halt(); });
    end.addExitHook([&port] { port.flush(); });
    // A trace cut short is said once, the first time it is seen, and the run's
    // status says so; at the end without a box.
    bool recordFailureSaid = false;
    const auto sayRecordFailure = [&](bool box) {
        if (recordFailureSaid) return;
        const std::string failure = port.recordFailure();
        if (failure.empty()) return;
        recordFailureSaid = true;
        end.noteFailure(exitstatus::kTraceIncomplete);
        platform::sayLine(failure);
        if (box && !headless)
            notice.showMessage({platform::kAppTitle, QString::fromStdString(failure), platform::MessageIcon::Warning});
    };
    end.addExitHook([&sayRecordFailure] { sayRecordFailure(false); });
    // Every end, Quit's included, closes the port: an adapter goes back to its
    // kernel serial driver.
    end.addExitHook([&port] { port.close(); });
    platform::installTerminationSignals(end);

    // Trace files are never more than half a second behind.
    QTimer flushTimer;
    QObject::connect(&flushTimer, &QTimer::timeout, [&port, &sayRecordFailure] {
        port.flush();
        sayRecordFailure(true);
    });
    flushTimer.start(250);

    // A board powered from the adapter comes back in its power-on state.
    if (opened.ftdi) opened.ftdi->setReopenHook([&chip] { chip.resendState(); });

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
    if (held.holding()) {
        if (!port.writesReach()) {
            platform::sayLine("port " + cmd.options.port + " cannot be used: " + held.reason());
            return end.finish(exitstatus::kPortUnusable);
        }
        held.release();
    }
    Automation automation(cmd.options, chip);
    // The rpcbind entry goes at every end, a signal's included.
    end.addExitHook([&automation] { automation.stop(); });
    if (headless) {
        if (!automation.start()) return end.finish(exitstatus::kScpiPortInUse);
        return end.finish(end.ended() ? 0 : app->exec());
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

    if (!automation.start()) return end.finish(exitstatus::kScpiPortInUse);
    // An end asked for before the loop starts (a signal during start-up) is kept.
    return end.finish(end.ended() ? 0 : app->exec());
}
