#include "MainFormFixture.h"


#include <QApplication>
#include <QTest>

template <typename T>
static T* named(QWidget& w, const char* name) {
    T* found = w.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

MainFormControls::MainFormControls(QWidget& w)
    : Text1(named<QLineEdit>(w, "Text1")), Text2(named<QLineEdit>(w, "Text2")), Text3(named<QLineEdit>(w, "Text3")),
      Text4(named<QLineEdit>(w, "Text4")), Text5(named<QLineEdit>(w, "Text5")), Text6(named<QLineEdit>(w, "Text6")),
      Text7(named<QLineEdit>(w, "Text7")), Label11(named<QLabel>(w, "Label11")), Label12(named<QLabel>(w, "Label12")),
      Command7(named<QPushButton>(w, "Command7")), Command8(named<QPushButton>(w, "Command8")),
      Command11(named<QPushButton>(w, "Command11")), Command12(named<QPushButton>(w, "Command12")),
      Command13(named<QPushButton>(w, "Command13")), Command14(named<QPushButton>(w, "Command14")),
      Command15(named<QPushButton>(w, "Command15")), Option1(named<QRadioButton>(w, "Option1")),
      Option2(named<QRadioButton>(w, "Option2")), Option3D1(named<QRadioButton>(w, "Option3D1")),
      Option3D2(named<QRadioButton>(w, "Option3D2")), Option3D3(named<QRadioButton>(w, "Option3D3")),
      Option3D4(named<QRadioButton>(w, "Option3D4")), Option3D5(named<QRadioButton>(w, "Option3D5")),
      Option3D6(named<QRadioButton>(w, "Option3D6")), Picture1(named<QWidget>(w, "Picture1")),
      menubar(named<QMenuBar>(w, "menubar")), MnuFile(named<QMenu>(w, "MnuFile")), MnuPort(named<QMenu>(w, "MnuPort")),
      MnuHelp(named<QMenu>(w, "MnuHelp")) {
    auto action = [&w](const char* name) {
        QAction* a = w.findChild<QAction*>(name);
        EXPECT_NE(a, nullptr) << name;
        return a;
    };
    MnuExit = action("MnuExit");
    MnuAbout = action("MnuAbout");
    MnuLpt1 = action("MnuLpt1");
    MnuLpt2 = action("MnuLpt2");
    Mnuprn = action("Mnuprn");
    MnuMonitor = action("MnuMonitor");
}

void MainFormTest::SetUp() {
    w = std::make_unique<MainForm>(wire.chip, startup, seams.seams());
    w->Form_Load();
    controls = std::make_unique<MainFormControls>(*w);
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    wire.clear();
}

void MainFormTest::TearDown() { w.reset(); }

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
