// Edits are never lost and never sent behind the user's back: access keys
// commit the field first, menus and Exit commit nothing.
#include "MainFormFixture.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

namespace {

void waitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 300 && !done(); ++i) QTest::qWait(5);
}

struct AccessKeyCase {
    const char* name;
    int tabs;  // from "&Quit" to the field
    const char* typed;
    Qt::Key key;
    std::vector<uint16_t> expected;  // the field's words, then the button's
};

class AccessKeys : public MainFormTest, public ::testing::WithParamInterface<AccessKeyCase> {};

TEST_P(AccessKeys, CommitTheFieldBeforeTheButtonActs) {
    const AccessKeyCase& c = GetParam();
    for (int i = 0; i < c.tabs; ++i) pressTab();
    wire.clear();  // leaving the fields on the way commits them
    QTest::keyClicks(focus(), c.typed);
    QTest::keyClick(focus(), c.key, Qt::AltModifier);
    waitFor([&] { return words().size() >= c.expected.size(); });
    EXPECT_EQ(hexWords(words()), hexWords(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, AccessKeys,
    ::testing::Values(
        AccessKeyCase{"SyncAfterFreq0", 1, "12.5", Qt::Key_S, {0x3000, 0x2100, 0x3200, 0x2340, 0xA000}},
        AccessKeyCase{"ClearAfterPhase1", 4, "77", Qt::Key_C, {0x1A4D, 0x0B00, 0xC800}},
        AccessKeyCase{"ResetAfterFreq1", 2, "10", Qt::Key_R, {0x3433, 0x2533, 0x3633, 0x2733, 0xD000}},
        AccessKeyCase{"SelsrcAfterPhase3", 6, "4095", Qt::Key_L, {0x1EFF, 0x0F0F, 0x9000}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFormTest, AnAccessKeyOnBadTextEmptiesTheFieldAndTheButtonStillActs) {
    pressTab();
    QTest::keyClicks(focus(), "abc");
    QTest::keyClick(focus(), Qt::Key_S, Qt::AltModifier);
    waitFor([&] { return !words().empty(); });
    EXPECT_EQ(ui().Text1->text(), QString());
    EXPECT_WORDS(words(), 0xA000);
}

TEST_F(MainFormTest, QuitByAccessKeyCommitsTheFieldFirst) {
    for (int i = 0; i < 3; ++i) pressTab();
    wire.clear();
    QTest::keyClicks(focus(), "100");
    QTest::keyClick(focus(), Qt::Key_Q, Qt::AltModifier);
    waitFor([&] { return endedWith.has_value(); });
    EXPECT_EQ(endedWith, 0);
    EXPECT_WORDS(words(), 0x1864, 0x0900);
}

TEST_F(MainFormTest, AMenuOpenedAndClosedLeavesTheEditPending) {
    pressTab();
    QTest::keyClicks(focus(), "12.5");
    QTest::keyClick(focus(), Qt::Key_H, Qt::AltModifier);
    waitFor([&] { return ui().MnuHelp->isVisible(); });
    QTest::keyClick(ui().MnuHelp, Qt::Key_Escape);
    QTest::keyClick(ui().menubar, Qt::Key_Escape);
    waitFor([&] { return !ui().MnuHelp->isVisible(); });
    EXPECT_TRUE(words().empty());
    EXPECT_EQ(focus(), ui().Text1);
    EXPECT_EQ(ui().Text1->text(), "12.5");
    pressEnter();
    EXPECT_WORDS(words(), 0x3000, 0x2100, 0x3200, 0x2340);
}

TEST_F(MainFormTest, TheFieldsContextMenuCommitsNothing) {
    pressTab();
    QTest::keyClicks(focus(), "12.5");
    QTimer::singleShot(50, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    QTest::mouseClick(ui().Text1, Qt::RightButton, {}, QPoint(4, 4));
    QTest::qWait(100);
    EXPECT_TRUE(words().empty());
    EXPECT_EQ(ui().Text1->text(), "12.5");
}

TEST_F(MainFormTest, ExitFromTheMenuSendsNothing) {
    for (int i = 0; i < 3; ++i) pressTab();
    wire.clear();
    QTest::keyClicks(focus(), "100");
    QTest::keyClick(focus(), Qt::Key_F, Qt::AltModifier);
    waitFor([&] { return ui().MnuFile->isVisible(); });
    ASSERT_TRUE(ui().MnuFile->isVisible());
    QTest::keyClick(ui().MnuFile, Qt::Key_X);
    waitFor([&] { return endedWith.has_value(); });
    EXPECT_EQ(endedWith, 0);
    EXPECT_TRUE(words().empty());
}

TEST_F(MainFormTest, TheBoardMonitorItemFollowsItsOpener) {
    EXPECT_FALSE(ui().MnuMonitor->isEnabled());
    int opened = 0;
    w->setMonitorOpener([&] { ++opened; });
    ASSERT_TRUE(ui().MnuMonitor->isEnabled());
    ui().MnuMonitor->trigger();
    EXPECT_EQ(opened, 1);
}

}  // namespace
