#include "mainwindow/MainForm.h"

#include "about/frmAbout.h"
#include "hoplist/HopListWindow.h"
#include "mainwindow/MainFormStyle.h"
#include "numeric/NumberText.h"
#include "numeric/TuningWord.h"
#include "mainwindow/PortStatus.h"
#include "mainwindow/SetupFiles.h"
#include "modulation/Modulation.h"
#include "platform/ProgramEnd.h"
#include "platform/UserNotice.h"
#include "portlib/Wire.h"
#include "sweep/Sweep.h"
#include "ui_MainForm.h"
#include "widgets/FieldEntry.h"
#include "widgets/Placement.h"

#include <QCloseEvent>
#include <QScreen>

namespace {
std::string text(const QLineEdit* e) { return e->text().toStdString(); }
}  // namespace

MainForm::MainForm(control::ChipControl& chip, const Startup& startup, platform::Seams seams, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainForm>()), chip_(chip), startup_(startup), seams_(seams) {
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
        {ui->Text7, {&MainForm::text7_keypress, &MainForm::Text7_LostFocus}}};
    for (auto [edit, handlers] : fields) {
        auto [keypress, lostFocus] = handlers;
        FieldEntry::Field f;
        f.edit = edit;
        // Enter is not consumed: after the commit it reaches the field as any key.
        f.enter = [this, keypress](FieldEntry::Trigger) { (this->*keypress)(13); };
        f.leave = [this, lostFocus](FieldEntry::Trigger) { (this->*lostFocus)(); };
        f.escape = [this, edit] { dropEdit(edit); };
        entry_->add(std::move(f));
    }
    for (int f = 0; f < 7; ++f)
        connect(fieldFor(static_cast<control::Field>(f)), &QLineEdit::textEdited, this, [this, f] { edited_[f] = true; });

    for (int f = 0; f < 7; ++f) lastShown_[f] = fieldFor(static_cast<control::Field>(f))->text();
    connect(&chip_, &control::ChipControl::fieldTextChanged, this, &MainForm::showFieldText);
    connect(&chip_, &control::ChipControl::tuningWordChanged, this, [this](int reg, const QString& hex) {
        (reg == 0 ? ui->Label11 : ui->Label12)->setText(hex);
    });
    connect(&chip_, &control::ChipControl::bitsChanged, this, &MainForm::showBits);
    connect(&chip_, &control::ChipControl::selectionChanged, this, &MainForm::showSelection);
    connect(&chip_, &control::ChipControl::sweepProgressChanged, this, &MainForm::showSweepProgress);
    connect(&chip_, &control::ChipControl::keyingProgressChanged, this, &MainForm::showKeying);
    connect(&chip_, &control::ChipControl::listProgressChanged, this, &MainForm::showList);
    ui->Text7->setText(QString::fromStdString(chip_.clockText()));
    lastShown_[static_cast<int>(control::Field::Clock)] = ui->Text7->text();

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
    // Setups use the chip's state: an edit waiting in a field is taken over first.
    auto* setups = new SetupFiles(chip_, seams_.notice, this);
    connect(ui->MnuSaveSetup, &QAction::triggered, setups, [this, setups] {
        entry_->commitPending();
        setups->save();
    });
    connect(ui->MnuOpenSetup, &QAction::triggered, setups, [this, setups] {
        entry_->commitPending();
        setups->open();
    });
    connect(ui->MnuAbout, &QAction::triggered, this, &MainForm::MnuAbout_Click);
    connect(ui->MnuModulation, &QAction::triggered, this, &MainForm::MnuModulation_Click);
    connect(ui->MnuList, &QAction::triggered, this, &MainForm::MnuList_Click);
    connect(ui->MnuLpt1, &QAction::triggered, this, &MainForm::MnuLpt1_Click);
    connect(ui->MnuLpt2, &QAction::triggered, this, &MainForm::MnuLpt2_Click);
    connect(ui->Mnuprn, &QAction::triggered, this, &MainForm::Mnuprn_Click);
    connect(ui->MnuMonitor, &QAction::triggered, this, [this] {
        if (openMonitor_) openMonitor_();
    });
    ui->MnuMonitor->setEnabled(false);

    new PortStatus(*this, chip_);
    ui->Command7->setFocus();  // "&Quit" holds the focus when the window opens
}

