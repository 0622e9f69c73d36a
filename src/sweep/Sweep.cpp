#include "sweep/Sweep.h"

#include "numeric/NumberText.h"
#include "platform/UserNotice.h"
#include "registers/Declare.h"
#include "ui_Sweep.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QScreen>

namespace {

enum class FieldKind { Freq, Step8, Loops, Delay };

// Text1..Text10. Only group 1's step field shows eight decimals.
constexpr std::array<FieldKind, 10> kKinds = {FieldKind::Freq,  FieldKind::Freq,  FieldKind::Freq,  FieldKind::Loops,
                                              FieldKind::Delay, FieldKind::Delay, FieldKind::Loops, FieldKind::Step8,
                                              FieldKind::Freq,  FieldKind::Freq};

const QString kFontFamily = QStringLiteral("Liberation Sans");  // metric twin of MS Sans Serif

}  // namespace

Sweep::Sweep(QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::Sweep>()),
      group0_(0, Countup1, Countdown1, QStringLiteral("Freq. 0 Controls"),
              [this](const QString& c) { ui_->Frame1->setTitle(c); }),
      group1_(1, Countup2, countdown2, QStringLiteral("Freq. 1 Controls"),
              [this](const QString& c) { ui_->Frame2->setTitle(c); }) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    applyFonts();

    fields_ = {ui_->Text1, ui_->Text2, ui_->Text3, ui_->Text4, ui_->Text5,
               ui_->Text6, ui_->Text7, ui_->Text8, ui_->Text9, ui_->Text10};
    for (QLineEdit* f : fields_) f->installEventFilter(this);

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
    QFont body(kFontFamily);
    body.setPointSizeF(8.25);
    body.setBold(true);
    QFont frame = body;
    frame.setPointSizeF(9.75);
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

bool Sweep::eventFilter(QObject* watched, QEvent* e) {
    const auto it = std::find(fields_.begin(), fields_.end(), watched);
    if (it == fields_.end()) return QDialog::eventFilter(watched, e);
    const int n = static_cast<int>(it - fields_.begin()) + 1;
    switch (e->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(e);
        int code;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) code = 13;
        else if (!key->text().isEmpty()) code = key->text().at(0).unicode();
        else return false;  // arrows and the like are no characters
        keypress(n, code);
        return code == 0;  // consumed: neither the field nor the dialog sees it
    }
    case QEvent::FocusIn:
        hadFocus_[n - 1] = true;
        return false;
    case QEvent::FocusOut: {
        const auto reason = static_cast<QFocusEvent*>(e)->reason();
        // Another window coming to the front (a message box) is no leaving.
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
        // Let the field finish losing the focus first, so a refocus from the
        // error path is the last word on where the focus is.
        watched->event(e);
        if (!hadFocus_[n - 1] || inLostFocus_) return true;
        hadFocus_[n - 1] = false;
        inLostFocus_ = true;
        switch (n) {
        case 1: Text1_LostFocus(); break;
        case 2: Text2_LostFocus(); break;
        case 3: Text3_LostFocus(); break;
        case 4: Text4_LostFocus(); break;
        case 5: Text5_LostFocus(); break;
        case 6: Text6_LostFocus(); break;
        case 7: Text7_LostFocus(); break;
        case 8: Text8_LostFocus(); break;
        case 9: Text9_LostFocus(); break;
        case 10: Text10_LostFocus(); break;
        }
        inLostFocus_ = false;
        return true;
    }
    default:
        return false;
    }
}

void Sweep::keypress(int n, int& KeyAscii) {
    switch (n) {
    case 1: text1_keypress(KeyAscii); break;
    case 2: text2_keypress(KeyAscii); break;
    case 3: text3_keypress(KeyAscii); break;
    case 4: text4_keypress(KeyAscii); break;
    case 5: text5_keypress(KeyAscii); break;
    case 6: text6_keypress(KeyAscii); break;
    case 7: text7_keypress(KeyAscii); break;
    case 8: text8_keypress(KeyAscii); break;
    case 9: text9_keypress(KeyAscii); break;
    case 10: text10_keypress(KeyAscii); break;
    }
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
        f->setText(QString());
        f->setFocus(Qt::OtherFocusReason);
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
    // A field left empty by its own entry rules has already beeped: refuse quietly.
    if (!check.plan && check.refusal == sweep::Refusal::StepTooBig)
        platform::showMessage({platform::kAppTitle, QStringLiteral("Step size is too big for start and stop frequencies"),
                               platform::MessageIcon::None},
                              this);
}

void Sweep::Command1_Click() { startGroup(group0_, ui_->Text1, ui_->Text2, ui_->Text3, ui_->Text4, ui_->Text5); }
void Sweep::Command4_Click() { startGroup(group1_, ui_->Text10, ui_->Text9, ui_->Text8, ui_->Text7, ui_->Text6); }
void Sweep::Command2_Click() { group0_.stop(); }
void Sweep::Command3_Click() { group1_.stop(); }
void Sweep::countup1_Timer() { group0_.tickUp(); }
void Sweep::countdown1_Timer() { group0_.tickDown(); }
void Sweep::countup2_Timer() { group1_.tickUp(); }
void Sweep::countdown2_Timer() { group1_.tickDown(); }
