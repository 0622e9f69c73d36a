#include "sweep/Sweep.h"

#include "platform/UserNotice.h"
#include "ui_Sweep.h"
#include "widgets/FieldEntry.h"
#include "widgets/Placement.h"
#include "widgets/WindowStyle.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QScreen>

namespace {

using sweep::FieldKind;

// Text1..Text12. Only group 1's step field shows eight decimals.
constexpr std::array<FieldKind, 12> kKinds = {FieldKind::Freq,  FieldKind::Freq,  FieldKind::Freq,   FieldKind::Loops,
                                              FieldKind::Delay, FieldKind::Delay, FieldKind::Loops,  FieldKind::Step8,
                                              FieldKind::Freq,  FieldKind::Freq,  FieldKind::Points, FieldKind::Points};
const QString kIdleCaptions[] = {QStringLiteral("Freq. 0 Controls"), QStringLiteral("Freq. 1 Controls")};
// Each group's fields (Text numbers) in the order start, stop, step, loops, delay, points.
constexpr int kGroupFields[2][6] = {{1, 2, 3, 4, 5, 11}, {10, 9, 8, 7, 6, 12}};

std::array<std::string*, 6> textsOf(sweep::FieldTexts& t) {
    return {&t.start, &t.stop, &t.step, &t.loops, &t.delay, &t.points};
}

}  // namespace

Sweep::Sweep(control::ChipControl& chip, platform::UserNotice& notice, QWidget* parent)
    : QDialog(parent),
      Countup1(chip.sweepTimer(0)),
      Countdown1(chip.sweepTimer(1)),
      Countup2(chip.sweepTimer(2)),
      countdown2(chip.sweepTimer(3)),
      ui_(std::make_unique<Ui::Sweep>()),
      chip_(chip),
      notice_(notice) {
    ui_->setupUi(this);
    widgets::fixWindowFrame(*this, false);
    widgets::installFocusFrameStyle();
    applyFonts();

    fields_ = {ui_->Text1, ui_->Text2, ui_->Text3, ui_->Text4,  ui_->Text5,  ui_->Text6,
               ui_->Text7, ui_->Text8, ui_->Text9, ui_->Text10, ui_->Text11, ui_->Text12};
    using KeyPress = void (Sweep::*)(int&);
    using LostFocus = void (Sweep::*)();
    const KeyPress keys[] = {&Sweep::text1_keypress, &Sweep::text2_keypress, &Sweep::text3_keypress,
                             &Sweep::text4_keypress, &Sweep::text5_keypress, &Sweep::text6_keypress,
                             &Sweep::text7_keypress, &Sweep::text8_keypress, &Sweep::text9_keypress,
                             &Sweep::text10_keypress, &Sweep::text11_keypress, &Sweep::text12_keypress};
    const LostFocus leaves[] = {&Sweep::Text1_LostFocus, &Sweep::Text2_LostFocus, &Sweep::Text3_LostFocus,
                                &Sweep::Text4_LostFocus, &Sweep::Text5_LostFocus, &Sweep::Text6_LostFocus,
                                &Sweep::Text7_LostFocus, &Sweep::Text8_LostFocus, &Sweep::Text9_LostFocus,
                                &Sweep::Text10_LostFocus, &Sweep::Text11_LostFocus, &Sweep::Text12_LostFocus};
    entry_ = new FieldEntry(this);
    for (size_t i = 0; i < fields_.size(); ++i) {
        FieldEntry::Field f;
        f.edit = fields_[i];
        f.enter = [this, k = keys[i]](FieldEntry::Trigger) {
            int code = 13;
            (this->*k)(code);
        };
        f.leave = [this, l = leaves[i]](FieldEntry::Trigger) { (this->*l)(); };
        f.consumeEnter = true;
        entry_->add(std::move(f));
    }

    connect(ui_->Command1, &QPushButton::clicked, this, &Sweep::Command1_Click);
    connect(ui_->Command2, &QPushButton::clicked, this, &Sweep::Command2_Click);
    connect(ui_->Command3, &QPushButton::clicked, this, &Sweep::Command3_Click);
    connect(ui_->Command4, &QPushButton::clicked, this, &Sweep::Command4_Click);
    connect(ui_->Back, &QPushButton::clicked, this, &Sweep::Back_Click);
    // clicked, not toggled: only the user's choice is news for the engine.
    const std::pair<QAbstractButton*, int> choices[] = {{ui_->Option1, 0}, {ui_->Option2, 0}, {ui_->Check1, 0},
                                                        {ui_->Option3, 1}, {ui_->Option4, 1}, {ui_->Check2, 1}};
    for (auto [b, g] : choices) connect(b, &QAbstractButton::clicked, this, [this, g = g] { chooseKind(g); });
    // The fields show the settings in force; a group already sweeping says so.
    showSettings(0);
    showSettings(1);
    connect(&chip_, &control::ChipControl::sweepSettingsChanged, this, &Sweep::showSettings);
    connect(&chip_, &control::ChipControl::sweepingChanged, this, &Sweep::showState);
    connect(&chip_, &control::ChipControl::listRunningChanged, this, &Sweep::showListRunning);
    showListRunning(chip_.listRunning());
    connect(&chip_, &control::ChipControl::sweepProgressChanged, this, &Sweep::showProgress);
    for (int g = 0; g < 2; ++g) {
        showState(g, chip_.sweeping(g));
        showProgress(g, chip_.sweepProgress(g));
    }

    ui_->Text1->setFocus();
}

