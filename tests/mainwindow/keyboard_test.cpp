// How the window answers the keyboard and the focus: commits on leaving a
// field, where the focus goes, tab order, Enter, Space, Escape, Alt keys.
#include "MainFormFixture.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QTest>

TEST_F(MainFormTest, OpensWithTheFocusOnQuit) { EXPECT_EQ(focus(), ui().Command7); }

TEST_F(MainFormTest, StartUpSendsTheThreeWordsAndDisablesTheOptions) {
    WireHarness fresh;  // a second window loaded on a clean board
    Startup freshStartup(fresh.port, fresh.chip, seams.notice);
    MainForm other(fresh.chip, freshStartup, seams.seams());
    other.Form_Load();
    EXPECT_WORDS(fresh.words(), 0xD800, 0xC000, 0x8000);
    EXPECT_TRUE(MainFormControls(other).Option3D1->isChecked());
    EXPECT_TRUE(MainFormControls(other).Option3D3->isChecked());
    EXPECT_FALSE(MainFormControls(other).Option3D3->isEnabled());
}

TEST_F(MainFormTest, TabVisitsTheControlsInOrder) {
    clickOn(ui().Command11);  // SELSRC 1: the selection options take part too
    ui().Command7->setFocus();
    const std::vector<QWidget*> order = {
        ui().Command7, ui().Text1, ui().Text2, ui().Text3, ui().Text4, ui().Text5, ui().Text6, ui().Text7,
        ui().Option1, ui().Command11, ui().Option3D1, ui().Option3D3, ui().Command8, ui().Command13,
        ui().Command12, ui().Command15, ui().Command14};
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(focus(), order[i]) << "step " << i << ": focus on "
                                     << (focus() ? focus()->objectName().toStdString() : "nothing");
        pressTab();
    }
}

TEST_F(MainFormTest, TabCommitsTheFieldAndTheFocusGoesOnToTheNext) {
    typeInto(ui().Text1, "1");
    pressTab();
    EXPECT_EQ(focus(), ui().Text2);
    EXPECT_EQ(ui().Text1->text(), "1.0000000000");
    EXPECT_WORDS(words(), 0x3052, 0x21B8, 0x321E, 0x2305);
}

TEST_F(MainFormTest, ClickingIntoAnotherFieldCommitsAndKeepsTheClick) {
    typeInto(ui().Text3, "100");
    clickOn(ui().Text5);
    EXPECT_EQ(focus(), ui().Text5);
    EXPECT_WORDS(words(), 0x1864, 0x0900);
}

TEST_F(MainFormTest, OneCommitSendsOneSetOfWords) {
    typeInto(ui().Text2, "10");
    pressEnter();
    EXPECT_EQ(focus(), ui().Picture1);
    pressTab();  // leaving the sink commits nothing
    EXPECT_WORDS(words(), 0x3433, 0x2533, 0x3633, 0x2733);
}

TEST_F(MainFormTest, TwoInvalidFieldsDoNotBounceTheFocus) {
    ui().Text2->setText("xyz");
    typeInto(ui().Text1, "abc");
    clickOn(ui().Text2);
    EXPECT_EQ(focus(), ui().Text1);
    EXPECT_EQ(ui().Text1->text(), "");
    EXPECT_EQ(ui().Text2->text(), "xyz");
    pressTab();
    EXPECT_EQ(focus(), ui().Text1);
    EXPECT_EQ(ui().Text2->text(), "xyz");
    EXPECT_TRUE(words().empty());
}

TEST_F(MainFormTest, EnterInAFieldClicksNoButton) {
    for (QLineEdit* f : {ui().Text1, ui().Text3, ui().Text7}) {
        typeInto(f, "1");
        pressEnter();
        EXPECT_FALSE(endedWith.has_value()) << f->objectName().toStdString();
    }
    ui().Picture1->setFocus();
    pressEnter();
    EXPECT_FALSE(endedWith.has_value());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainFormTest, EnterOrSpaceOnQuitEndsTheProgramWithoutAWord) {
    pressEnter();
    EXPECT_EQ(endedWith, 0);
    endedWith.reset();
    ui().Command7->setFocus();
    QTest::keyClick(ui().Command7, Qt::Key_Space);
    EXPECT_EQ(endedWith, 0);
    EXPECT_TRUE(wire.recording().operations().empty());
}

TEST_F(MainFormTest, EnterOnAFocusedButtonClicksIt) {
    ui().Command13->setFocus();
    pressEnter();
    EXPECT_WORDS(words(), 0xA000);
}

TEST_F(MainFormTest, EscapeDoesNotCloseTheWindow) {
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(endedWith.has_value());
}

TEST_F(MainFormTest, AltKeysClickTheirButtons) {
    // An access key clicks its button with a short animated press.
    const std::pair<Qt::Key, uint16_t> keys[] = {
        {Qt::Key_S, 0xA000}, {Qt::Key_L, 0xB000}, {Qt::Key_R, 0xD000}, {Qt::Key_C, 0xD800}};
    for (auto [key, word] : keys) {
        wire.clear();
        QTest::keyClick(focus(), key, Qt::AltModifier);
        for (int i = 0; i < 200 && words().empty(); ++i) QTest::qWait(10);
        EXPECT_WORDS(words(), word);
    }
}

TEST_F(MainFormTest, ExitAndTheCloseBoxEndAtOnceWithNoPortWrite) {
    clickOn(ui().Command13);
    wire.recording().clear();
    ui().MnuExit->trigger();
    EXPECT_EQ(endedWith, 0);
    endedWith.reset();
    w->close();
    EXPECT_EQ(endedWith, 0);
    EXPECT_TRUE(wire.recording().operations().empty());
}

TEST_F(MainFormTest, SweepAndAboutOpenModallyAndLeaveTheFieldsAlone) {
    QStringList opened;
    w->setModalOpener([&](QDialog& d) {
        opened << d.windowTitle();
        EXPECT_EQ(d.windowModality(), Qt::WindowModal) << "the Board Monitor stays live";
        EXPECT_EQ(d.parentWidget(), w.get());
    });
    ui().Text1->setText("7");  // a commit would rewrite it as 7.0000000000
    ui().Command12->click();
    ui().MnuAbout->trigger();
    EXPECT_EQ(opened, (QStringList{"Sweep Control", "About QZ4471 Evaluation Software"}));
    EXPECT_EQ(ui().Text1->text(), "7");
    EXPECT_TRUE(words().empty());
}

TEST_F(MainFormTest, AltKeysOpenTheirMenus) {
    for (QMenu* menu : {ui().MnuFile, ui().MnuPort, ui().MnuHelp}) {
        const QChar key = menu->title().at(menu->title().indexOf('&') + 1).toUpper();
        QTest::keyClick(focus(), static_cast<Qt::Key>(key.unicode()), Qt::AltModifier);
        for (int i = 0; i < 200 && !menu->isVisible(); ++i) QTest::qWait(10);
        EXPECT_TRUE(menu->isVisible()) << menu->title().toStdString();
        QTest::keyClick(menu, Qt::Key_Escape);
        QTest::keyClick(ui().menubar, Qt::Key_Escape);
        for (int i = 0; i < 200 && menu->isVisible(); ++i) QTest::qWait(10);
    }
    EXPECT_TRUE(words().empty());
}
