// Window placement on screens of the sizes the program meets, laid side by
// side as four offscreen screens (whose windows get a 2 px frame).
#include "support/Wait.h"
#include "widgets/Placement.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryFile>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

const QRect kScreens[] = {{0, 0, 1366, 768}, {1366, 0, 1280, 1024}, {2646, 0, 1920, 1080}, {4566, 0, 320, 240}};
const QSize kMainSize(547, 412), kMonitorSize(640, 740);

// A main window on `screen`, its frame's left edge at `across` (0 to 1) of the free width.
void putMain(QWidget& main, const QRect& screen, double across) {
    main.resize(kMainSize.boundedTo(screen.size() - QSize(40, 40)));
    main.show();
    const QSize free = screen.size() - main.frameGeometry().size();
    main.move(screen.topLeft() + QPoint(static_cast<int>(free.width() * across), free.height() / 2));
}

class BesideTheMainWindow : public ::testing::TestWithParam<std::tuple<QRect, double>> {};

TEST_P(BesideTheMainWindow, StaysInsideAndLeavesTheMainWindowFreeWhenThereIsRoom) {
    const auto [avail, across] = GetParam();
    QWidget main, tool;  // no owner: the tool's frame is guessed from the main window's
    putMain(main, avail, across);
    tool.resize(kMonitorSize);
    widgets::placeBeside(tool, main);
    tool.show();
    const QRect placed = tool.frameGeometry(), anchor = main.frameGeometry();

    EXPECT_TRUE(avail.contains(placed));
    EXPECT_EQ(placed.height(), std::min(kMonitorSize.height() + 4, avail.height())) << "shrinks only to fit";
    const int need = placed.width() + widgets::kBesideGap;
    if (avail.right() - anchor.right() >= need) {
        EXPECT_EQ(placed.left(), anchor.right() + 1 + widgets::kBesideGap) << "to the right first";
    } else if (anchor.left() - avail.left() >= need) {
        EXPECT_EQ(placed.right(), anchor.left() - 1 - widgets::kBesideGap);
    } else {
        EXPECT_TRUE(placed.left() == avail.left() || placed.right() == avail.right()) << "at an edge";
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, BesideTheMainWindow,
                         ::testing::Combine(::testing::ValuesIn(kScreens), ::testing::Values(0.0, 0.5, 1.0)));

TEST(BesideRect, WithoutRoomTakesTheWiderSidesEdgeAndNeverLeavesTheScreen) {
    const QRect avail(0, 0, 1000, 800);
    EXPECT_EQ(widgets::besideRect({500, 100, 300, 200}, {600, 300}, avail), QRect(0, 100, 600, 300));
    EXPECT_EQ(widgets::besideRect({-900, 0, 300, 200}, {400, 300}, avail), QRect(0, 0, 400, 300));
}

TEST(PlaceBeside, TakesTheLayoutsMinimumBeforeTheFirstShow) {
    QWidget main, tool;
    putMain(main, kScreens[0], 0.5);
    (new QVBoxLayout(&tool))->addWidget(new QWidget(&tool));
    tool.findChild<QWidget*>()->setMinimumSize(500, 100);
    tool.resize(300, 300);  // would fit beside the main window; the layout will not
    widgets::placeBeside(tool, main);
    tool.show();
    EXPECT_TRUE(kScreens[0].contains(tool.frameGeometry()));
}

// A tool placed with a frame guessed too small (none at all) runs past the
// bottom once framed; each time it is shown it goes back inside, and a move
// of the user's after that stays.
TEST(PlaceBesideOnceFramed, PutsTheFramedWindowBackInsideAtEachShowAndLeavesLaterMovesAlone) {
    const QRect screen = kScreens[0];
    QWidget main, tool;
    putMain(main, screen, 0.0);
    widgets::placeBesideOnceFramed(tool, main, 300);
    for (int show = 0; show < 2; ++show) {
        tool.resize(640, screen.height());  // fits without a frame, not with one
        tool.move(screen.right() - 700, screen.top());
        tool.show();
        EXPECT_TRUE(waitUntil([&] { return screen.contains(tool.frameGeometry()); })) << "show " << show;
        EXPECT_GT(tool.frameGeometry().height(), tool.height()) << "framed";
        tool.hide();
    }
    tool.show();
    ASSERT_TRUE(waitUntil([&] { return !widgets::placementSettling(tool); }));
    const QPoint moved(screen.right() - 100, screen.top() + 50);
    tool.move(moved);
    EXPECT_TRUE(waitUntil([&] { return tool.frameGeometry().topLeft() == moved; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(tool.frameGeometry().topLeft(), moved);
}

TEST(CentreOnScreen, CentresTheOuterFrameOnTheOwnersScreen) {
    QWidget owner, dialog(&owner, Qt::Dialog);
    putMain(owner, kScreens[1], 0.0);  // not the primary screen
    dialog.resize(300, 200);
    widgets::centreOnScreen(dialog);
    dialog.show();
    EXPECT_EQ(dialog.frameGeometry().center(), kScreens[1].center());
}

}  // namespace

// The screens are set before the application starts.
int main(int argc, char** argv) {
    QTemporaryFile config;
    if (!config.open()) return 2;
    QStringList screens;
    for (const QRect& g : kScreens)
        screens << QStringLiteral(R"({"name": "%1x%2@%3", "x": %3, "y": 0, "width": %1, "height": %2})")
                       .arg(g.width()).arg(g.height()).arg(g.x());
    config.write(QStringLiteral(R"({"screens": [%1]})").arg(screens.join(',')).toUtf8());
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