Sweep::~Sweep() = default;

// A field the user has changed since it was last written keeps the user's text.
void Sweep::showSettings(int group) {
    sweep::FieldTexts t = chip_.sweepSettings(group);
    const auto texts = textsOf(t);
    for (size_t i = 0; i < texts.size(); ++i) {
        QLineEdit* f = field(kGroupFields[group][i]);
        if (!f->isModified()) f->setText(QString::fromStdString(*texts[i]));
    }
    showKind(group, t);
}

// A log sweep takes its points where the step stands.
void Sweep::showKind(int group, const sweep::FieldTexts& t) {
    const bool log = t.spacing == sweep::Spacing::Log;
    (group == 0 ? ui_->Option2 : ui_->Option4)->setChecked(log);
    (group == 0 ? ui_->Option1 : ui_->Option3)->setChecked(!log);
    (group == 0 ? ui_->Check1 : ui_->Check2)->setChecked(t.upDown);
    QWidget* const step[] = {group == 0 ? ui_->Label3 : ui_->Label8, group == 0 ? ui_->Text3 : ui_->Text8};
    QWidget* const points[] = {group == 0 ? ui_->Label11 : ui_->Label12, group == 0 ? ui_->Text11 : ui_->Text12};
    for (QWidget* w : step) w->setVisible(!log);
    for (QWidget* w : points) w->setVisible(log);
}

void Sweep::chooseKind(int group) {
    sweep::FieldTexts t = chip_.sweepSettings(group);
    t.spacing = (group == 0 ? ui_->Option2 : ui_->Option4)->isChecked() ? sweep::Spacing::Log : sweep::Spacing::Linear;
    t.upDown = (group == 0 ? ui_->Check1 : ui_->Check2)->isChecked();
    showKind(group, t);
    chip_.setSweepSettings(group, t);
}

void Sweep::showListRunning(bool running) {
    for (QPushButton* start : {ui_->Command1, ui_->Command4}) {
        start->setEnabled(!running);
        start->setToolTip(running ? QStringLiteral("A frequency list is running: stop it first") : QString());
    }
}

void Sweep::showState(int group, bool sweeping) {
    (group == 0 ? ui_->Frame1 : ui_->Frame2)->setTitle(sweeping ? QStringLiteral("Sweeping") : kIdleCaptions[group]);
}

// Under each group while it runs: the value just loaded, step, loop and time left.
void Sweep::showProgress(int group, const sweep::Progress& p) {
    QLabel* label = group == 0 ? ui_->Progress1 : ui_->Progress2;
    if (!p.running) {
        label->clear();
        return;
    }
    // Two lines of our own making, so no line breaks mid-phrase.
    label->setText(QStringLiteral("%1 MHz, step %2 of %3\nloop %4 of %5, %6 s left")
                       .arg(p.mhz, 0, 'f', 6)
                       .arg(p.step)
                       .arg(p.steps)
                       .arg(p.loop)
                       .arg(p.loops)
                       .arg(p.secondsLeft(), 0, 'f', 1));
}

