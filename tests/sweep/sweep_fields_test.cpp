// The sweep window's fields: patterns, limits, bad text, focus, defaults.
#include "SweepFixture.h"
#include "support/Wait.h"


#include <QApplication>
#include <QTest>

namespace {

struct FieldCase {
    int field;
    const char* typed;
    const char* shown;
};

class FieldRules : public SweepFixture, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(FieldRules, EnterRewritesTheFieldInItsPattern) {
    const FieldCase& c = GetParam();
    enter(c.field, c.typed);
    EXPECT_EQ(text(c.field)->text().toStdString(), c.shown);
    EXPECT_EQ(beeps, 0);
    EXPECT_TRUE(text(c.field)->hasFocus()) << "Enter does not move the focus";
    EXPECT_TRUE(wire.words().empty());
}

TEST_P(FieldRules, LeavingTheFieldDoesTheSame) {
    const FieldCase& c = GetParam();
    type(c.field, c.typed);
    QTest::keyClick(text(c.field), Qt::Key_Tab);
    EXPECT_EQ(text(c.field)->text().toStdString(), c.shown);
    EXPECT_FALSE(text(c.field)->hasFocus());
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FieldRules,
    ::testing::Values(FieldCase{1, "30", "25.0000000000"}, FieldCase{1, "-3", "00.0000000000"},
                      FieldCase{1, "5", "05.0000000000"}, FieldCase{2, "1.5", "01.5000000000"},
                      FieldCase{3, "5", "05.0000000000"}, FieldCase{8, "5", "05.00000000"},
                      FieldCase{8, "30", "25.00000000"}, FieldCase{9, "12.5", "12.5000000000"},
                      FieldCase{10, "-0.5", "00.0000000000"}, FieldCase{4, "0", "1"}, FieldCase{4, "2.5", "2.5"},
                      FieldCase{7, "-4", "1"}, FieldCase{7, "3", "3"}, FieldCase{5, "250000", "100000"},
                      FieldCase{5, "-1", "0"}, FieldCase{5, "2.75", "2.75"}, FieldCase{6, "250000", "100000"},
                      FieldCase{6, "1e1", "10"}));

class BadText : public SweepFixture, public ::testing::WithParamInterface<int> {};

TEST_P(BadText, BeepsEmptiesTheFieldAndKeepsTheFocus) {
    const int n = GetParam();
    enter(n, "abc");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(text(n)->text(), QString());
    EXPECT_TRUE(text(n)->hasFocus());
    QTest::keyClick(text(n), Qt::Key_Tab);
    EXPECT_EQ(beeps, 2) << "leaving the empty field beeps again";
    EXPECT_TRUE(text(n)->hasFocus());
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(wire.words().empty());
}

INSTANTIATE_TEST_SUITE_P(AllFields, BadText, ::testing::Range(1, 11));

TEST_F(SweepFixture, NumberBeyondSingleRangeIsBadText) {
    enter(2, "1e39");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(text(2)->text(), QString());
}

TEST_F(SweepFixture, OtherKeysReachTheFieldUnchanged) {
    type(1, "a1.-x ");
    EXPECT_EQ(text(1)->text(), QStringLiteral("a1.-x "));
    EXPECT_EQ(beeps, 0);
}

TEST_F(SweepFixture, EnterInAFieldNeverStartsASweep) {
    for (int n : {1, 5, 6, 10}) {
        text(n)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(text(n), Qt::Key_Return);
        QTest::keyClick(text(n), Qt::Key_Enter, Qt::KeypadModifier);
    }
    EXPECT_EQ(frame(1)->title(), QStringLiteral("Freq. 0 Controls"));
    EXPECT_EQ(frame(2)->title(), QStringLiteral("Freq. 1 Controls"));
    EXPECT_FALSE(w->Countup1.isEnabled() || w->Countdown1.isEnabled() || w->Countup2.isEnabled() ||
                 w->countdown2.isEnabled());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(wire.words().empty());
    for (auto* b : w->findChildren<QPushButton*>()) {
        EXPECT_FALSE(b->autoDefault()) << b->objectName().toStdString();
        EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
    }
}

TEST_F(SweepFixture, LeavingABadFieldForAnotherBadOneReturnsToTheFieldLeft) {
    type(1, "abc");
    text(2)->setText(QStringLiteral("xyz"));
    QTest::mouseClick(text(2), Qt::LeftButton);
    EXPECT_TRUE(text(1)->hasFocus());
    EXPECT_EQ(text(1)->text(), QString());
    EXPECT_EQ(text(2)->text(), QStringLiteral("xyz"));
    EXPECT_EQ(beeps, 1);
    QTest::keyClick(text(1), Qt::Key_Backtab);  // and again, from the emptied one
    EXPECT_TRUE(text(1)->hasFocus());
    EXPECT_EQ(text(2)->text(), QStringLiteral("xyz"));
    EXPECT_EQ(beeps, 2);
}

TEST_F(SweepFixture, OpensWithTheDefaultsAndTheFocusInText1) {
    const char* defaults[] = {"00.00000000", "10.00000000", "01.00000000", "1", "1",
                              "1",           "1",           "01.00000000", "10.00000000", "00.00000000"};
    for (int n = 1; n <= 10; ++n) EXPECT_EQ(text(n)->text().toStdString(), defaults[n - 1]) << "Text" << n;
    EXPECT_TRUE(text(1)->hasFocus());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Sweep Control"));
    EXPECT_EQ(frame(1)->title(), QStringLiteral("Freq. 0 Controls"));
    EXPECT_EQ(frame(2)->title(), QStringLiteral("Freq. 1 Controls"));
    EXPECT_EQ(button("Back")->text(), QStringLiteral("&Back"));
    EXPECT_EQ(w->size(), QSize(421, 335));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_FALSE(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_DOUBLE_EQ(text(1)->font().pointSizeF(), 8.25);
    EXPECT_TRUE(text(1)->font().bold());
    EXPECT_DOUBLE_EQ(frame(2)->font().pointSizeF(), 9.75);
}

// The engine keeps the settings: a window opened later shows those in force.
TEST_F(SweepFixture, ReopeningAfterBackShowsTheSettingsInForce) {
    enter(1, "3");
    enter(7, "4");
    w->Command1_Click();
    click("Back");
    EXPECT_FALSE(w->isVisible());
    w = std::make_unique<Sweep>(wire.chip, notice);
    EXPECT_EQ(text(1)->text(), QStringLiteral("03.0000000000"));
    EXPECT_EQ(text(7)->text(), QStringLiteral("4"));
    EXPECT_EQ(frame(1)->title(), QStringLiteral("Freq. 0 Controls"));
    EXPECT_FALSE(w->Countup1.isEnabled());
}

TEST_F(SweepFixture, TabGoesThroughTheFormInItsOrder) {
    // Start and Stop sit between Text5 and Text6, group 1 from the bottom up; the
    // kind's choices after each group's fields (Tab reaches the checked option only).
    const char* withButtons[] = {"Text2",    "Text3",    "Text4", "Text5", "Option1", "Check1",
                                 "Command1", "Command2", "Command3", "Command4", "Text6", "Text7",
                                 "Text8",    "Text9",    "Text10", "Option3", "Check2", "Back", "Text1"};
    ASSERT_TRUE(text(1)->hasFocus());
    for (const char* name : withButtons) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_TRUE(QApplication::focusWidget());
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), name);
    }
    EXPECT_EQ(beeps, 0);
}

