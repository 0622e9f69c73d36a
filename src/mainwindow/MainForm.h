#pragma once
// The main window: register fields, mode controls and menus. A view over the
// chip control layer: its handlers keep their classic names and call the
// control layer; what it shows follows the control layer's signals.
#include "control/ChipControl.h"
#include "platform/Seams.h"
#include "startup/WindowsVersion.h"

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <string>

namespace Ui { class MainForm; }
class FieldEntry;
class HopListWindow;
class Modulation;
class QDialog;
class QLineEdit;
class QRadioButton;

class MainForm : public QMainWindow {
    Q_OBJECT
public:
    MainForm(control::ChipControl& chip, const Startup& startup, platform::Seams seams, QWidget* parent = nullptr);
    ~MainForm() override;

    void Form_Load();

    // Frequency and phase loads (the hidden buttons' Click handlers).
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void command5_click();
    void command6_click();

    // Mode controls.
    void Command13_Click();  // Sync toggle
    void Command11_Click();  // SELSRC toggle
    void Command8_Click();   // Reset toggle
    void command14_click();  // Clear
    void Command15_Click();  // Initialise
    void Option1_Click();
    void Option2_Click();
    void Option3D1_Click();
    void Option3D2_Click();
    void Option3D3_Click();
    void Option3D4_Click();
    void Option3D5_Click();
    void Option3D6_Click();

    // Windows and the end of the program.
    void Command7_Click();
    void Command12_Click();
    void MnuExit_Click();
    void MnuAbout_Click();
    void MnuLpt1_Click();
    void MnuLpt2_Click();
    void Mnuprn_Click();
    // "&Modulation...": one modeless window, raised when chosen again.
    void MnuModulation_Click();
    // "&List...": the hop list's window, likewise.
    void MnuList_Click();

    // Field keys: code 13 commits.
    void text1_keypress(int keyAscii);
    void text2_keypress(int keyAscii);
    void text3_keypress(int keyAscii);
    void text4_keypress(int keyAscii);
    void text5_keypress(int keyAscii);
    void text6_keypress(int keyAscii);
    void text7_keypress(int keyAscii);
    void Text7_LostFocus();
    void Text1_LostFocus();
    void Text2_LostFocus();
    void Text3_LostFocus();
    void Text4_LostFocus();
    void Text5_LostFocus();
    void Text6_LostFocus();

    // The sweep window and About box open through these, so tests can
    // watch them without a nested modal loop.
    void setModalOpener(std::function<void(QDialog&)> opener) { openModal_ = std::move(opener); }
    // "Board Monitor" in the port menu shows the monitor again; without an
    // opener (no chip model to show) the item is disabled.
    void setMonitorOpener(std::function<void()> opener);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Trigger { Enter, FocusLoss, Program };

    void initialize();
    void dis_sel();
    void ena_sel();

    void commit(Trigger t, void (MainForm::*load)());
    void afterLoad(QLineEdit* field, const control::Outcome& r);
    void afterCommand(const control::Outcome& r, bool focusToSink);
    void focusSink();
    void moveFocus(QWidget* target);
    void commitClock();
    void reportPortFailure(const std::string& what);
    void openModal(QDialog& dialog);
    void setPortChecks();
    QLineEdit* fieldFor(control::Field f) const;
    void showFieldText(control::Field f, const QString& text);
    void dropEdit(QLineEdit* field);
    bool leftUnedited(control::Field f);
    void leave(control::Field f, void (MainForm::*load)());
    void showBits();
    void showSelection();
    void showSweepProgress(int group, const sweep::Progress& progress);
    void showKeying(const keying::Progress& progress);
    // A running list: both frequency fields, their words and the selection
    // show what the chip holds, and none of them can be changed.
    void showList(const hoplist::Progress& progress);
    // While a keying runs: SELSRC and the keyed kind's options are locked,
    // the option of the symbol on the output checked.
    void lockKeyed();
    // Runs one of this window's own actions: what it changes is shown even in a
    // field that has the focus.
    template <typename Fn>
    auto own(Fn&& fn);

    std::unique_ptr<Ui::MainForm> ui;
    control::ChipControl& chip_;
    const Startup& startup_;
    platform::Seams seams_;
    FieldEntry* entry_;
    int acting_ = 0;  // depth of own()
    Trigger trigger_ = Trigger::Program;
    std::function<void(QDialog&)> openModal_;
    std::function<void()> openMonitor_;
    // What a view last wrote in each field, and whether the user has changed
    // it since (the field is being edited: views leave it alone).
    QString lastShown_[7];
    bool edited_[7] = {};
    keying::Progress keying_;  // as last announced
    Modulation* modulation_ = nullptr;  // the last text the program put in each field
    HopListWindow* list_ = nullptr;
    bool listRunning_ = false;  // as last announced
};
