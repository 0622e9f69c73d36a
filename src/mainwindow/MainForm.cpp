#include "mainwindow/MainForm.h"

#include "about/frmAbout.h"
#include "link/CommsFunctions.h"
#include "mainwindow/MainFormStyle.h"
#include "numeric/NumberText.h"
#include "portlib/PortBackend.h"
#include "platform/ProgramEnd.h"
#include "platform/UserNotice.h"
#include "registers/ChipWords.h"
#include "registers/Control.h"
#include "registers/Declare.h"
#include "sweep/Sweep.h"
#include "ui_MainForm.h"
#include "widgets/FieldEntry.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <cmath>
#include <limits>

namespace {

// A double read from a field that the chip takes in single precision.
float toSingleChecked(double v) {
    if (std::fabs(v) > std::numeric_limits<float>::max()) throw numeric::ConversionError("overflow");
    return static_cast<float>(v);
}

std::string text(const QLineEdit* e) { return e->text().toStdString(); }

}  // namespace

MainForm::MainForm(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::MainForm>()) {
    ui->setupUi(this);
    styleMainForm(*ui, *this);

    entry_ = new FieldEntry(this);
    const std::pair<QLineEdit*, std::pair<void (MainForm::*)(int), void (MainForm::*)()>> fields[] = {
        {ui->Text1, {&MainForm::text1_keypress, &MainForm::Text1_LostFocus}},
        {ui->Text2, {&MainForm::text2_keypress, &MainForm::Text2_LostFocus}},
        {ui->Text3, {&MainForm::text3_keypress, &MainForm::Text3_LostFocus}},
        {ui->Text4, {&MainForm::text4_keypress, &MainForm::Text4_LostFocus}},
        {ui->Text5, {&MainForm::text5_keypress, &MainForm::Text5_LostFocus}},
        {ui->Text6, {&MainForm::text6_keypress, &MainForm::Text6_LostFocus}},
        {ui->Text7, {&MainForm::text7_keypress, nullptr}}};  // leaving the clock keeps its text
    for (auto [edit, handlers] : fields) {
        auto [keypress, lostFocus] = handlers;
        FieldEntry::Field f;
        f.edit = edit;
        // Enter is not consumed: after the commit it reaches the field as any key.
        f.enter = [this, keypress](FieldEntry::Trigger) { (this->*keypress)(13); };
        if (lostFocus) f.leave = [this, lostFocus](FieldEntry::Trigger) { (this->*lostFocus)(); };
        entry_->add(std::move(f));
    }

    registers::setMasterClockSource([this] { return text(ui->Text7); });

    connect(ui->Command7, &QPushButton::clicked, this, &MainForm::Command7_Click);
    connect(ui->Command8, &QPushButton::clicked, this, &MainForm::Command8_Click);
    connect(ui->Command11, &QPushButton::clicked, this, &MainForm::Command11_Click);
    connect(ui->Command12, &QPushButton::clicked, this, &MainForm::Command12_Click);
    connect(ui->Command13, &QPushButton::clicked, this, &MainForm::Command13_Click);
    connect(ui->Command14, &QPushButton::clicked, this, &MainForm::command14_click);
    connect(ui->Command15, &QPushButton::clicked, this, &MainForm::Command15_Click);
    connect(ui->Option1, &QRadioButton::clicked, this, &MainForm::Option1_Click);
    connect(ui->Option2, &QRadioButton::clicked, this, &MainForm::Option2_Click);
    connect(ui->Option3D1, &QRadioButton::clicked, this, &MainForm::Option3D1_Click);
    connect(ui->Option3D2, &QRadioButton::clicked, this, &MainForm::Option3D2_Click);
    connect(ui->Option3D3, &QRadioButton::clicked, this, &MainForm::Option3D3_Click);
    connect(ui->Option3D4, &QRadioButton::clicked, this, &MainForm::Option3D4_Click);
    connect(ui->Option3D5, &QRadioButton::clicked, this, &MainForm::Option3D5_Click);
    connect(ui->Option3D6, &QRadioButton::clicked, this, &MainForm::Option3D6_Click);
    connect(ui->MnuExit, &QAction::triggered, this, &MainForm::MnuExit_Click);
    connect(ui->MnuAbout, &QAction::triggered, this, &MainForm::MnuAbout_Click);
    connect(ui->MnuLpt1, &QAction::triggered, this, &MainForm::MnuLpt1_Click);
    connect(ui->MnuLpt2, &QAction::triggered, this, &MainForm::MnuLpt2_Click);
    connect(ui->Mnuprn, &QAction::triggered, this, &MainForm::Mnuprn_Click);
    connect(ui->MnuMonitor, &QAction::triggered, this, [this] {
        if (openMonitor_) openMonitor_();
    });
    ui->MnuMonitor->setEnabled(false);

    ui->Command7->setFocus();  // "&Quit" holds the focus when the window opens
}

