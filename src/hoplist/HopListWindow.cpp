#include "hoplist/HopListWindow.h"

#include "numeric/NumberText.h"
#include "platform/UserNotice.h"
#include "ui_HopListWindow.h"
#include "widgets/FieldEntry.h"
#include "widgets/Placement.h"
#include "widgets/WindowStyle.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>
#include <set>

namespace {

const QString kIdleCaption = QStringLiteral("List Controls");
const QString kRunningCaption = QStringLiteral("Hopping");

// Every row's dwell, one a row, also when one dwell stands for all.
std::vector<double> perRow(const control::ChipControl& chip) {
    std::vector<double> d = chip.listDwells();
    const size_t rows = chip.listFrequencies().size();
    if (d.size() == 1 && rows > 1) d.assign(rows, d[0]);
    if (d.size() < rows) d.resize(rows, d.empty() ? 0.001 : d.back());
    return d;
}

// What the user is told of a list that cannot start.
QString startRefusal(const std::string& conflict) {
    if (conflict == "sweep") return QStringLiteral("A sweep is running: stop it before starting the list.");
    if (conflict == "keying") return QStringLiteral("An FSK keying is running: stop it before starting the list.");
    return QStringLiteral("The list cannot start: %1.").arg(QString::fromStdString(conflict));
}

}  // namespace

// ---- the rows ------------------------------------------------------------------

HopListModel::HopListModel(control::ChipControl& chip, QObject* parent) : QAbstractTableModel(parent), chip_(chip) {}

int HopListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(std::max(chip_.listFrequencies().size(), chip_.listDwells().size() > 1 ? chip_.listDwells().size() : 0));
}

int HopListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QString HopListModel::mhzText(double hz) { return QString::fromStdString(numeric::format_0_10(hz / 1e6)); }
QString HopListModel::msText(double s) { return QString::number(s * 1e3, 'g', 7); }

QVariant HopListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    const auto row = static_cast<size_t>(index.row());
    if (index.column() == 0) {
        const auto& hz = chip_.listFrequencies();
        return row < hz.size() ? mhzText(hz[row]) : QString();
    }
    const auto& d = chip_.listDwells();
    if (d.size() == 1) return msText(d[0]);
    return row < d.size() ? msText(d[row]) : QString();
}

QVariant HopListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    return section == 0 ? QStringLiteral("Freq. (MHz)") : QStringLiteral("Dwell (ms)");
}

Qt::ItemFlags HopListModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool HopListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole) return false;
    const auto row = static_cast<size_t>(index.row());
    const std::optional<double> v = numeric::parseDouble(value.toString().trimmed().toStdString());
    if (index.column() == 0) {
        const double max = chip_.maxFreq();
        if (!v || !(*v >= 0 && *v <= max)) {
            emit refused(QStringLiteral("The frequency must be a number of MHz from 0 to %1.").arg(max));
            return false;
        }
        std::vector<double> hz = chip_.listFrequencies();
        if (row >= hz.size()) hz.resize(row + 1, 0);
        hz[row] = *v * 1e6;
        chip_.setListFrequencies(std::move(hz), false);
    } else {
        const double min = chip_.minListDwell();
        if (!v || !hoplist::checkDwells({*v / 1e3}, min).empty()) {
            emit refused(QStringLiteral("The dwell must be a number of ms from %1 to %2.")
                             .arg(msText(min), msText(hoplist::kMaxDwellS)));
            return false;
        }
        std::vector<double> d = perRow(chip_);
        if (row >= d.size()) d.resize(row + 1, *v / 1e3);
        d[row] = *v / 1e3;
        chip_.setListDwells(std::move(d), false);
    }
    return true;
}

void HopListModel::reload() {
    beginResetModel();
    endResetModel();
}

// ---- the window ------------------------------------------------------------------

