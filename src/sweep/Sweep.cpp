#include "sweep/Sweep.h"

#include "numeric/NumberText.h"
#include "platform/UserNotice.h"
#include "registers/Declare.h"
#include "ui_Sweep.h"
#include "widgets/FieldEntry.h"
#include "widgets/WindowStyle.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QScreen>

namespace {

enum class FieldKind { Freq, Step8, Loops, Delay };

// Text1..Text10. Only group 1's step field shows eight decimals.
constexpr std::array<FieldKind, 10> kKinds = {FieldKind::Freq,  FieldKind::Freq,  FieldKind::Freq,  FieldKind::Loops,
                                              FieldKind::Delay, FieldKind::Delay, FieldKind::Loops, FieldKind::Step8,
                                              FieldKind::Freq,  FieldKind::Freq};


}  // namespace

Sweep::Sweep(QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::Sweep>()),
      group0_(0, Countup1, Countdown1, QStringLiteral("Freq. 0 Controls"),
              [this](const QString& c) { ui_->Frame1->setTitle(c); }),
      group1_(1, Countup2, countdown2, QStringLiteral("Freq. 1 Controls"),
              [this](const QString& c) { ui_->Frame2->setTitle(c); }) {
    ui_->setupUi(this);
    widgets::fixWindowFrame(*this, false);
    widgets::installFocusFrameStyle();
    applyFonts();

    fields_ = {ui_->Text1, ui_->Text2, ui_->Text3, ui_->Text4, ui_->Text5,
               ui_->Text6, ui_->Text7, ui_->Text8, ui_->Text9, ui_->Text10};
    using KeyPress = void (Sweep::*)(int&);
    using LostFocus = void (Sweep::*)();
    const KeyPress keys[] = {&Sweep::text1_keypress, &Sweep::text2_keypress, &Sweep::text3_keypress,
                             &Sweep::text4_keypress, &Sweep::text5_keypress, &Sweep::text6_keypress,
                             &Sweep::text7_keypress, &Sweep::text8_keypress, &Sweep::text9_keypress,
                             &Sweep::text10_keypress};
    const LostFocus leaves[] = {&Sweep::Text1_LostFocus, &Sweep::Text2_LostFocus, &Sweep::Text3_LostFocus,
                                &Sweep::Text4_LostFocus, &Sweep::Text5_LostFocus, &Sweep::Text6_LostFocus,
                                &Sweep::Text7_LostFocus, &Sweep::Text8_LostFocus, &Sweep::Text9_LostFocus,
                                &Sweep::Text10_LostFocus};
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
    connect(&Countup1, &SweepTimer::timeout, this, &Sweep::countup1_Timer);
    connect(&Countdown1, &SweepTimer::timeout, this, &Sweep::countdown1_Timer);
    connect(&Countup2, &SweepTimer::timeout, this, &Sweep::countup2_Timer);
    connect(&countdown2, &SweepTimer::timeout, this, &Sweep::countdown2_Timer);

    ui_->Text1->setFocus();
}

Sweep::~Sweep() { stopAllTimers(); }

void Sweep::applyFonts() {
    // Designer files hold whole points only; the form's sizes are fractional.
    const QFont body = widgets::uiFont(8.25), frame = widgets::uiFont(9.75);
    for (QWidget* w : findChildren<QWidget*>()) w->setFont(body);
    ui_->Frame1->setFont(frame);
    ui_->Frame2->setFont(frame);
}

void Sweep::Form_Load() {
    // Centred by the outer size, frame included.
    const QRect screenRect = screen()->geometry();
    const QSize outer = frameGeometry().size();
    move(screenRect.x() + (screenRect.width() - outer.width()) / 2,
         screenRect.y() + (screenRect.height() - outer.height()) / 2);
}

void Sweep::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
}

void Sweep::stopAllTimers() {
    Countup1.setEnabled(false);
    Countdown1.setEnabled(false);
    Countup2.setEnabled(false);
    countdown2.setEnabled(false);
}

void Sweep::Back_Click() {
    stopAllTimers();
    done(QDialog::Rejected);
}

void Sweep::done(int result) {
    // Back, the close box and any other way out: no sweep outlives the window.
    stopAllTimers();
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
#undef QZ_SWEEP_FIELD

void Sweep::entry(int n) {
    QLineEdit* f = field(n);
    const auto value = numeric::parseSingle(f->text().toStdString());
    if (!value) {
        platform::beep();
        entry_->refuse(f);
        return;
    }
    EntryValue = *value;
    std::string shown;
    switch (kKinds[n - 1]) {
    case FieldKind::Freq:
        check_max();
        shown = numeric::formatFixedSingle(EntryValue, 2, 10);
        break;
    case FieldKind::Step8:
        check_max();
        shown = numeric::formatFixedSingle(EntryValue, 2, 8);
        break;
    case FieldKind::Loops:
        if (!(EntryValue >= 1)) EntryValue = 1;
        shown = numeric::formatGeneral(EntryValue);
        break;
    case FieldKind::Delay:
        if (EntryValue > 100000) EntryValue = 100000;
        if (EntryValue < 0) EntryValue = 0;
        shown = numeric::formatGeneral(EntryValue);
        break;
    }
    f->setText(QString::fromStdString(shown));
}

void Sweep::check_max() {
    if (EntryValue > MaxFreq) EntryValue = MaxFreq;
    if (!(EntryValue >= 0)) EntryValue = 0;
}

void Sweep::startGroup(SweepRunner& runner, QLineEdit* start, QLineEdit* stop, QLineEdit* step, QLineEdit* loops,
                       QLineEdit* delay) {
    const sweep::FieldTexts texts{start->text().toStdString(), stop->text().toStdString(),
                                  step->text().toStdString(), loops->text().toStdString(),
                                  delay->text().toStdString()};
    const sweep::StartCheck check = runner.start(texts);
    if (check.plan) return;
    QString why;
    switch (check.refusal) {
    case sweep::Refusal::NotANumber: return;  // the field's own entry rules have beeped already
    case sweep::Refusal::StepNotPositive: why = QStringLiteral("Freq. Step must be greater than 0"); break;
    case sweep::Refusal::StepTooBig: why = QStringLiteral("Step size is too big for start and stop frequencies"); break;
    case sweep::Refusal::LoopsNotWhole: why = QStringLiteral("No. of Loops must be a whole number"); break;
    }
    platform::showMessage({platform::kAppTitle, why, platform::MessageIcon::None}, this);
}

void Sweep::Command1_Click() { startGroup(group0_, ui_->Text1, ui_->Text2, ui_->Text3, ui_->Text4, ui_->Text5); }
void Sweep::Command4_Click() { startGroup(group1_, ui_->Text10, ui_->Text9, ui_->Text8, ui_->Text7, ui_->Text6); }
void Sweep::Command2_Click() { group0_.stop(); }
void Sweep::Command3_Click() { group1_.stop(); }
void Sweep::countup1_Timer() { group0_.tickUp(); }
void Sweep::countdown1_Timer() { group0_.tickDown(); }
void Sweep::countup2_Timer() { group1_.tickUp(); }
void Sweep::countdown2_Timer() { group1_.tickDown(); }
