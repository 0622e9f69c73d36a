#include "modulation/Modulation.h"

#include "numeric/NumberText.h"
#include "platform/UserNotice.h"
#include "ui_Modulation.h"
#include "widgets/FieldEntry.h"
#include "widgets/Placement.h"
#include "widgets/WindowStyle.h"

#include <QKeyEvent>

#include <algorithm>

namespace {

const QString kIdleCaption = QStringLiteral("Keying Controls");
const QString kRunningCaption = QStringLiteral("Keying ");

// Rates as typed back: up to seven significant digits, no exponent below 10^7.
QString rateText(double r) { return QString::number(r, 'g', 7); }

}  // namespace

Modulation::Modulation(control::ChipControl& chip, platform::UserNotice& notice, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::Modulation>()), chip_(chip), notice_(notice) {
    ui_->setupUi(this);
    widgets::fixWindowFrame(*this, false);
    widgets::installFocusFrameStyle();
    applyFonts();
    ui_->Prbs->setPlaceholderText(QStringLiteral("PRBS..."));

    entry_ = new FieldEntry(this);
    const std::pair<QLineEdit*, void (Modulation::*)()> fields[] = {
        {ui_->Pattern, &Modulation::commitPattern}, {ui_->Rate, &Modulation::commitRate},
        {ui_->Count, &Modulation::commitCount}};
    for (auto [edit, commit] : fields) {
        FieldEntry::Field f;
        f.edit = edit;
        f.enter = [this, commit](FieldEntry::Trigger) { (this->*commit)(); };
        f.leave = f.enter;
        f.consumeEnter = true;
        entry_->add(std::move(f));
    }

    const std::pair<QRadioButton*, keying::Type> types[] = {
        {ui_->TypeFSK, keying::Type::FSK}, {ui_->TypeBPSK, keying::Type::BPSK}, {ui_->TypeQPSK, keying::Type::QPSK}};
    for (auto [option, type] : types)
        connect(option, &QRadioButton::clicked, this, [this, t = type] { chip_.setKeyingType(t); });
    connect(ui_->Prbs, &QComboBox::activated, this, &Modulation::choosePrbs);
    connect(ui_->Continuous, &QCheckBox::clicked, this, &Modulation::setContinuous);
    connect(ui_->Start, &QPushButton::clicked, this, &Modulation::startClick);
    connect(ui_->Stop, &QPushButton::clicked, this, &Modulation::stopClick);
    connect(&chip_, &control::ChipControl::keyingRunningChanged, this, &Modulation::showRunning);
    connect(&chip_, &control::ChipControl::keyingProgressChanged, this, &Modulation::showProgress);
    // Whichever door changed them (SCPI, a script, a setup file).
    connect(&chip_, &control::ChipControl::keyingSettingsChanged, this, &Modulation::showSettings);

    ui_->Rate->setToolTip(QStringLiteral("Symbols a second, %1 to %2 (this port's limit)")
                              .arg(rateText(Keyer::kMinRate), rateText(chip_.maxKeyingRate())));
    showSettings();
    showRunning(chip_.keyingRunning());
    if (chip_.keyingRunning() || chip_.keyingsEnded() > 0) showProgress(chip_.keyingProgress());
    ui_->Pattern->setFocus();
}

Modulation::~Modulation() = default;

void Modulation::applyFonts() {
    // As the sweep window: Designer files hold whole points only.
    const QFont body = widgets::uiFont(8.25), frame = widgets::uiFont(9.75);
    for (QWidget* w : findChildren<QWidget*>()) w->setFont(body);
    ui_->Frame1->setFont(frame);
    for (QWidget* w : ui_->Frame1->findChildren<QWidget*>()) w->setFont(body);
}

// A field the user has changed since it was last written (isModified) keeps
// the user's text until it commits.
void Modulation::showSettings() {
    const keying::Type t = chip_.keyingType();
    (t == keying::Type::FSK ? ui_->TypeFSK : t == keying::Type::BPSK ? ui_->TypeBPSK : ui_->TypeQPSK)
        ->setChecked(true);
    showPattern();
    showRate();
    if (chip_.keyingCount() > 0) lastCount_ = chip_.keyingCount();
    if (!ui_->Count->isModified()) ui_->Count->setText(QString::number(lastCount_));
    ui_->Continuous->setChecked(chip_.keyingCount() == 0);
}

void Modulation::showPattern() {
    const QString text = QString::fromStdString(chip_.keyingPattern());
    if (!ui_->Pattern->isModified()) ui_->Pattern->setText(text);
    ui_->Prbs->setCurrentIndex(ui_->Prbs->findText(text));  // -1 (the placeholder) for bits and hex
}

void Modulation::showRate() {
    if (!ui_->Rate->isModified()) ui_->Rate->setText(rateText(chip_.keyingRate()));
}

// Beside the main window, so its options can be watched while keying, with
// the bottom edges level: the Board Monitor on that side keeps its readings
// and word log in view. Later the window stays where the user puts it.
// Placed before it is shown, while the main window's frame still stands for
// the one it will get: once shown and not yet framed, a move would put its
// inside where its frame belongs.
void Modulation::setVisible(bool visible) {
    if (visible && !placed_ && parentWidget()) {
        placed_ = true;
        widgets::placeBeside(*this, *parentWidget());
        const QRect main = parentWidget()->frameGeometry();
        const QMargins frame = widgets::frameMargins(*this);
        move(x(), std::max(main.top(), main.bottom() + 1 - (height() + frame.top() + frame.bottom())));
        QDialog::setVisible(true);
        widgets::placeBesideOnceFramed(*this, *parentWidget());
        return;
    }
    QDialog::setVisible(visible);
}

