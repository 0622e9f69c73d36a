#pragma once
// The sweep window: two groups of sweep fields with Start and Stop, and Back.
// A face over the chip control's sweeps, which run with or without it.
#include "control/ChipControl.h"

#include <QDialog>

#include <array>
#include <memory>

class FieldEntry;
namespace platform {
class UserNotice;
}
class QLineEdit;
namespace Ui {
class Sweep;
}

class Sweep : public QDialog {
    Q_OBJECT
public:
    Sweep(control::ChipControl& chip, platform::UserNotice& notice, QWidget* parent = nullptr);
    ~Sweep() override;

    // The sweeps' four timers; idle until a Start arms one.
    const SweepTimer &Countup1, &Countdown1, &Countup2, &countdown2;

    void Command1_Click();  // group 0 Start
    void Command2_Click();  // group 0 Stop
    void Command3_Click();  // group 1 Stop
    void Command4_Click();  // group 1 Start
    void countup1_Timer();
    void countdown1_Timer();
    void countup2_Timer();
    void countdown2_Timer();
    void Back_Click();

    // Key handlers get the character code; setting it to 0 consumes the key.
    void text1_keypress(int& KeyAscii);
    void text2_keypress(int& KeyAscii);
    void text3_keypress(int& KeyAscii);
    void text4_keypress(int& KeyAscii);
    void text5_keypress(int& KeyAscii);
    void text6_keypress(int& KeyAscii);
    void text7_keypress(int& KeyAscii);
    void text8_keypress(int& KeyAscii);
    void text9_keypress(int& KeyAscii);
    void text10_keypress(int& KeyAscii);
    void text11_keypress(int& KeyAscii);  // group 0 points
    void text12_keypress(int& KeyAscii);  // group 1 points
    void Text1_LostFocus();
    void Text2_LostFocus();
    void Text3_LostFocus();
    void Text4_LostFocus();
    void Text5_LostFocus();
    void Text6_LostFocus();
    void Text7_LostFocus();
    void Text8_LostFocus();
    void Text9_LostFocus();
    void Text10_LostFocus();
    void Text11_LostFocus();
    void Text12_LostFocus();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void done(int result) override;

private:
    void Form_Load();
    void applyFonts();
    void showSettings(int group);
    void showState(int group, bool sweeping);
    // A running hop list holds the frequency registers: no sweep starts.
    void showListRunning(bool running);
    void showProgress(int group, const sweep::Progress& progress);
    void entry(int field);
    void startGroup(int group);
    // The kind the group's choices show, into the engine's settings.
    void chooseKind(int group);
    void showKind(int group, const sweep::FieldTexts& t);
    QLineEdit* field(int n) const { return fields_[n - 1]; }

    std::unique_ptr<Ui::Sweep> ui_;
    std::array<QLineEdit*, 12> fields_{};
    FieldEntry* entry_;
    bool loaded_ = false;
    control::ChipControl& chip_;
    platform::UserNotice& notice_;
};
