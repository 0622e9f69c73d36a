// The Board Monitor driven through the wire: words go out through SendWord,
// the simulated board decodes them and the window shows what the chip does.
#include "board/ChipModel.h"
#include "link/CommsFunctions.h"
#include "monitor/BoardMonitor.h"
#include "monitor/FrequencyPlot.h"
#include "monitor/WordLogView.h"
#include "portlib/Parllio.h"
#include "support/WireHarness.h"

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Words = std::vector<uint16_t>;

// Stands in for the main window: a field holding the keyboard focus.
struct MainStandIn {
    MainStandIn() {
        window.setWindowTitle("main");
        auto* layout = new QVBoxLayout(&window);
        field = new QLineEdit(&window);
        layout->addWidget(field);
        window.setGeometry(40, 40, 300, 200);
        window.show();
        QApplication::setActiveWindow(&window);
        field->setFocus();
        (void)QTest::qWaitForWindowActive(&window);
    }
    QWidget window;
    QLineEdit* field;
};

class BoardMonitorTest : public ::testing::Test {
protected:
    void send(const Words& words) {
        for (uint16_t w : words) harness.transmitter.send(w);
    }
    // A frame of 15 clocks, which the board rejects.
    void sendShortFrame() {
        portlib::Parllio& port = harness.port;
        port.OutByte(port.portAddress(), 0x04);
        port.OutByte(port.portAddress(), 0x00);
        for (int i = 0; i < 15; ++i) {
            port.OutByte(port.portAddress(), 0x01);
            port.OutByte(port.portAddress(), 0x00);
        }
        port.OutByte(port.portAddress(), 0x04);
    }

    void open(double clock = 50.0) {
        model = attachChipModel(harness.board(), clock);
        monitor.reset(openBoardMonitor(model, &main.window));
    }
    QString text(const char* name) const {
        auto* label = monitor->findChild<QLabel*>(name);
        return label ? label->text() : QStringLiteral("<no label %1>").arg(name);
    }
    WordLogView* log() const { return monitor->findChild<WordLogView*>("wordLog"); }
    QStringList logLines() const {
        QStringList lines;
        for (int r = 0; r < log()->rowCount(); ++r) lines << log()->row(r);
        return lines;
    }
    // Lets the refresh timer run; the condition is the refresh, not a deadline.
    bool waitForRefresh() {
        return QTest::qWaitFor([this] { return !monitor->dirty(); }, 10000);
    }

    WireHarness harness;
    MainStandIn main;
    std::shared_ptr<ChipModel> model;  // words applied to it directly skip the wire
    std::unique_ptr<BoardMonitor> monitor;
};

TEST_F(BoardMonitorTest, OpensTitledWithoutTakingTheFocus) {
    QWidget* before = QApplication::focusWidget();
    ASSERT_EQ(before, main.field);
    open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(monitor.get()));
    QApplication::processEvents();
    EXPECT_EQ(monitor->windowTitle(), "Board Monitor");
    EXPECT_TRUE(monitor->isWindow());
    EXPECT_EQ(QApplication::focusWidget(), before);
    // Typing still reaches the field.
    QTest::keyClicks(QApplication::focusWidget(), "12.5");
    EXPECT_EQ(main.field->text(), "12.5");
    for (QWidget* w : monitor->findChildren<QWidget*>()) EXPECT_EQ(w->focusPolicy(), Qt::NoFocus) << w->objectName().toStdString();
}