MainForm::~MainForm() = default;

template <typename Fn>
auto MainForm::own(Fn&& fn) {
    ++acting_;
    struct Done {
        int& n;
        ~Done() { --n; }
    } done{acting_};
    return fn();
}

// ---- loading ---------------------------------------------------------------

void MainForm::Form_Load() {
    setPortChecks();
    const Startup::PortItems& items = startup_.portItems();
    ui->MnuLpt1->setEnabled(items.lpt1);
    ui->MnuLpt2->setEnabled(items.lpt2);
    ui->Mnuprn->setEnabled(items.prn);
    initialize();
}

void MainForm::setPortChecks() {
    switch (chip_.portAddress()) {
    case wire::kLpt2: ui->MnuLpt1->setChecked(false); ui->MnuLpt2->setChecked(true); ui->Mnuprn->setChecked(false); break;
    case wire::kLpt1: ui->MnuLpt1->setChecked(true); ui->MnuLpt2->setChecked(false); ui->Mnuprn->setChecked(false); break;
    case wire::kPrn: ui->MnuLpt1->setChecked(false); ui->MnuLpt2->setChecked(false); ui->Mnuprn->setChecked(true); break;
    default: break;  // no standard port: nothing checked until the user picks one
    }
}

// The start-up procedure has normally started the chip up already; a window
// loaded on its own (tests) does it here.
void MainForm::initialize() {
    widgets::centreOnScreen(*this);
    if (!chip_.startedUp()) afterCommand(own([this] { return chip_.startUp(); }), false);
    dis_sel();
    showBits();
}

void MainForm::dis_sel() {
    for (QRadioButton* o : {ui->Option3D1, ui->Option3D2, ui->Option3D3, ui->Option3D4, ui->Option3D5, ui->Option3D6})
        o->setEnabled(false);
}

void MainForm::ena_sel() {
    for (QRadioButton* o : {ui->Option3D1, ui->Option3D2, ui->Option3D3, ui->Option3D4, ui->Option3D5, ui->Option3D6})
        o->setEnabled(true);
}

// ---- what the chip's state looks like ----------------------------------------

QLineEdit* MainForm::fieldFor(control::Field f) const {
    QLineEdit* const fields[] = {ui->Text1, ui->Text2, ui->Text3, ui->Text4, ui->Text5, ui->Text6, ui->Text7};
    return fields[static_cast<int>(f)];
}

void MainForm::showFieldText(control::Field f, const QString& t) {
    QLineEdit* e = fieldFor(f);
    const int i = static_cast<int>(f);
    lastShown_[i] = t;
    // A change from elsewhere (a script, the SCPI server, a sweep) never
    // overwrites what the user is typing; Escape brings it back.
    if (acting_ == 0 && edited_[i]) return;
    edited_[i] = false;
    if (e->text() != t) e->setText(t);  // an unchanged text keeps its cursor
}

// Escape gives up the edit: the field shows what it stands for again.
void MainForm::dropEdit(QLineEdit* e) {
    for (int i = 0; i < 7; ++i) {
        if (fieldFor(static_cast<control::Field>(i)) != e) continue;
        edited_[i] = false;
        e->setText(lastShown_[i]);
    }
}

// A field left without an edit sends its register's stored word again: its
// text was written by a view, and reconverting it could move the word.
bool MainForm::leftUnedited(control::Field f) {
    if (edited_[static_cast<int>(f)]) return false;
    const int i = static_cast<int>(f);
    const control::Outcome r = own([&] {
        return i < 2 ? chip_.resendFrequency(i) : chip_.resendPhase(i - 2);
    });
    afterLoad(fieldFor(f), r);
    return true;
}