MainForm::~MainForm() { registers::setMasterClockSource(nullptr); }

// ---- loading ---------------------------------------------------------------

void MainForm::Form_Load() {
    setPortChecks();
    initialize();
}

void MainForm::setPortChecks() {
    switch (PortAddress) {
    case 0x278: ui->MnuLpt1->setChecked(false); ui->MnuLpt2->setChecked(true); ui->Mnuprn->setChecked(false); break;
    case 0x378: ui->MnuLpt1->setChecked(true); ui->MnuLpt2->setChecked(false); ui->Mnuprn->setChecked(false); break;
    case 0x3BC: ui->MnuLpt1->setChecked(false); ui->MnuLpt2->setChecked(false); ui->Mnuprn->setChecked(true); break;
    default: break;  // no standard port: nothing checked until the user picks one
    }
}

void MainForm::initialize() {
    if (QScreen* s = screen()) {
        const QRect g = s->geometry();
        move(g.x() + (g.width() - frameGeometry().width()) / 2, g.y() + (g.height() - frameGeometry().height()) / 2);
    }
    MaxFreq = static_cast<float>(numeric::toDouble(text(ui->Text7)) / 2);
    MinFreq = 0;
    guarded([&] {
        SendWord(PortAddress, 0xD800);  // Reset and Clear pulse the chip into a known state
        SendWord(PortAddress, 0xC000);
    });
    SleepBit = 0;
    ResetBit = 0;
    SelsrcBit = 0;
    dis_sel();
    SyncBit = 0;
    guarded([&] { registers::sendSyncSelsrc(); });
}

void MainForm::dis_sel() {
    for (QRadioButton* o : {ui->Option3D1, ui->Option3D2, ui->Option3D3, ui->Option3D4, ui->Option3D5, ui->Option3D6})
        o->setEnabled(false);
}

void MainForm::ena_sel() {
    for (QRadioButton* o : {ui->Option3D1, ui->Option3D2, ui->Option3D3, ui->Option3D4, ui->Option3D5, ui->Option3D6})
        o->setEnabled(true);
}

// ---- focus -----------------------------------------------------------------

void MainForm::moveFocus(QWidget* target) { entry_->moveFocus(target); }

void MainForm::focusSink() {
    // A commit by focus loss leaves the focus where the user sent it.
    if (trigger_ != Trigger::FocusLoss) moveFocus(ui->Picture1);
}

void MainForm::loadFailed(QLineEdit* field) { entry_->refuse(field); }

void MainForm::commitTrigger(Trigger t, void (MainForm::*load)()) {
    const Trigger outer = trigger_;
    trigger_ = t;
    (this->*load)();
    trigger_ = outer;
}

