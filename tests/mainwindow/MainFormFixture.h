#pragma once
// A loaded main window on the simulated board, shown and active, with
// message boxes and the program's end recorded instead of acted on.
#include "mainwindow/MainForm.h"
#include "platform/UserNotice.h"
#include "support/WireHarness.h"
#include "mainwindow/MainFormControls.h"

#include <QLineEdit>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Ui::MainForm& ui() { return w->form(); }
    // Replaces the field's text by typing, the focus in the field.
    void typeInto(QLineEdit* field, const QString& text);
    void pressEnter(QWidget* target = nullptr);
    void pressTab();
    // Clicks a widget with the mouse, as a user moves the focus.
    void clickOn(QWidget* widget);
    std::vector<uint16_t> words() const { return wire.words(); }
    QWidget* focus() const;

    WireHarness wire;
    std::unique_ptr<MainForm> w;
    std::vector<platform::Notice> notices;
    int beeps = 0;
    std::optional<int> endedWith;
};

// Words as text, so a mismatch prints readably.
#define EXPECT_WORDS(actual, ...) EXPECT_EQ(hexWords(actual), hexWords(std::vector<uint16_t>{__VA_ARGS__}))