// Captions show the stored states; the selection options can be chosen
// exactly while SELSRC is 1.
void MainForm::showBits() {
    ui->Command13->setText(chip_.sync() ? "&Sync Bit = 1" : "&Sync Bit = 0");
    ui->Command11->setText(chip_.selsrc() ? "SE&LSRC = 1" : "SE&LSRC = 0");
    ui->Command8->setText(chip_.reset() ? "&Reset Bit = 1" : "&Reset Bit = 0");
    (chip_.sleep() ? ui->Option2 : ui->Option1)->setChecked(true);
    if (chip_.selsrc()) ena_sel();
    else dis_sel();
    lockKeyed();
}

void MainForm::showSelection() {
    QRadioButton* const freq[] = {ui->Option3D1, ui->Option3D2};
    QRadioButton* const phase[] = {ui->Option3D3, ui->Option3D4, ui->Option3D5, ui->Option3D6};
    freq[chip_.selectedFrequency()]->setChecked(true);
    phase[chip_.selectedPhase()]->setChecked(true);
    lockKeyed();
}

// Progress comes at most ten times a second; at the end the window's own
// selection shows again. Checking an option sends nothing: only a click does.
void MainForm::showKeying(const keying::Progress& p) {
    keying_ = p;
    showBits();
    showSelection();
}

void MainForm::lockKeyed() {
    ui->Command11->setEnabled(!keying_.running);
    if (listRunning_) {
        ui->Option3D1->setEnabled(false);
        ui->Option3D2->setEnabled(false);
    }
    if (!keying_.running) return;
    // FREQ0, FREQ1, then PHASE0 to PHASE3.
    QRadioButton* const options[] = {ui->Option3D1, ui->Option3D2, ui->Option3D3,
                                     ui->Option3D4, ui->Option3D5, ui->Option3D6};
    const bool frequency = keying::keysFrequency(keying_.type);
    const int first = frequency ? 0 : 2, n = frequency ? 2 : 4;
    for (int i = 0; i < n; ++i) options[first + i]->setEnabled(false);
    if (keying_.symbol >= 0) options[first + keying_.symbol % n]->setChecked(true);
}

// ---- focus and failures ------------------------------------------------------

void MainForm::moveFocus(QWidget* target) { entry_->moveFocus(target); }

void MainForm::focusSink() {
    // A commit by focus loss leaves the focus where the user sent it.
    if (trigger_ != Trigger::FocusLoss) moveFocus(ui->Picture1);
}

// A sweep's progress: the register's field and word follow what the chip holds.
void MainForm::showSweepProgress(int group, const sweep::Progress& p) {
    const auto f = group == 0 ? control::Field::Freq0 : control::Field::Freq1;
    showFieldText(f, QString::fromStdString(numeric::format_0_10(p.mhz)));
    (group == 0 ? ui->Label11 : ui->Label12)
        ->setText(QStringLiteral("%1").arg(chip_.loadedWord(group), 8, 16, QChar('0')).toUpper());
}

// One locked look at the chip: the list moves on between separate reads, and
// a field must never show one row while its word or option shows the next.
void MainForm::showList(const hoplist::Progress& p) {
    listRunning_ = p.running;
    const control::ChipState s = chip_.state();
    for (int reg = 0; reg < 2; ++reg) {
        const auto f = reg == 0 ? control::Field::Freq0 : control::Field::Freq1;
        if (p.running) edited_[static_cast<int>(f)] = false;  // no edit can be kept: the field is locked
        showFieldText(f, QString::fromStdString(numeric::format_0_10(s.frequencyMHz(reg))));
        (reg == 0 ? ui->Label11 : ui->Label12)->setText(QStringLiteral("%1").arg(s.word[reg], 8, 16, QChar('0')).toUpper());
        fieldFor(f)->setReadOnly(p.running);
    }
    showBits();
    (s.freqSelect == 0 ? ui->Option3D1 : ui->Option3D2)->setChecked(true);
    lockKeyed();
}