void MainForm::text1_keypress(int k) { if (k == 13) commitTrigger(Trigger::Enter, &MainForm::Command1_Click); }
void MainForm::text2_keypress(int k) { if (k == 13) commitTrigger(Trigger::Enter, &MainForm::Command2_Click); }
void MainForm::text3_keypress(int k) { if (k == 13) commitTrigger(Trigger::Enter, &MainForm::Command3_Click); }
void MainForm::text4_keypress(int k) { if (k == 13) commitTrigger(Trigger::Enter, &MainForm::Command4_Click); }
void MainForm::text5_keypress(int k) { if (k == 13) commitTrigger(Trigger::Enter, &MainForm::command5_click); }
void MainForm::text6_keypress(int k) { if (k == 13) commitTrigger(Trigger::Enter, &MainForm::command6_click); }
void MainForm::Text1_LostFocus() { commitTrigger(Trigger::FocusLoss, &MainForm::Command1_Click); }
void MainForm::Text2_LostFocus() { commitTrigger(Trigger::FocusLoss, &MainForm::Command2_Click); }
void MainForm::Text3_LostFocus() { commitTrigger(Trigger::FocusLoss, &MainForm::Command3_Click); }
void MainForm::Text4_LostFocus() { commitTrigger(Trigger::FocusLoss, &MainForm::Command4_Click); }
void MainForm::Text5_LostFocus() { commitTrigger(Trigger::FocusLoss, &MainForm::command5_click); }
void MainForm::Text6_LostFocus() { commitTrigger(Trigger::FocusLoss, &MainForm::command6_click); }

void MainForm::text7_keypress(int k) {
    if (k != 13) return;
    try {
        const float clock = numeric::toSingle(text(ui->Text7));
        ui->Text7->setText(QString::fromStdString(numeric::format_clock(clock)));
        MaxFreq = static_cast<float>(static_cast<double>(clock) / 2);  // the sweep checks follow the clock
    } catch (const std::exception&) {
        loadFailed(ui->Text7);
    }
}

// ---- frequency registers ----------------------------------------------------

void MainForm::fill_string() {
    const size_t n = FreqWordHex.size();
    if (n >= 1 && n < 8) FreqWordHex.insert(0, 8 - n, '0');
}

static std::string upperHex(int32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<uint32_t>(v));
    return buf;
}

// A frequency load limits its entry to half the master clock it reads, so the
// limit follows the clock; the clock is read before the field is touched.
static float halfClock() { return static_cast<float>(registers::masterClockMHz() / 2); }

void MainForm::Command1_Click() {
    try {
        double f = numeric::toDouble(text(ui->Text1));
        MaxFreq = halfClock();
        const double typed = f;
        if (toSingleChecked(f) > MaxFreq) f = MaxFreq;
        if (toSingleChecked(f) < MinFreq) f = MinFreq;
        // A long entry stays as typed unless the value loaded differs from it.
        if (ui->Text1->text().size() < 9 || f != typed)
            ui->Text1->setText(QString::fromStdString(numeric::format_0_10(f)));
        Freq0 = toSingleChecked(f);
        CalcFreq0Word();
        FreqWordHex = upperHex(FreqWord);
        fill_string();
        ui->Label11->setText(QString::fromStdString(FreqWordHex));
        focusSink();
        LoadFreq0();
    } catch (const registers::ClockError&) {
        clockFailed();
    } catch (const PortError& e) {
        portFailed(e.what());
    } catch (const std::exception&) {
        loadFailed(ui->Text1);
    }
}

void MainForm::Command2_Click() {
    try {
        float f = numeric::toSingle(text(ui->Text2));
        MaxFreq = halfClock();
        if (f > MaxFreq) f = MaxFreq;
        if (f < MinFreq) f = MinFreq;
        ui->Text2->setText(QString::fromStdString(numeric::format_0_10(f)));
        Freq1 = f;
        CalcFreq1Word();
        FreqWordHex = upperHex(FreqWord);
        fill_string();
        ui->Label12->setText(QString::fromStdString(FreqWordHex));
        focusSink();
        LoadFreq1();
    } catch (const registers::ClockError&) {
        clockFailed();
    } catch (const PortError& e) {
        portFailed(e.what());
    } catch (const std::exception&) {
        loadFailed(ui->Text2);
    }
}

