// The main window's status bar line for each port and state, and the window
// growing by the bar's height only.
#include "board/SimulatedBoard.h"
#include "link/CommsFunctions.h"
#include "mainwindow/PortStatus.h"
#include "portlib/Parllio.h"
#include "portlib/RecordingPort.h"
#include "portlib/ftdi/FtdiPort.h"
#include "portlib/gpio/GpioPort.h"
#include "portlib/ppdev/PpdevPort.h"
#include "support/FakePins.h"
#include "support/WireHarness.h"

#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Case {
    const char* name;
    std::function<std::unique_ptr<PortBackend>()> make;
    uint16_t address;
    bool claim;
    QString text;
    bool warning;
};

std::shared_ptr<FakeFtdiState> ftdiWith(std::vector<portlib::ftdi::Device> attached) {
    auto s = std::make_shared<FakeFtdiState>();
    s->attached = std::move(attached);
    return s;
}

std::unique_ptr<PortBackend> ftdi(std::shared_ptr<FakeFtdiState> s, int rate = FtdiPort::kDefaultRate) {
    return std::make_unique<RecordingPort>(std::make_unique<FtdiPort>(std::make_unique<FakeFtdi>(s), "", rate));
}

std::unique_ptr<PortBackend> gpio() {
    return std::make_unique<GpioPort>(std::make_unique<FakeGpio>(std::make_shared<FakeGpioState>()),
                                      GpioWiring{"gpiochip0", {17, 27, 22}});
}

class PortStatusLine : public ::testing::TestWithParam<Case> {};

TEST_P(PortStatusLine, NamesTheLivePortOrSaysWordsAreDropped) {
    const Case& c = GetParam();
    std::unique_ptr<PortBackend> port = c.make();
    if (c.claim) port->ClaimParallelPort(1, -1);
    const PortStatus::Line line = PortStatus::lineFor(port.get(), c.address);
    EXPECT_EQ(line.text, c.text);
    EXPECT_EQ(line.warning, c.warning);

    // QZ_STATUS_SHOTS=DIR: a picture of the bar for each case, to look at.
    if (const QString dir = qEnvironmentVariable("QZ_STATUS_SHOTS"); !dir.isEmpty()) {
        WireHarness wire;
        wire.port.setBackend(std::move(port));
        wire.port.setPortAddress(c.address);
        QMainWindow window;
        window.setCentralWidget(new QWidget);
        window.centralWidget()->setFixedSize(547, 40);
        PortStatus status(window, wire.chip);
        window.show();
        QTest::qWait(100);
        EXPECT_TRUE(window.grab().save(dir + "/" + c.name + ".png"));
    }
}

const portlib::ftdi::Device kFt232h{0x6014, "FT5ABC", 1, 4};

INSTANTIATE_TEST_SUITE_P(
    Ports, PortStatusLine,
    ::testing::Values(
        Case{"sim", [] { return std::make_unique<SimulatedBoard>(); }, 0x378, true, "Simulated board", false},
        Case{"simOtherMenuItem", [] { return std::make_unique<SimulatedBoard>(); }, 0x278, true,
             "No port: words are dropped", true},
        Case{"none", [] { return std::unique_ptr<PortBackend>(); }, 0x378, false, "No port: words are dropped", true},
        Case{"parportNotOpened", [] { return std::make_unique<PpdevPort>("/dev/qz-no-parport"); }, 0x378, true,
             "No port: words are dropped", true},
        Case{"ftdi", [] { return ftdi(ftdiWith({kFt232h})); }, 0x378, true,
             "FTDI FT232H s:0x0403:0x6014:FT5ABC at 1,000,000 writes/s", false},
        Case{"ftdiSlow", [] { return ftdi(ftdiWith({{0x6015, "", 2, 9}}), 25000); }, 0x378, true,
             "FTDI FT-X d:002/009 at 25,000 writes/s", false},
        Case{"ftdiNotFound", [] { return ftdi(ftdiWith({})); }, 0x378, true, "No port: words are dropped", true},
        Case{"gpio", gpio, 0x378, true, "GPIO gpiochip0 lines 17, 27, 22 (clock, data, frame)", false},
        Case{"gpioUnclaimed", gpio, 0x378, false, "No port: words are dropped", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortStatusBar, FollowsAnUnplugAndTheReturnInAWindowThatGrowsByTheBarOnly) {
    WireHarness wire;
    auto state = ftdiWith({kFt232h});
    wire.port.setBackend(ftdi(state));
    ASSERT_EQ(wire.port.ClaimParallelPort(1, -1), 1);
    QMainWindow window;
    auto* central = new QWidget;
    central->setFixedSize(547, 393);
    window.setCentralWidget(central);
    const int before = window.sizeHint().height();
    // As the main window does: the bar before the window shows.
    auto* status = new PortStatus(window, wire.chip);
    window.show();
    window.layout()->activate();
    EXPECT_EQ(status->label().text(), "FTDI FT232H s:0x0403:0x6014:FT5ABC at 1,000,000 writes/s");
    EXPECT_EQ(window.sizeHint().height(), before + window.statusBar()->sizeHint().height());
    EXPECT_EQ(window.minimumSizeHint().height(), window.sizeHint().height()) << "the central widget keeps its size";
    EXPECT_EQ(central->geometry().topLeft(), QPoint(0, 0));

    state->unplugged = true;
    EXPECT_THROW(wire.transmitter.SendWord(0x378, 0x1234), PortError);
    QTest::qWait(400);
    EXPECT_EQ(status->label().text(), "FTDI adapter unplugged: words are dropped");
    EXPECT_FALSE(status->label().styleSheet().isEmpty()) << "in the warning colour";

    state->unplugged = false;
    wire.transmitter.SendWord(0x378, 0x1234);
    QTest::qWait(400);
    EXPECT_EQ(status->label().text(), "FTDI FT232H s:0x0403:0x6014:FT5ABC at 1,000,000 writes/s");
    EXPECT_TRUE(status->label().styleSheet().isEmpty());
}

// Running sweeps are shown from the engine's announcements, both groups when both run.
TEST(PortStatusBar, ShowsTheProgressOfRunningSweeps) {
    WireHarness wire;
    QMainWindow window;
    window.setCentralWidget(new QWidget);
    PortStatus status(window, wire.chip);
    ASSERT_TRUE(wire.chip.startSweep(0, {"0", "10", "0.1", "2", "100000"}).plan);
    ASSERT_TRUE(wire.chip.startSweep(1, {"5", "1", "1", "1", "100000"}).plan);
    wire.chip.sweepTick(0);
    wire.chip.sweepTick(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return status.sweepLabel().text().contains("step 2"); }, 2000));
    EXPECT_EQ(status.sweepLabel().text(), "Sweep 0: 0.100000 MHz, step 2 of 102, loop 1 of 2; "
                                          "Sweep 1: 5.000000 MHz, step 0 of 6, loop 1 of 1");
    wire.chip.stopSweeps();
    EXPECT_EQ(status.sweepLabel().text(), "");
}

}  // namespace