TEST_F(BoardMonitorTest, ShowsAKnownState) {
    open();
    send({0x3052, 0x21B8, 0x321E, 0x2305});  // FREQ0 = 1 MHz
    send({0x3433, 0x2533, 0x3633, 0x2733});  // FREQ1 = 10 MHz
    send({0x1C23, 0x0D01});                  // PHASE2 = 0x123
    send({0x5800, 0x4400, 0x9000, 0x6123});
    sendShortFrame();
    ASSERT_TRUE(waitForRefresh());

    EXPECT_EQ(text("freq0Hex"), "051EB852");
    EXPECT_EQ(text("freq0Units"), "1.000000 MHz");
    EXPECT_EQ(text("freq1Hex"), "33333333");
    EXPECT_EQ(text("freq1Units"), "10.000000 MHz");
    EXPECT_EQ(text("phase2Hex"), "123");
    EXPECT_EQ(text("phase2Units"), QString::fromUtf8("25.576\u00B0"));
    EXPECT_EQ(text("phase0Hex"), "000");
    EXPECT_EQ(text("freq1InUse"), "in use");
    EXPECT_EQ(text("freq0InUse"), "");
    EXPECT_EQ(text("phase2InUse"), "in use");
    EXPECT_EQ(text("selection"), "FREQ1, PHASE2 by select words");
    EXPECT_EQ(text("outputFrequency"), "10.000000 MHz");
    EXPECT_EQ(text("outputPhase"), QString::fromUtf8("25.576\u00B0"));
    EXPECT_EQ(text("outputState"), "Running");
    EXPECT_EQ(text("syncBit"), "Sync 0");
    EXPECT_EQ(text("selsrcBit"), "SELSRC 1");
    EXPECT_EQ(text("sleepBit"), "Sleep 0");
    EXPECT_EQ(text("resetBit"), "Reset 0");
    EXPECT_EQ(text("boardClock"), "50.000000 MHz");
    EXPECT_EQ(text("wordCount"), "14");
    EXPECT_EQ(text("framingErrorCount"), "1");
    EXPECT_EQ(text("unknownCount"), "1");
    EXPECT_EQ(text("unpairedCount"), "0");

    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 14);
    EXPECT_TRUE(lines[0].endsWith("0x3052  FREQ0 bits 7..0 = 0x52, held")) << lines[0].toStdString();
    EXPECT_TRUE(lines[11].endsWith("0x4400  Select PHASE2")) << lines[11].toStdString();
    EXPECT_TRUE(lines[12].endsWith("0x9000  Sync 0, SELSRC 1")) << lines[12].toStdString();
    EXPECT_TRUE(lines[13].endsWith("0x6123  unknown command 0x6123")) << lines[13].toStdString();
}

TEST_F(BoardMonitorTest, WordsOnlyMarkTheViewUntilTheTimerRefreshes) {
    open();
    ASSERT_TRUE(waitForRefresh());
    send({0x3000, 0x2100, 0x3200, 0x2340});
    EXPECT_TRUE(monitor->dirty());
    EXPECT_EQ(text("freq0Hex"), "00000000");  // nothing formatted per word
    ASSERT_TRUE(waitForRefresh());
    EXPECT_EQ(text("freq0Hex"), "40000000");
    EXPECT_EQ(text("outputFrequency"), "12.500000 MHz");
}

TEST_F(BoardMonitorTest, WordsAfterTheMonitorClosesStillReachTheModelSafely) {
    open();
    std::weak_ptr<const ChipModel> model;
    {
        auto probe = attachChipModel(harness.board());  // a second listener on the same board
        model = probe;
        monitor.reset();
        send({0x3000, 0x2100, 0x3200, 0x2340});
        probe->drain();
        EXPECT_EQ(probe->freq(0), 0x40000000u);
    }
    EXPECT_FALSE(model.expired());  // the board keeps its models alive
}

struct ModeCase {
    uint16_t word;
    const char* state;
};

class Modes : public BoardMonitorTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(Modes, ShowNoOutput) {
    open();
    send({0x3000, 0x2100, 0x3200, 0x2340, GetParam().word});
    ASSERT_TRUE(waitForRefresh());
    EXPECT_EQ(text("outputFrequency"), "no output");
    EXPECT_EQ(text("outputState"), GetParam().state);
    EXPECT_EQ(text("freq0Units"), "12.500000 MHz");
    EXPECT_TRUE(logLines().last().endsWith(ChipModel::describe(GetParam().word, WordOutcome::Applied).c_str()));
}

INSTANTIATE_TEST_SUITE_P(Words, Modes,
                         ::testing::Values(ModeCase{0xE000, "Sleep"}, ModeCase{0xD000, "Reset"},
                                           ModeCase{0xF800, "Sleep and Reset"}));

TEST_F(BoardMonitorTest, OtherBoardClockScalesEveryFrequency) {
    open(100.0);
    send({0x3052, 0x21B8, 0x321E, 0x2305});
    ASSERT_TRUE(waitForRefresh());
    EXPECT_EQ(text("boardClock"), "100.000000 MHz");
    EXPECT_EQ(text("freq0Units"), "2.000000 MHz");
    EXPECT_EQ(text("outputFrequency"), "2.000000 MHz");
    model->setClockMHz(25.0);  // words as sent: the program's master clock changed
    ASSERT_TRUE(waitForRefresh());
    EXPECT_EQ(text("boardClock"), "25.000000 MHz");
}

TEST_F(BoardMonitorTest, LogKeepsTheLastTenThousandWords) {
    open();
    for (std::size_t i = 0; i < ChipModel::kLogLength + 60; ++i)
        model->applyWord(static_cast<uint16_t>(0x4000 + 0x0200 * (i % 4)));
    send({0x5800});
    ASSERT_TRUE(waitForRefresh());
    EXPECT_EQ(log()->rowCount(), 10000);
    EXPECT_TRUE(log()->row(9999).endsWith("0x5800  Select FREQ1"));
    EXPECT_TRUE(log()->row(9998).endsWith("0x4600  Select PHASE3")) << log()->row(9998).toStdString();
    EXPECT_EQ(text("wordCount"), "10061");
    EXPECT_EQ(monitor->findChild<QGroupBox*>("wordLogBox")->title(), "Last 10,000 words");
}