void Sweep::applyFonts() {
    // Designer files hold whole points only; the form's sizes are fractional.
    const QFont body = widgets::uiFont(8.25), frame = widgets::uiFont(9.75);
    for (QWidget* w : findChildren<QWidget*>()) w->setFont(body);
    ui_->Frame1->setFont(frame);
    ui_->Frame2->setFont(frame);
}

void Sweep::Form_Load() { widgets::centreOnScreen(*this); }

void Sweep::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
}

void Sweep::Back_Click() {
    chip_.stopSweeps();
    done(QDialog::Rejected);
}

void Sweep::done(int result) {
    // Back, the close box and any other way out stop both groups, whoever
    // started them.
    chip_.stopSweeps();
    QDialog::done(result);
}

void Sweep::keyPressEvent(QKeyEvent* e) {
    // The form has no cancel button: Escape must not close it.
    if (e->matches(QKeySequence::Cancel)) return;
    QDialog::keyPressEvent(e);
}

// Enter commits the field and goes no further; every other key is the field's.
#define QZ_SWEEP_FIELD(n)                                  \
    void Sweep::text##n##_keypress(int& KeyAscii) {        \
        if (KeyAscii != 13) return;                        \
        KeyAscii = 0;                                      \
        entry(n);                                          \
    }                                                      \
    void Sweep::Text##n##_LostFocus() { entry(n); }
QZ_SWEEP_FIELD(1)
QZ_SWEEP_FIELD(2)
QZ_SWEEP_FIELD(3)
QZ_SWEEP_FIELD(4)
QZ_SWEEP_FIELD(5)
QZ_SWEEP_FIELD(6)
QZ_SWEEP_FIELD(7)
QZ_SWEEP_FIELD(8)
QZ_SWEEP_FIELD(9)
QZ_SWEEP_FIELD(10)
QZ_SWEEP_FIELD(11)
QZ_SWEEP_FIELD(12)
#undef QZ_SWEEP_FIELD

void Sweep::entry(int n) {
    QLineEdit* f = field(n);
    const auto entered = sweep::enterField(kKinds[n - 1], f->text().toStdString(), chip_.maxFreq());
    if (!entered) {
        notice_.beep();
        entry_->refuse(f);
        return;
    }
    f->setText(QString::fromStdString(entered->shown));
    for (int g = 0; g < 2; ++g) {
        sweep::FieldTexts t = chip_.sweepSettings(g);
        const auto texts = textsOf(t);
        for (size_t i = 0; i < texts.size(); ++i)
            if (kGroupFields[g][i] == n) {
                *texts[i] = entered->shown;
                chip_.setSweepSettings(g, t);
            }
    }
}

// The fields as they stand, the kind as chosen.
void Sweep::startGroup(int group) {
    sweep::FieldTexts texts = chip_.sweepSettings(group);
    const auto fields = textsOf(texts);
    for (size_t i = 0; i < fields.size(); ++i) *fields[i] = field(kGroupFields[group][i])->text().toStdString();
    const sweep::StartCheck check = chip_.startSweep(group, texts);
    if (check.plan) return;
    // A text that is no number was refused by the field's own entry rule already.
    if (check.refusal == sweep::Refusal::NotANumber) return;
    notice_.showMessage(
        {platform::kAppTitle, QString::fromLatin1(sweep::refusalText(check.refusal)), platform::MessageIcon::None},
        this);
}

void Sweep::Command1_Click() { startGroup(0); }
void Sweep::Command4_Click() { startGroup(1); }
void Sweep::Command2_Click() { chip_.stopSweep(0); }
void Sweep::Command3_Click() { chip_.stopSweep(1); }
void Sweep::countup1_Timer() { chip_.sweepTick(0); }
void Sweep::countdown1_Timer() { chip_.sweepTick(1); }
void Sweep::countup2_Timer() { chip_.sweepTick(2); }
void Sweep::countdown2_Timer() { chip_.sweepTick(3); }