void Modulation::keyPressEvent(QKeyEvent* e) {
    // As the sweep window: Escape must not close it.
    if (e->matches(QKeySequence::Cancel)) return;
    QDialog::keyPressEvent(e);
}

// ---- entries -------------------------------------------------------------------

void Modulation::tell(const QString& text) {
    notice_.showMessage({platform::kAppTitle, text, platform::MessageIcon::None}, this);
}

void Modulation::refuse(QLineEdit* field, const QString& why, const QString& good) {
    tell(why);
    field->setText(good);
    refused_ = field;
    entry_->moveFocus(field);
    field->selectAll();
}

void Modulation::commitPattern() {
    const std::string why = chip_.setKeyingPattern(ui_->Pattern->text().toStdString());
    if (!why.empty())
        return refuse(ui_->Pattern, QString::fromStdString(why), QString::fromStdString(chip_.keyingPattern()));
    refused_ = nullptr;
    ui_->Pattern->setModified(false);
    showPattern();
}

void Modulation::choosePrbs(int index) {
    if (index < 0) return;
    ui_->Pattern->setText(ui_->Prbs->itemText(index));
    commitPattern();
}

// Below the least rate, or no number, is refused; above the port's limit the
// limit is taken, and the user is told.
void Modulation::commitRate() {
    const std::optional<double> v = numeric::parseDouble(ui_->Rate->text().toStdString());
    const double max = chip_.maxKeyingRate();
    if (!v || !(*v >= Keyer::kMinRate)) {
        return refuse(ui_->Rate,
                      QStringLiteral("The rate must be a number of symbols a second from %1 to %2.")
                          .arg(rateText(Keyer::kMinRate), rateText(max)),
                      rateText(chip_.keyingRate()));
    }
    refused_ = nullptr;
    if (*v > max) {
        chip_.setKeyingRate(max);
        ui_->Rate->setModified(false);
        showRate();
        tell(QStringLiteral("The rate is limited to %1 symbols a second on this port.").arg(rateText(max)));
        return;
    }
    chip_.setKeyingRate(*v);
    ui_->Rate->setModified(false);
    showRate();
}

// A count typed in ends Continuous.
void Modulation::commitCount() {
    const QString text = ui_->Count->text().trimmed();
    bool ok = !text.isEmpty();
    for (QChar c : text) ok = ok && c.isDigit() && c.unicode() < 128;
    const qulonglong n = ok ? text.toULongLong(&ok) : 0;
    if (!ok || n < 1 || !chip_.setKeyingCount(n)) {
        return refuse(ui_->Count,
                      QStringLiteral("The count must be a whole number of symbols from 1 to %1; "
                                     "tick Continuous to key until Stop.")
                          .arg(Keyer::kMaxCount),
                      QString::number(lastCount_));
    }
    refused_ = nullptr;
    lastCount_ = n;
    ui_->Count->setText(QString::number(n));
    ui_->Continuous->setChecked(false);
}

void Modulation::setContinuous(bool on) { chip_.setKeyingCount(on ? 0 : lastCount_); }

// ---- Start and Stop ------------------------------------------------------------

void Modulation::startClick() {
    // The field a refusal sent the user back to is put right first.
    if (refused_ && refused_->hasFocus()) return;
    const control::Outcome r = chip_.startKeying();
    if (!r.conflict.empty()) return tell(QStringLiteral("A frequency list is running: stop it before FSK keying."));
    reportPortFailure(r);
}

void Modulation::stopClick() { reportPortFailure(chip_.stopKeying()); }

void Modulation::reportPortFailure(const control::Outcome& r) {
    if (!r.portFailure.empty()) notice_.showMessage(platform::portFailureNotice(r.portFailure), this);
}

// The enabled button of the pair takes the focus of the one being disabled,
// so Qt does not hand it on to a field. The settings stay usable: a running
// keying keeps the ones it started with, and the next Start takes them.
void Modulation::showRunning(bool running) {
    QPushButton* on = running ? ui_->Stop : ui_->Start;
    QPushButton* off = running ? ui_->Start : ui_->Stop;
    on->setEnabled(true);
    if (off->hasFocus()) entry_->moveFocus(on);
    off->setEnabled(false);
    ui_->Frame1->setTitle(running ? kRunningCaption + QString::fromLatin1(keying::typeName(chip_.keyingProgress().type))
                                  : kIdleCaption);
}

// Time left only while it runs: after a Stop nothing is left to wait for.
QString Modulation::progressText(const keying::Progress& p) {
    QString text = p.count == 0    ? QStringLiteral("Sent %1 symbols").arg(p.sent)
                   : !p.running ? QStringLiteral("Sent %1 of %2 symbols").arg(p.sent).arg(p.count)
                                  : QStringLiteral("Sent %1 of %2 symbols, %3 s left")
                                        .arg(p.sent)
                                        .arg(p.count)
                                        .arg(p.secondsLeft(), 0, 'f', 1);
    if (p.symbol >= 0) text += QStringLiteral(", symbol %1").arg(p.symbol);
    return text;
}

// The last keying's line stays after it ends.
void Modulation::showProgress(const keying::Progress& p) {
    ui_->Progress->setText(progressText(p));
}
