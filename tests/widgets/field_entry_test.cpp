// The leaving rule of FieldEntry, driven with real key and mouse events on a
// small window: which focus changes commit the field and which do not.
#include "widgets/FieldEntry.h"

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class Window {
public:
    Window() {
        auto* central = new QWidget;
        auto* box = new QVBoxLayout(central);
        for (QWidget* w : std::initializer_list<QWidget*>{a = new QLineEdit, b = new QLineEdit,
                                                          go = new QPushButton("&Go")})
            box->addWidget(w);
        main.setCentralWidget(central);
        menu = main.menuBar()->addMenu("&Menu");
        menu->addAction("Item");
        QObject::connect(go, &QPushButton::clicked, [this] { log += "click;"; });
        entry = new FieldEntry(&main);
        entry->add({a, [this](FieldEntry::Trigger) { log += "enter;"; },
                    [this](FieldEntry::Trigger) { log += "leave;"; }, false, {}});
        entry->add({b, nullptr, [this](FieldEntry::Trigger) { log += "leave b;"; }, false, {}});
        main.show();
        QApplication::setActiveWindow(&main);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&main));
        a->setFocus(Qt::MouseFocusReason);
    }

    QMainWindow main;
    QLineEdit *a, *b;
    QPushButton* go;
    QMenu* menu;
    FieldEntry* entry;
    std::string log;
};

void waitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 300 && !done(); ++i) QTest::qWait(5);
}

// Opens the menu by its access key and closes it with one Escape: the menu
// bar keeps the keyboard, the field is left pending.
void menuThenOneEscape(Window& w) {
    QTest::keyClick(w.a, Qt::Key_M, Qt::AltModifier);
    waitFor([&] { return w.menu->isVisible(); });
    QTest::keyClick(w.menu, Qt::Key_Escape);
    waitFor([&] { return !w.menu->isVisible(); });
    EXPECT_EQ(QApplication::focusWidget(), w.main.menuBar());
    EXPECT_EQ(w.entry->pendingField(), w.a);
}

// A window whose first field takes the focus when it comes to the front.
struct OtherWindow : QWidget {
    OtherWindow() {
        auto* box = new QVBoxLayout(this);
        box->addWidget(first = new QLineEdit);
        box->addWidget(second = new QLineEdit);
    }
    QLineEdit *first, *second;
};

void otherWindowToTheFront(Window& w, QWidget& other) {
    other.show();
    QApplication::setActiveWindow(&other);
    waitFor([&] { return !w.a->hasFocus(); });
    EXPECT_EQ(w.entry->pendingField(), w.a);
}

struct Move {
    const char* name;
    std::function<void(Window&)> act;
    const char* log;  // what reached the handlers
};

class LeavingRule : public ::testing::TestWithParam<Move> {};

TEST_P(LeavingRule, CommitsExactlyWhenTheUserLeavesTheField) {
    Window w;
    GetParam().act(w);
    EXPECT_EQ(w.log, GetParam().log);
}