// The entry is fine, the clock is not: the entry keeps its text and the user
// is taken to the field that needs correcting.
void MainForm::clockFailed() {
    if (!clockFailed_) platform::beep();
    clockFailed_ = initialising_;  // one beep for all the loads of an Initialise
    ui->Text7->setText(QString());
    moveFocus(ui->Text7);
}

// ---- phase registers --------------------------------------------------------

// PHASE0 takes the floor and shows the value loaded; the others round half
// to even and keep the text as typed.
void MainForm::loadPhase(QLineEdit* field, int reg, bool floorAndRewrite) {
    try {
        const double d = numeric::toDouble(text(field));
        int v = numeric::toInt16(floorAndRewrite ? std::floor(d) : numeric::roundHalfEven(d));
        const int typed = v;
        if (v > 4095) v = 4095;
        if (v < 0) v = 0;
        registers::setPhaseParts(v);
        // Rounding alone never rewrites PHASE1..3; a clamped value does.
        if (floorAndRewrite || v != typed) field->setText(QString::number(v));
        focusSink();
        switch (reg) {
        case 0: loadp0(); break;
        case 1: loadp1(); break;
        case 2: loadp2(); break;
        default: loadp3(); break;
        }
    } catch (const PortError& e) {
        portFailed(e.what());
    } catch (const std::exception&) {
        loadFailed(field);
    }
}

void MainForm::Command3_Click() { loadPhase(ui->Text3, 0, true); }
void MainForm::Command4_Click() { loadPhase(ui->Text4, 1, false); }
void MainForm::command5_click() { loadPhase(ui->Text5, 2, false); }
void MainForm::command6_click() { loadPhase(ui->Text6, 3, false); }
void MainForm::loadp0() { registers::sendPhase(0); }
void MainForm::loadp1() { registers::sendPhase(1); }
void MainForm::loadp2() { registers::sendPhase(2); }
void MainForm::loadp3() { registers::sendPhase(3); }

// ---- control commands -------------------------------------------------------

// A port that fails never ends the program: the command says so in one box.
// Inside Initialise the boxes of its commands are gathered into one.
template <typename Fn>
void MainForm::guarded(Fn&& fn) {
    ++guardDepth_;
    try {
        fn();
    } catch (const std::exception& e) {
        portFailed(e.what());
    }
    if (--guardDepth_ == 0 && !deferredFailure_.empty()) {
        std::string what;
        std::swap(what, deferredFailure_);
        reportPortFailure(what);
    }
}

void MainForm::portFailed(const std::string& what) {
    if (guardDepth_ == 0) reportPortFailure(what);
    else if (deferredFailure_.empty()) deferredFailure_ = what;
}

void MainForm::reportPortFailure(const std::string& what) { platform::showMessage(platform::portFailureNotice(what), this); }

// Flips a stored bit and shows its state in the button ("&Sync Bit = 1").
static void flip(int32_t& state, int32_t bit, QPushButton* button, const QString& caption) {
    state = state == 0 ? bit : 0;
    button->setText(caption + (state ? " = 1" : " = 0"));
}

void MainForm::Command13_Click() {
    guarded([&] {
        flip(SyncBit, chip::kSyncBit, ui->Command13, "&Sync Bit");
        registers::sendSyncSelsrc();
    });
    moveFocus(ui->Picture1);
}

void MainForm::Command11_Click() {
    guarded([&] {
        flip(SelsrcBit, chip::kSelsrcBit, ui->Command11, "SE&LSRC");
        if (SelsrcBit) ena_sel();
        else dis_sel();
        registers::sendSyncSelsrc();
    });
    moveFocus(ui->Picture1);
}

void MainForm::Command8_Click() {
    guarded([&] {
        flip(ResetBit, chip::kResetBit, ui->Command8, "&Reset Bit");
        registers::sendSleepReset();
    });
    moveFocus(ui->Picture1);
}

void MainForm::Option1_Click() {
    guarded([&] {
        SleepBit = 0;
        registers::sendSleepReset();
    });
}

void MainForm::Option2_Click() {
    guarded([&] {
        SleepBit = chip::kSleepBit;
        registers::sendSleepReset();
    });
}