void MainForm::afterLoad(QLineEdit* field, const control::Outcome& r) {
    if (r.badEntry) {
        for (int i = 0; i < 7; ++i)  // the user still owes it a value
            if (fieldFor(static_cast<control::Field>(i)) == field) edited_[i] = true;
        return entry_->refuse(field);
    }
    focusSink();
    if (!r.portFailure.empty()) reportPortFailure(r.portFailure);
}

// A port that fails never ends the program: the command says so in one box.
void MainForm::afterCommand(const control::Outcome& r, bool focusToSink) {
    if (!r.portFailure.empty()) reportPortFailure(r.portFailure);
    if (focusToSink) moveFocus(ui->Picture1);
}

void MainForm::reportPortFailure(const std::string& what) {
    seams_.notice.showMessage(platform::portFailureNotice(what), this);
}

// ---- field commits -------------------------------------------------------------

void MainForm::commit(Trigger t, void (MainForm::*load)()) {
    const Trigger outer = trigger_;
    trigger_ = t;
    own([&] { (this->*load)(); });
    trigger_ = outer;
}

void MainForm::text1_keypress(int k) { if (k == 13) commit(Trigger::Enter, &MainForm::Command1_Click); }
void MainForm::text2_keypress(int k) { if (k == 13) commit(Trigger::Enter, &MainForm::Command2_Click); }
void MainForm::text3_keypress(int k) { if (k == 13) commit(Trigger::Enter, &MainForm::Command3_Click); }
void MainForm::text4_keypress(int k) { if (k == 13) commit(Trigger::Enter, &MainForm::Command4_Click); }
void MainForm::text5_keypress(int k) { if (k == 13) commit(Trigger::Enter, &MainForm::command5_click); }
void MainForm::text6_keypress(int k) { if (k == 13) commit(Trigger::Enter, &MainForm::command6_click); }
void MainForm::leave(control::Field f, void (MainForm::*load)()) {
    const Trigger outer = trigger_;
    trigger_ = Trigger::FocusLoss;
    if (!leftUnedited(f)) commit(Trigger::FocusLoss, load);
    trigger_ = outer;
}

void MainForm::Text1_LostFocus() { leave(control::Field::Freq0, &MainForm::Command1_Click); }
void MainForm::Text2_LostFocus() { leave(control::Field::Freq1, &MainForm::Command2_Click); }
void MainForm::Text3_LostFocus() { leave(control::Field::Phase0, &MainForm::Command3_Click); }
void MainForm::Text4_LostFocus() { leave(control::Field::Phase1, &MainForm::Command4_Click); }
void MainForm::Text5_LostFocus() { leave(control::Field::Phase2, &MainForm::command5_click); }
void MainForm::Text6_LostFocus() { leave(control::Field::Phase3, &MainForm::command6_click); }

void MainForm::text7_keypress(int k) {
    if (k == 13) commitClock();
}
void MainForm::Text7_LostFocus() { commitClock(); }

// A clock that is no number or out of range is refused: the field shows the
// committed clock again, selected, and keeps the focus (an empty clock would
// be no clock at all).
void MainForm::commitClock() {
    const control::Outcome r = own([this] { return chip_.commitClock(text(ui->Text7)); });
    if (!r.badEntry) return;
    seams_.notice.beep();
    moveFocus(ui->Text7);
    ui->Text7->selectAll();
}

void MainForm::Command1_Click() { afterLoad(ui->Text1, chip_.commitFrequency(0, text(ui->Text1))); }
void MainForm::Command2_Click() { afterLoad(ui->Text2, chip_.commitFrequency(1, text(ui->Text2))); }
void MainForm::Command3_Click() { afterLoad(ui->Text3, chip_.commitPhase(0, text(ui->Text3))); }
void MainForm::Command4_Click() { afterLoad(ui->Text4, chip_.commitPhase(1, text(ui->Text4))); }
void MainForm::command5_click() { afterLoad(ui->Text5, chip_.commitPhase(2, text(ui->Text5))); }
void MainForm::command6_click() { afterLoad(ui->Text6, chip_.commitPhase(3, text(ui->Text6))); }

