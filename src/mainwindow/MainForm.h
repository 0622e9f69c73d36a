#pragma once
// The main window: register fields, mode controls and menus. The handlers
// keep their classic names; the chip work happens in registers/.
#include <QMainWindow>
#include <functional>
#include <memory>

namespace Ui { class MainForm; }
class FieldEntry;
class QLineEdit;
class QRadioButton;

class MainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit MainForm(QWidget* parent = nullptr);
    ~MainForm() override;

    // Controls by name, for the start-up code and the tests.
    Ui::MainForm& form() { return *ui; }

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

    // Field keys: code 13 commits.
    void text1_keypress(int keyAscii);
    void text2_keypress(int keyAscii);
    void text3_keypress(int keyAscii);
    void text4_keypress(int keyAscii);
    void text5_keypress(int keyAscii);
    void text6_keypress(int keyAscii);
    void text7_keypress(int keyAscii);
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
    void fill_string();
    void loadp0();
    void loadp1();
    void loadp2();
    void loadp3();

    void commitTrigger(Trigger t, void (MainForm::*load)());
    void focusSink();
    void moveFocus(QWidget* target);
    void loadFailed(QLineEdit* field);
    void loadPhase(QLineEdit* field, int reg, bool floorAndRewrite);
    void selectBySystem(QRadioButton* option, void (MainForm::*handler)());
    void setPortChecks();
    template <typename Fn> void guarded(Fn&& fn);
    void reportPortFailure(const std::string& what);
    void portFailed(const std::string& what);
    void clockFailed();
    void openModal(QDialog& dialog);

    std::unique_ptr<Ui::MainForm> ui;
    FieldEntry* entry_;
    Trigger trigger_ = Trigger::Program;
    int guardDepth_ = 0;
    std::string deferredFailure_;
    bool initialising_ = false;
    bool clockFailed_ = false;
    std::function<void(QDialog&)> openModal_;
    std::function<void()> openMonitor_;
};