void MainForm::command14_click() {
    guarded([&] { registers::sendSleepReset(true); });
    // Sync and SELSRC are forgotten without a word of their own.
    SyncBit = 0;
    SelsrcBit = 0;
    ui->Command13->setText("&Sync Bit = 0");
    ui->Command11->setText("SE&LSRC = 0");
    dis_sel();
    moveFocus(ui->Picture1);
}

void MainForm::Option3D1_Click() { guarded([] { registers::sendFreqSelect(0); }); }
void MainForm::Option3D2_Click() { guarded([] { registers::sendFreqSelect(1); }); }
void MainForm::Option3D3_Click() { guarded([] { registers::sendPhaseSelect(0); }); }
void MainForm::Option3D4_Click() { guarded([] { registers::sendPhaseSelect(1); }); }
void MainForm::Option3D5_Click() { guarded([] { registers::sendPhaseSelect(2); }); }
void MainForm::Option3D6_Click() { guarded([] { registers::sendPhaseSelect(3); }); }

// Selected by the program: its handler runs even when it is already selected
// or disabled (setChecked alone sends no click).
void MainForm::selectBySystem(QRadioButton* option, void (MainForm::*handler)()) {
    option->setChecked(true);
    (this->*handler)();
}

void MainForm::Command15_Click() {
    initialising_ = true;
    clockFailed_ = false;
    guarded([&] {
        for (QLineEdit* e : {ui->Text1, ui->Text2, ui->Text3, ui->Text4, ui->Text5, ui->Text6}) e->setText("0");
        commitTrigger(Trigger::Program, &MainForm::Command1_Click);
        commitTrigger(Trigger::Program, &MainForm::Command2_Click);
        commitTrigger(Trigger::Program, &MainForm::Command3_Click);
        commitTrigger(Trigger::Program, &MainForm::Command4_Click);
        commitTrigger(Trigger::Program, &MainForm::command5_click);
        commitTrigger(Trigger::Program, &MainForm::command6_click);
        command14_click();
        selectBySystem(ui->Option1, &MainForm::Option1_Click);
        guarded([&] {
            ResetBit = chip::kResetBit;
            SendWord(PortAddress, 0xD000);  // reset pulse
            SendWord(PortAddress, 0xC000);
        });
        ResetBit = 0;
        ui->Command8->setText("&Reset Bit = 0");
        selectBySystem(ui->Option3D1, &MainForm::Option3D1_Click);
        selectBySystem(ui->Option3D3, &MainForm::Option3D3_Click);
    });
    if (clockFailed_) moveFocus(ui->Text7);  // the clock is what needs correcting
    initialising_ = clockFailed_ = false;
}

// ---- windows, menus, the end ------------------------------------------------

void MainForm::Command7_Click() { platform::endProgram(0); }
void MainForm::MnuExit_Click() { platform::endProgram(0); }

void MainForm::closeEvent(QCloseEvent* event) {
    event->ignore();  // nothing is told, nothing is sent: the program just ends
    platform::endProgram(0);
}

// Modal to the main window only, so the Board Monitor stays live beside it.
void MainForm::openModal(QDialog& dialog) {
    dialog.setWindowModality(Qt::WindowModal);
    if (openModal_) openModal_(dialog);
    else dialog.exec();
}

void MainForm::Command12_Click() {
    Sweep w(this);
    openModal(w);
}

void MainForm::MnuAbout_Click() {
    frmAbout box(this);
    openModal(box);
}

void MainForm::setMonitorOpener(std::function<void()> opener) {
    openMonitor_ = std::move(opener);
    ui->MnuMonitor->setEnabled(static_cast<bool>(openMonitor_));
}

void MainForm::MnuLpt1_Click() {
    PortAddress = 0x378;
    setPortChecks();
}

void MainForm::MnuLpt2_Click() {
    PortAddress = 0x278;
    setPortChecks();
}

void MainForm::Mnuprn_Click() {
    PortAddress = 0x3BC;
    setPortChecks();
}