const Move kMoves[] = {
    {"Tab", [](Window& w) { QTest::keyClick(w.a, Qt::Key_Tab); }, "leave;"},
    {"Backtab", [](Window& w) { QTest::keyClick(w.a, Qt::Key_Backtab, Qt::ShiftModifier); }, "leave;"},
    {"ClickIntoAnotherField", [](Window& w) { QTest::mouseClick(w.b, Qt::LeftButton); }, "leave;"},
    {"ClickOnAButton", [](Window& w) { QTest::mouseClick(w.go, Qt::LeftButton); }, "leave;click;"},
    {"AccessKeyOfAButton",
     [](Window& w) {
         QTest::keyClick(w.a, Qt::Key_G, Qt::AltModifier);
         waitFor([&] { return w.log.find("click") != std::string::npos; });
     },
     "leave;click;"},
    {"EnterCommitsAndStays", [](Window& w) { QTest::keyClick(w.a, Qt::Key_Return); }, "enter;"},
    {"KeypadEnter", [](Window& w) { QTest::keyClick(w.a, Qt::Key_Enter, Qt::KeypadModifier); }, "enter;"},
    {"ProgramMove", [](Window& w) { w.b->setFocus(Qt::OtherFocusReason); }, ""},
    {"MoveThroughFieldEntry", [](Window& w) { w.entry->moveFocus(w.b); }, ""},
    {"MenuOpenedAndClosedByKeys",
     [](Window& w) {
         QTest::keyClick(w.a, Qt::Key_M, Qt::AltModifier);
         waitFor([&] { return w.menu->isVisible(); });
         QTest::keyClick(w.menu, Qt::Key_Escape);
         QTest::keyClick(w.main.menuBar(), Qt::Key_Escape);
         waitFor([&] { return !w.menu->isVisible(); });
     },
     ""},
    {"ContextMenuOfTheField",
     [](Window& w) {
         QTimer::singleShot(50, [] {
             if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
         });
         QTest::mouseClick(w.a, Qt::RightButton);
         QTest::qWait(100);
     },
     ""},
    {"AnotherWindowToTheFront",
     [](Window& w) {
         QWidget other;
         other.show();
         QApplication::setActiveWindow(&other);
         waitFor([&] { return !w.a->hasFocus(); });
     },
     ""},
    // A field left pending commits first, exactly once, at the next move
    // that commits or when a button of its window acts.
    {"PendingAfterOneEscapeThenClickOnAButton",
     [](Window& w) {
         menuThenOneEscape(w);
         EXPECT_EQ(w.log, "");
         QTest::mouseClick(w.go, Qt::LeftButton);
     },
     "leave;click;"},
    {"PendingAfterOneEscapeThenAccessKey",
     [](Window& w) {
         menuThenOneEscape(w);
         QTest::keyClick(w.main.menuBar(), Qt::Key_G, Qt::AltModifier);
         waitFor([&] { return w.log.find("click") != std::string::npos; });
     },
     "leave;click;"},
    {"PendingAfterOneEscapeThenClickIntoAnotherField",
     [](Window& w) {
         menuThenOneEscape(w);
         QTest::mouseClick(w.b, Qt::LeftButton);
         EXPECT_EQ(QApplication::focusWidget(), w.b);
         QTest::mouseClick(w.go, Qt::LeftButton);  // b was entered, so leaving it commits b alone
     },
     "leave;leave b;click;"},
    {"PendingThenBackIntoTheFieldGoesOnEditing",
     [](Window& w) {
         menuThenOneEscape(w);
         QTest::mouseClick(w.a, Qt::LeftButton);
         EXPECT_EQ(w.log, "");
         EXPECT_EQ(w.entry->pendingField(), nullptr);
         QTest::keyClick(w.a, Qt::Key_Tab);
     },
     "leave;"},
    {"PendingAfterTwoEscapesIsBackInTheField",
     [](Window& w) {
         menuThenOneEscape(w);
         QTest::keyClick(w.main.menuBar(), Qt::Key_Escape);
         waitFor([&] { return w.a->hasFocus(); });
         EXPECT_EQ(w.entry->pendingField(), nullptr);
         QTest::mouseClick(w.go, Qt::LeftButton);
     },
     "leave;click;"},
    {"PendingCommittedByAMenuActionOnce",
     [](Window& w) {
         menuThenOneEscape(w);
         EXPECT_TRUE(w.entry->commitPending());
         EXPECT_FALSE(w.entry->commitPending());
         QTest::mouseClick(w.go, Qt::LeftButton);
     },
     "leave;click;"},
    {"PendingAfterAnotherWindowThenClickOnAButton",
     [](Window& w) {
         QWidget other;
         otherWindowToTheFront(w, other);
         QTest::mouseClick(w.go, Qt::LeftButton);
     },
     "leave;click;"},
    {"PendingAfterAnotherWindowThenClickInThatWindow",
     [](Window& w) {
         OtherWindow other;
         otherWindowToTheFront(w, other);
         QTest::mouseClick(other.second, Qt::LeftButton);
         EXPECT_TRUE(other.second->hasFocus());
         EXPECT_EQ(w.log, "leave;");
         QTest::mouseClick(w.go, Qt::LeftButton);
     },
     "leave;click;"},
    {"PendingAfterAnotherWindowThenProgramMoveThere",
     [](Window& w) {
         OtherWindow other;
         otherWindowToTheFront(w, other);
         other.second->setFocus(Qt::OtherFocusReason);
         EXPECT_TRUE(other.second->hasFocus());
         EXPECT_EQ(w.entry->pendingField(), w.a);
     },
     ""},
    {"PendingOfAHiddenWindowNeverCommits",
     [](Window& w) {
         OtherWindow other;
         otherWindowToTheFront(w, other);
         w.main.hide();
         QTest::mouseClick(other.second, Qt::LeftButton);
         EXPECT_TRUE(other.second->hasFocus());
         EXPECT_EQ(w.entry->pendingField(), nullptr);
     },
     ""},
};

INSTANTIATE_TEST_SUITE_P(FocusChanges, LeavingRule, ::testing::ValuesIn(kMoves),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FieldEntryGuards, ACommitThatRefusesKeepsTheFocusWithoutBouncing) {
    // Field a refuses its text on every leave, as a field with bad text does;
    // leaving b commits nothing because b never had the focus.
    Window w;
    FieldEntry entry(&w.main);
    int refusals = 0;
    auto* c = new QLineEdit(w.main.centralWidget());
    w.main.centralWidget()->layout()->addWidget(c);
    entry.add({c, nullptr, [&](FieldEntry::Trigger) { ++refusals, entry.refuse(c); }, false, {}});
    c->show();
    c->setText("abc");
    c->setFocus(Qt::MouseFocusReason);
    w.log.clear();
    QTest::keyClick(c, Qt::Key_Tab);
    EXPECT_EQ(refusals, 1);
    EXPECT_EQ(QApplication::focusWidget(), c);
    EXPECT_EQ(c->text(), QString());
    EXPECT_EQ(w.log, "") << "no other field was committed by the refusal's refocus";
}

TEST(FieldEntryGuards, EnterOnAFocusedButtonClicksIt) {
    Window w;
    w.go->setFocus(Qt::TabFocusReason);
    w.log.clear();
    QTest::keyClick(w.go, Qt::Key_Return);
    QTest::keyClick(w.go, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(w.log, "click;click;");
}

}  // namespace