HopListWindow::HopListWindow(control::ChipControl& chip, platform::UserNotice& notice, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::HopListWindow>()), chip_(chip), notice_(notice),
      folder_(QDir::currentPath()) {
    ui_->setupUi(this);
    widgets::fixWindowFrame(*this, false);
    widgets::installFocusFrameStyle();
    model_ = new HopListModel(chip_, this);
    ui_->Rows->setModel(model_);
    ui_->Rows->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui_->Rows->verticalHeader()->setDefaultSectionSize(20);
    ui_->Rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    applyFonts();
    connect(model_, &HopListModel::refused, this, &HopListWindow::tell);

    entry_ = new FieldEntry(this);
    FieldEntry::Field f;
    f.edit = ui_->Count;
    f.enter = [this](FieldEntry::Trigger) { commitCount(); };
    f.leave = f.enter;
    f.consumeEnter = true;
    entry_->add(std::move(f));

    connect(ui_->Continuous, &QCheckBox::clicked, this, &HopListWindow::setContinuous);
    connect(ui_->TriggerImmediate, &QRadioButton::clicked, this,
            [this] { chip_.setListTrigger(hoplist::Trigger::Immediate); });
    connect(ui_->TriggerBus, &QRadioButton::clicked, this, [this] { chip_.setListTrigger(hoplist::Trigger::Bus); });
    connect(ui_->Add, &QPushButton::clicked, this, &HopListWindow::addRow);
    connect(ui_->Remove, &QPushButton::clicked, this, &HopListWindow::removeRows);
    connect(ui_->Import, &QPushButton::clicked, this, &HopListWindow::importFile);
    connect(ui_->Export, &QPushButton::clicked, this, &HopListWindow::exportFile);
    connect(ui_->Start, &QPushButton::clicked, this, &HopListWindow::startClick);
    connect(ui_->Stop, &QPushButton::clicked, this, &HopListWindow::stopClick);
    connect(ui_->Step, &QPushButton::clicked, this, &HopListWindow::stepClick);
    connect(&chip_, &control::ChipControl::listRunningChanged, this, &HopListWindow::showRunning);
    connect(&chip_, &control::ChipControl::listProgressChanged, this, &HopListWindow::showProgress);
    // Whichever door changed them (SCPI, a script, a setup file, a file).
    connect(&chip_, &control::ChipControl::listSettingsChanged, this, &HopListWindow::showSettings);

    ui_->Count->setToolTip(QStringLiteral("Passes through the list, a whole number from 1 to 4294967295"));
    showSettings();
    showRunning(chip_.listRunning());
    if (chip_.listRunning() || chip_.listsEnded() > 0) showProgress(chip_.listProgress());
    ui_->Rows->setFocus();
}

HopListWindow::~HopListWindow() = default;

void HopListWindow::applyFonts() {
    // As the other tool windows: Designer files hold whole points only.
    const QFont body = widgets::uiFont(8.25), frame = widgets::uiFont(9.75);
    for (QWidget* w : findChildren<QWidget*>()) w->setFont(body);
    ui_->Frame1->setFont(frame);
    for (QWidget* w : ui_->Frame1->findChildren<QWidget*>()) w->setFont(body);
    ui_->Rows->setFont(widgets::uiFont(8.25, false));
}

void HopListWindow::showSettings() {
    model_->reload();
    if (chip_.listCount() > 0) lastCount_ = chip_.listCount();
    if (!ui_->Count->isModified()) ui_->Count->setText(QString::number(lastCount_));
    ui_->Continuous->setChecked(chip_.listCount() == 0);
    (chip_.listTrigger() == hoplist::Trigger::Bus ? ui_->TriggerBus : ui_->TriggerImmediate)->setChecked(true);
}

