#include "MainFormFixture.h"

#include "platform/ProgramEnd.h"

#include <QApplication>
#include <QTest>

void MainFormTest::SetUp() {
    platform::setMessageHandler([this](const platform::Notice& n) { notices.push_back(n); });
    platform::setBeepHandler([this] { ++beeps; });
    platform::setProgramEnder([this](int status) { endedWith = status; });
    w = std::make_unique<MainForm>();
    w->Form_Load();
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    wire.clear();
}

void MainFormTest::TearDown() {
    w.reset();
    platform::setMessageHandler(nullptr);
    platform::setBeepHandler(nullptr);
    platform::setProgramEnder(nullptr);
}

QWidget* MainFormTest::focus() const { return QApplication::focusWidget(); }

void MainFormTest::clickOn(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, 4)); }

void MainFormTest::typeInto(QLineEdit* field, const QString& text) {
    if (focus() != field) clickOn(field);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

void MainFormTest::pressEnter(QWidget* target) { QTest::keyClick(target ? target : focus(), Qt::Key_Return); }

void MainFormTest::pressTab() { QTest::keyClick(focus(), Qt::Key_Tab); }