// ---- control commands ------------------------------------------------------------

#define QZ_OWN(call) own([this] { return chip_.call; })
void MainForm::Command13_Click() { afterCommand(QZ_OWN(toggleSync()), true); }
void MainForm::Command11_Click() { afterCommand(QZ_OWN(toggleSelsrc()), true); }
void MainForm::Command8_Click() { afterCommand(QZ_OWN(toggleReset()), true); }
void MainForm::Option1_Click() { afterCommand(QZ_OWN(setSleep(false)), false); }
void MainForm::Option2_Click() { afterCommand(QZ_OWN(setSleep(true)), false); }
void MainForm::command14_click() { afterCommand(QZ_OWN(clear()), true); }
void MainForm::Option3D1_Click() { afterCommand(QZ_OWN(selectFrequency(0)), false); }
void MainForm::Option3D2_Click() { afterCommand(QZ_OWN(selectFrequency(1)), false); }
void MainForm::Option3D3_Click() { afterCommand(QZ_OWN(selectPhase(0)), false); }
void MainForm::Option3D4_Click() { afterCommand(QZ_OWN(selectPhase(1)), false); }
void MainForm::Option3D5_Click() { afterCommand(QZ_OWN(selectPhase(2)), false); }
void MainForm::Option3D6_Click() { afterCommand(QZ_OWN(selectPhase(3)), false); }

// Failures of its loads are gathered into one box.
void MainForm::Command15_Click() {
    const control::Outcome r = QZ_OWN(initialise());
    moveFocus(ui->Picture1);
    if (!r.portFailure.empty()) reportPortFailure(r.portFailure);
}
#undef QZ_OWN

// ---- windows, menus, the end ------------------------------------------------

void MainForm::Command7_Click() { seams_.end.endProgram(0); }
void MainForm::MnuExit_Click() { seams_.end.endProgram(0); }

void MainForm::closeEvent(QCloseEvent* event) {
    event->ignore();  // nothing is told, nothing is sent: the program just ends
    seams_.end.endProgram(0);
}

// Modal to the main window only, so the Board Monitor stays live beside it.
void MainForm::openModal(QDialog& dialog) {
    dialog.setWindowModality(Qt::WindowModal);
    if (openModal_) openModal_(dialog);
    else dialog.exec();
}

void MainForm::Command12_Click() {
    Sweep w(chip_, seams_.notice, this);
    openModal(w);
}

// Its fields use the chip's state as the window shows it: an edit waiting in
// a field is taken over first.
void MainForm::MnuModulation_Click() {
    entry_->commitPending();
    if (!modulation_) modulation_ = new Modulation(chip_, seams_.notice, this);
    else if (!modulation_->isVisible()) modulation_->showSettings();  // a visible one may hold an edit
    modulation_->show();
    modulation_->raise();
    modulation_->activateWindow();
}

void MainForm::MnuList_Click() {
    entry_->commitPending();
    if (!list_) list_ = new HopListWindow(chip_, seams_.notice, this);
    else if (!list_->isVisible()) list_->showSettings();
    list_->show();
    list_->raise();
    list_->activateWindow();
}

void MainForm::MnuAbout_Click() {
    frmAbout box(seams_, this);
    openModal(box);
}

void MainForm::setMonitorOpener(std::function<void()> opener) {
    openMonitor_ = std::move(opener);
    ui->MnuMonitor->setEnabled(static_cast<bool>(openMonitor_));
}

void MainForm::MnuLpt1_Click() {
    chip_.setPortAddress(wire::kLpt1);
    setPortChecks();
}

void MainForm::MnuLpt2_Click() {
    chip_.setPortAddress(wire::kLpt2);
    setPortChecks();
}

void MainForm::Mnuprn_Click() {
    chip_.setPortAddress(wire::kPrn);
    setPortChecks();
}