TEST_F(SweepFixture, EscapeDoesNotCloseTheWindow) {
    QTest::keyClick(text(1), Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(SweepFixture, AltBCommitsTheFieldThenGoesBack) {
    type(2, "7");
    QTest::keyClick(text(2), Qt::Key_B, Qt::AltModifier);
    EXPECT_EQ(text(2)->text(), "07.0000000000") << "the field is left, as a click on Back leaves it";
    // A mnemonic presses its button with a short animation.
    for (int i = 0; i < 5000 && w->isVisible(); ++i) QTest::qWait(1);
    EXPECT_FALSE(w->isVisible());
}

class EnterOnButton : public SweepFixture, public ::testing::WithParamInterface<Qt::Key> {};

TEST_P(EnterOnButton, ClicksTheFocusedButton) {
    fillGroup(0, "0", "10", "5", "1", "0");
    button("Command1")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button("Command1"), GetParam());
    EXPECT_EQ(frame(1)->title(), "Sweeping") << "Start";
    button("Command2")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button("Command2"), GetParam());
    EXPECT_EQ(frame(1)->title(), "Freq. 0 Controls") << "Stop";
    button("Back")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button("Back"), GetParam());
    EXPECT_FALSE(w->isVisible()) << "Back";
}

INSTANTIATE_TEST_SUITE_P(ReturnAndKeypad, EnterOnButton, ::testing::Values(Qt::Key_Return, Qt::Key_Enter));

}  // namespace

// A hop list holds the frequency registers while it runs, whichever door
// started it: the Start buttons wait for its end.
TEST_F(SweepFixture, StartButtonsWaitWhileAListRuns) {
    auto* start0 = w->findChild<QPushButton*>(QStringLiteral("Command1"));
    auto* start1 = w->findChild<QPushButton*>(QStringLiteral("Command4"));
    ASSERT_EQ(wire.chip.setListFrequencies({1e6, 2e6}, false), "");
    ASSERT_EQ(wire.chip.setListDwells({1.0}, false), "");
    wire.chip.setListTrigger(hoplist::Trigger::Bus);  // it waits for triggers, so it stays running
    ASSERT_TRUE(wire.chip.startList().ok());
    EXPECT_TRUE(waitUntil([&] { return !start0->isEnabled() && !start1->isEnabled(); }, 2000));
    wire.chip.stopList();
    EXPECT_TRUE(waitUntil([&] { return start0->isEnabled() && start1->isEnabled(); }, 2000));
}