TEST_F(BoardMonitorTest, LogFollowsTheNewestWordUnlessScrolledUp) {
    open();
    double t = 0;
    model->setTimeSource([&t] { return t; });
    auto add = [&](std::size_t words) {  // each at its own millisecond, so each row reads differently
        for (std::size_t i = 0; i < words; ++i, t += 0.001) model->applyWord(0x4000);
        monitor->refresh();
    };
    add(ChipModel::kLogLength + 100);
    QScrollBar* bar = log()->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum()) << "follows while at the end";
    bar->setValue(500);
    const QString read = log()->row(500);
    add(200);
    EXPECT_EQ(log()->topRow(), 300);
    EXPECT_EQ(log()->row(300), read) << "the row being read stays in sight while older ones drop out";
}

TEST_F(BoardMonitorTest, OnlyThePlotAndTheLogChangeHeightWithTheWindow) {
    auto chip = attachChipModel(harness.board());
    BoardMonitor m(chip);
    m.show();
    QApplication::processEvents();
    QMap<QString, int> before;
    for (auto* box : m.findChildren<QGroupBox*>()) before[box->title()] = box->height();
    for (int height : {m.minimumSizeHint().height(), m.height() + 200}) {
        m.resize(m.width(), height);
        QApplication::processEvents();
        for (auto* box : m.findChildren<QGroupBox*>()) {
            const bool gives = box->title().startsWith("Last") || box->title().startsWith("Output frequency");
            EXPECT_EQ(box->height() != before[box->title()], gives) << box->title().toStdString() << " at " << height;
        }
    }
}

TEST_F(BoardMonitorTest, StaysLiveUnderAModalDialog) {
    open();
    QDialog dialog(&main.window);
    dialog.setModal(true);
    QString shown;
    bool refreshed = false;
    QTimer::singleShot(0, &dialog, [&] {
        send({0x3433, 0x2533, 0x3633, 0x2733, 0x5800, 0x9000});
        refreshed = waitForRefresh();
        shown = text("outputFrequency");
        dialog.accept();
    });
    dialog.exec();
    EXPECT_TRUE(refreshed);
    EXPECT_EQ(shown, "10.000000 MHz");
}

TEST_F(BoardMonitorTest, OpensBesideTheMainWindowInsideTheScreen) {
    open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(monitor.get()));
    EXPECT_TRUE(main.window.screen()->availableGeometry().contains(monitor->frameGeometry()));
}

TEST_F(BoardMonitorTest, PlotDrawsTheSawtoothAcrossItsHeight) {
    auto model = attachChipModel(harness.board());
    double t = 0.0;
    model->setTimeSource([&t] { return t; });
    BoardMonitor m(model);
    m.resize(600, 700);
    // Four ramps from 1 to 2 MHz over 8 seconds, one step each 20 ms.
    for (int i = 0; i < 400; ++i) {
        t = 1.0 + i * 0.02;
        const double mhz = 1.0 + (i % 100) / 100.0;
        const uint32_t word = static_cast<uint32_t>(mhz / 50.0 * 4294967296.0);
        send({static_cast<uint16_t>(0x3000 | (word & 0xFF)), static_cast<uint16_t>(0x2100 | ((word >> 8) & 0xFF)),
              static_cast<uint16_t>(0x3200 | ((word >> 16) & 0xFF)), static_cast<uint16_t>(0x2300 | (word >> 24))});
    }
    t = 9.5;
    m.refresh();
    auto* plot = m.findChild<FrequencyPlot*>("frequencyPlot");
    ASSERT_NE(plot, nullptr);
    const QImage image = plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The trace colour's topmost pixel in each column: a sawtooth climbs and drops repeatedly.
    std::vector<int> top;
    for (int x = 0; x < image.width(); ++x) {
        int y = 0;
        while (y < image.height() && QColor(image.pixel(x, y)) != QColor(0, 90, 200)) ++y;
        if (y < image.height()) top.push_back(y);
    }
    ASSERT_GT(top.size(), static_cast<std::size_t>(image.width() / 2));
    int drops = 0;  // big upward jumps in y are the falls back to 1 MHz
    for (std::size_t i = 1; i < top.size(); ++i)
        if (top[i] - top[i - 1] > image.height() / 5) ++drops;
    EXPECT_EQ(drops, 3);
    const auto [lo, hi] = std::minmax_element(top.begin(), top.end());
    EXPECT_GT(*hi - *lo, image.height() / 2);
}

}  // namespace
