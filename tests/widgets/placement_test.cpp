// Window placement on screens of the sizes the program meets, laid side by
// side as four offscreen screens (whose windows get a 2 px frame).
#include "widgets/Placement.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryFile>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <string>

namespace {

struct ScreenCase {
    const char* name;
    QRect geometry;
};

const ScreenCase kScreens[] = {{"Wide1366x768", {0, 0, 1366, 768}},
                               {"Square1280x1024", {1366, 0, 1280, 1024}},
                               {"Full1920x1080", {2646, 0, 1920, 1080}},
                               {"Tiny320x240", {4566, 0, 320, 240}}};

// Where the main window stands on its screen.
enum class Anchor { Centred, LeftEdge, RightEdge };

struct Case {
    ScreenCase screen;
    Anchor anchor;
};

const QSize kMainSize(547, 412), kMonitorSize(640, 740);

class BesideTheMainWindow : public ::testing::TestWithParam<Case> {};

TEST_P(BesideTheMainWindow, StaysInsideAndLeavesTheMainWindowFreeWhenThereIsRoom) {
    const QRect avail = GetParam().screen.geometry;
    QWidget main;
    main.resize(kMainSize.boundedTo(avail.size() - QSize(40, 40)));
    main.show();
    const QSize outer = main.frameGeometry().size();
    const int left = GetParam().anchor == Anchor::LeftEdge    ? avail.left()
                     : GetParam().anchor == Anchor::RightEdge ? avail.right() + 1 - outer.width()
                                                              : avail.left() + (avail.width() - outer.width()) / 2;
    main.move(left, avail.top() + (avail.height() - outer.height()) / 2);
    ASSERT_EQ(main.frameGeometry().topLeft(), QPoint(left, avail.top() + (avail.height() - outer.height()) / 2));

    QWidget tool;  // no owner: its frame is guessed from the main window's
    tool.resize(kMonitorSize);
    widgets::placeBeside(tool, main);
    tool.show();
    const QRect placed = tool.frameGeometry(), anchor = main.frameGeometry();

    EXPECT_TRUE(avail.contains(placed)) << "placed at " << placed.x() << "," << placed.y() << " " << placed.width()
                                        << "x" << placed.height();
    EXPECT_EQ(placed.height(), std::min(kMonitorSize.height() + 4, avail.height())) << "shrinks only to fit";
    const int need = placed.width() + widgets::kBesideGap;
    const bool roomRight = avail.right() - anchor.right() >= need, roomLeft = anchor.left() - avail.left() >= need;
    if (roomRight) {
        EXPECT_EQ(placed.left(), anchor.right() + 1 + widgets::kBesideGap) << "to the right first";
    } else if (roomLeft) {
        EXPECT_EQ(placed.right(), anchor.left() - 1 - widgets::kBesideGap);
    }
    if (roomLeft || roomRight) {
        EXPECT_FALSE(placed.intersects(anchor));
    }
}

std::vector<Case> allCases() {
    std::vector<Case> cases;
    for (const ScreenCase& s : kScreens)
        for (Anchor a : {Anchor::Centred, Anchor::LeftEdge, Anchor::RightEdge}) cases.push_back({s, a});
    return cases;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    const char* where[] = {"Centred", "AtLeftEdge", "AtRightEdge"};
    return std::string(info.param.screen.name) + where[static_cast<int>(info.param.anchor)];
}

INSTANTIATE_TEST_SUITE_P(Screens, BesideTheMainWindow, ::testing::ValuesIn(allCases()), caseName);

TEST(PlaceBeside, TakesTheLayoutsMinimumBeforeTheFirstShow) {
    const QRect avail = kScreens[0].geometry;
    QWidget main;
    main.setGeometry(QRect(QPoint(), kMainSize).translated(avail.center() - QRect(QPoint(), kMainSize).center()));
    main.show();
    QWidget tool;
    auto* layout = new QVBoxLayout(&tool);
    layout->addWidget(new QWidget(&tool));
    layout->itemAt(0)->widget()->setMinimumSize(500, 100);
    tool.resize(300, 300);  // fits beside the main window; its layout will not
    widgets::placeBeside(tool, main);
    tool.show();
    EXPECT_TRUE(avail.contains(tool.frameGeometry()));
}

struct RuleCase {
    const char* name;
    QRect anchor;
    QSize outer;
    QRect expected;  // on a 1000 x 800 screen at 0,0
};

class BesideRect : public ::testing::TestWithParam<RuleCase> {};

TEST_P(BesideRect, FollowsTheRule) {
    EXPECT_EQ(widgets::besideRect(GetParam().anchor, GetParam().outer, QRect(0, 0, 1000, 800)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BesideRect,
    ::testing::Values(RuleCase{"NoRoomEitherSideTakesTheEdgeOfTheWiderSide", {500, 100, 300, 200}, {600, 300}, {0, 100, 600, 300}},
                      RuleCase{"AnchorLowOnTheScreenRaisesTheWindow", {0, 600, 300, 200}, {400, 500}, {308, 300, 400, 500}},
                      RuleCase{"AnchorOffTheScreenStillLandsInside", {-900, 0, 300, 200}, {400, 300}, {0, 0, 400, 300}},
                      RuleCase{"TallerThanTheScreenIsCutDown", {100, 100, 300, 200}, {400, 900}, {408, 0, 400, 800}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CentreOnScreen, CentresTheOuterFrameOnTheOwnersScreen) {
    const QRect screen = kScreens[1].geometry;  // not the primary one
    QWidget owner;
    owner.move(screen.topLeft() + QPoint(100, 100));
    owner.show();
    QWidget dialog(&owner, Qt::Dialog);
    dialog.resize(300, 200);
    widgets::centreOnScreen(dialog);
    dialog.show();
    EXPECT_EQ(dialog.frameGeometry().center(), screen.center());
}

}  // namespace

// The screens are set before the application starts.
int main(int argc, char** argv) {
    QTemporaryFile config;
    if (!config.open()) return 2;
    std::string json = R"({"screens": [)";
    for (const ScreenCase& s : kScreens) {
        const QRect& g = s.geometry;
        json += (&s == kScreens ? "" : ",") + QStringLiteral(R"({"name": "%1", "x": %2, "y": %3, "width": %4, "height": %5})")
                                                  .arg(s.name).arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())
                                                  .toStdString();
    }
    json += "]}";
    config.write(json.c_str());
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