// Beside the main window, as the modulation window, so the main window's
// fields can be watched while the list runs, bottom edges level so the Board
// Monitor on that side keeps its readings in view.
void HopListWindow::setVisible(bool visible) {
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

void HopListWindow::keyPressEvent(QKeyEvent* e) {
    // As the other tool windows: Escape must not close it.
    if (e->matches(QKeySequence::Cancel)) return;
    QDialog::keyPressEvent(e);
}

void HopListWindow::tell(const QString& text) {
    notice_.showMessage({platform::kAppTitle, text, platform::MessageIcon::None}, this);
}

void HopListWindow::report(const control::Outcome& r) {
    if (!r.portFailure.empty()) notice_.showMessage(platform::portFailureNotice(r.portFailure), this);
}

// ---- entries -------------------------------------------------------------------

// A count typed in ends Continuous.
void HopListWindow::commitCount() {
    const QString text = ui_->Count->text().trimmed();
    bool ok = !text.isEmpty();
    for (QChar c : text) ok = ok && c.isDigit() && c.unicode() < 128;
    const qulonglong n = ok ? text.toULongLong(&ok) : 0;
    if (!ok || n < 1 || n > 4294967295ull) {
        tell(QStringLiteral("The count must be a whole number of passes from 1 to 4294967295; "
                            "tick Continuous to run until Stop."));
        ui_->Count->setText(QString::number(lastCount_));
        entry_->moveFocus(ui_->Count);
        ui_->Count->selectAll();
        return;
    }
    lastCount_ = n;
    ui_->Count->setModified(false);
    ui_->Count->setText(QString::number(n));
    chip_.setListCount(n);
}

void HopListWindow::setContinuous(bool on) { chip_.setListCount(on ? 0 : lastCount_); }

void HopListWindow::addRow() {
    std::vector<double> hz = chip_.listFrequencies();
    if (hz.size() >= hoplist::kMaxRows) return tell(QStringLiteral("A list holds at most 100000 rows."));
    const int current = ui_->Rows->currentIndex().isValid() ? ui_->Rows->currentIndex().row() : static_cast<int>(hz.size()) - 1;
    const size_t at = static_cast<size_t>(current + 1);
    std::vector<double> d = perRow(chip_);
    const bool oneForAll = chip_.listDwells().size() == 1;
    hz.insert(hz.begin() + static_cast<long>(std::min(at, hz.size())), hz.empty() ? 1e6 : hz[std::min(at, hz.size()) - 1]);
    d.insert(d.begin() + static_cast<long>(std::min(at, d.size())), d.empty() ? 0.001 : d[std::min(at, d.size()) - 1]);
    chip_.setListFrequencies(std::move(hz), false);
    if (!oneForAll) chip_.setListDwells(std::move(d), false);
    ui_->Rows->setCurrentIndex(model_->index(static_cast<int>(at), 0));
}

void HopListWindow::removeRows() {
    std::set<int> rows;
    for (const QModelIndex& i : ui_->Rows->selectionModel()->selectedIndexes()) rows.insert(i.row());
    if (rows.empty() && ui_->Rows->currentIndex().isValid()) rows.insert(ui_->Rows->currentIndex().row());
    if (rows.empty()) return;
    const std::vector<double>& all = chip_.listFrequencies();
    const bool oneForAll = chip_.listDwells().size() == 1;
    const std::vector<double> dAll = perRow(chip_);
    std::vector<double> hz, d;
    for (size_t i = 0; i < all.size(); ++i) {
        if (rows.count(static_cast<int>(i))) continue;
        hz.push_back(all[i]);
        d.push_back(dAll[i]);
    }
    chip_.setListFrequencies(std::move(hz), false);
    if (!oneForAll) chip_.setListDwells(std::move(d), false);
}

QString HopListWindow::choose(bool save) {
    if (choose_) return choose_(save, folder_);
    const QString filter = tr("CSV lists (*.csv);;All files (*)");
    QString path = save ? QFileDialog::getSaveFileName(this, tr("Export List"), folder_, filter)
                        : QFileDialog::getOpenFileName(this, tr("Import List"), folder_, filter);
    if (save && !path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += ".csv";
    return path;
}

// A file with a bad row changes nothing; the box names its line and column.
void HopListWindow::importFile() {
    const QString path = choose(false);
    if (path.isEmpty()) return;
    folder_ = QFileInfo(path).absolutePath();
    const control::ChipControl::FileOutcome r = chip_.loadListFile(path);
    if (r.error == control::ChipControl::FileError::None) return;
    notice_.showMessage({platform::kAppTitle,
                         QStringLiteral("Cannot import %1: %2").arg(path, QString::fromStdString(r.text)),
                         platform::MessageIcon::Warning},
                        this);
}

void HopListWindow::exportFile() {
    const QString path = choose(true);
    if (path.isEmpty()) return;
    folder_ = QFileInfo(path).absolutePath();
    const control::ChipControl::FileOutcome r = chip_.saveListFile(path);
    if (r.error == control::ChipControl::FileError::None) return;
    notice_.showMessage({platform::kAppTitle,
                         QStringLiteral("Cannot export to %1: %2").arg(path, QString::fromStdString(r.text)),
                         platform::MessageIcon::Warning},
                        this);
}

// ---- Start, Stop, Step -----------------------------------------------------------

void HopListWindow::startClick() {
    const control::Outcome r = chip_.startList();
    if (!r.conflict.empty()) return tell(startRefusal(r.conflict));
    report(r);
}

void HopListWindow::stopClick() { report(chip_.stopList()); }

void HopListWindow::stepClick() {
    bool fired = false;
    report(chip_.triggerList(fired));
}

// The enabled button takes the focus of one being disabled, so Qt does not
// hand it on to a field.
void HopListWindow::showRunning(bool running) {
    const bool waiting = chip_.listWaiting();
    QPushButton* on = running ? ui_->Stop : ui_->Start;
    QPushButton* off = running ? ui_->Start : ui_->Stop;
    on->setEnabled(true);
    if (off->hasFocus()) entry_->moveFocus(on);
    off->setEnabled(false);
    if (ui_->Step->hasFocus() && !waiting) entry_->moveFocus(on);
    ui_->Step->setEnabled(waiting);
    ui_->Frame1->setTitle(running ? kRunningCaption : kIdleCaption);
}

QString HopListWindow::progressText(const hoplist::Progress& p) {
    QString text = QStringLiteral("Row %1 of %2, pass %3").arg(p.row).arg(p.rows).arg(p.pass);
    if (p.passes != 0) text += QStringLiteral(" of %1").arg(p.passes);
    if (p.running && p.waiting) text += QStringLiteral(", waiting for a trigger");
    else if (p.running && p.secondsLeft >= 0) text += QStringLiteral(", %1 s left").arg(p.secondsLeft, 0, 'f', 1);
    return text;
}

// The last list's line stays after it ends.
void HopListWindow::showProgress(const hoplist::Progress& p) {
    ui_->Progress->setText(progressText(p));
    ui_->Step->setEnabled(p.running && p.waiting);
}
