#pragma once
// A loaded main window on the simulated board, shown and active, with
// message boxes and the program's end recorded instead of acted on.
#include "mainwindow/MainForm.h"
#include "startup/WindowsVersion.h"
#include "support/RecordingSeams.h"
#include "support/WireHarness.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

// The window's controls, found by their names as a user would find them.
struct MainFormControls {
    explicit MainFormControls(QWidget& w);
    QLineEdit *Text1, *Text2, *Text3, *Text4, *Text5, *Text6, *Text7;
    QLabel *Label11, *Label12;
    QPushButton *Command7, *Command8, *Command11, *Command12, *Command13, *Command14, *Command15;
    QRadioButton *Option1, *Option2, *Option3D1, *Option3D2, *Option3D3, *Option3D4, *Option3D5, *Option3D6;
    QWidget* Picture1;
    QMenuBar* menubar;
    QMenu *MnuFile, *MnuPort, *MnuHelp;
    QAction *MnuExit, *MnuAbout, *MnuLpt1, *MnuLpt2, *Mnuprn, *MnuMonitor;
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    MainFormControls& ui() { return *controls; }
    // Replaces the field's text by typing, the focus in the field.
    void typeInto(QLineEdit* field, const QString& text);
    void pressEnter(QWidget* target = nullptr);
    void pressTab();
    // Clicks a widget with the mouse, as a user moves the focus.
    void clickOn(QWidget* widget);
    std::vector<uint16_t> words() const { return wire.words(); }
    QWidget* focus() const;

    WireHarness wire;
    control::ChipControl& chip = wire.chip;
    RecordingSeams seams;
    Startup startup{wire.port, wire.chip, seams.notice};
    std::unique_ptr<MainForm> w;
    std::unique_ptr<MainFormControls> controls;
    std::vector<platform::Notice>& notices = seams.notice.notices;
    int& beeps = seams.notice.beeps;
    std::optional<int>& endedWith = seams.end.endedWith;
};

// Words as text, so a mismatch prints readably.
#define EXPECT_WORDS(actual, ...) EXPECT_EQ(hexWords(actual), hexWords(std::vector<uint16_t>{__VA_ARGS__}))
