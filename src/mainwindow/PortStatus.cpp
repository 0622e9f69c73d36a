#include "mainwindow/PortStatus.h"

#include "portlib/PortBackend.h"

#include "widgets/ElidedLabel.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

namespace {

constexpr int kRefreshMs = 250;

}  // namespace

// The back end says what it is; the status bar only shows it.
PortStatus::Line PortStatus::lineFor(PortBackend* backend, uint16_t address) {
    if (!backend) return {QStringLiteral("No port: words are dropped"), true};
    const StatusLine line = backend->statusLine(address);
    return {QString::fromStdString(line.text), line.warning};
}

QString PortStatus::sweepText(int group, const sweep::Progress& p) {
    if (!p.running) return {};
    return QStringLiteral("Sweep %1: %2 MHz, step %3 of %4, loop %5 of %6")
        .arg(group)
        .arg(p.mhz, 0, 'f', 6)
        .arg(p.step)
        .arg(p.steps)
        .arg(p.loop)
        .arg(p.loops);
}

QString PortStatus::keyingText(const keying::Progress& p) {
    if (!p.running) return {};
    const QString type = QString::fromLatin1(keying::typeName(p.type));
    if (p.count == 0) return QStringLiteral("Keying %1, %2 symbols").arg(type).arg(p.sent);
    return QStringLiteral("Keying %1, %2 of %3 symbols").arg(type).arg(p.sent).arg(p.count);
}

QString PortStatus::listText(const hoplist::Progress& p) {
    if (!p.running) return {};
    QString text = QStringLiteral("List: row %1 of %2, pass %3").arg(p.row).arg(p.rows).arg(p.pass);
    if (p.passes != 0) text += QStringLiteral(" of %1").arg(p.passes);
    return text;
}

PortStatus::PortStatus(QMainWindow& window, control::ChipControl& chip)
    : QObject(&window), chip_(chip), label_(new QLabel), sweeps_(new ElidedLabel), keying_(new ElidedLabel),
      list_(new ElidedLabel) {
    label_->setObjectName(QStringLiteral("portStatus"));
    label_->setContentsMargins(4, 0, 4, 0);
    sweeps_->setObjectName(QStringLiteral("sweepStatus"));
    sweeps_->setContentsMargins(4, 0, 4, 0);
    window.statusBar()->setSizeGripEnabled(false);
    window.statusBar()->addWidget(label_, 1);
    window.statusBar()->addPermanentWidget(sweeps_);
    keying_->setObjectName(QStringLiteral("keyingStatus"));
    keying_->setContentsMargins(4, 0, 4, 0);
    window.statusBar()->addPermanentWidget(keying_);
    list_->setObjectName(QStringLiteral("listStatus"));
    list_->setContentsMargins(4, 0, 4, 0);
    window.statusBar()->addPermanentWidget(list_);
    connect(&chip_, &control::ChipControl::listProgressChanged, this,
            [this](const hoplist::Progress& p) { list_->setText(listText(p)); });
    connect(&chip_, &control::ChipControl::keyingProgressChanged, this,
            [this](const keying::Progress& p) { keying_->setText(keyingText(p)); });
    connect(&chip_, &control::ChipControl::sweepProgressChanged, this, &PortStatus::showSweep);
    connect(&timer_, &QTimer::timeout, this, &PortStatus::refresh);
    timer_.start(kRefreshMs);
    refresh();
}

// Both groups when both run.
void PortStatus::showSweep(int group, const sweep::Progress& p) {
    sweepTexts_[group] = sweepText(group, p);
    QStringList shown;
    for (const QString& t : sweepTexts_)
        if (!t.isEmpty()) shown << t;
    sweeps_->setText(shown.join(QStringLiteral("; ")));
}

void PortStatus::refresh() {
    const control::PortState port = chip_.portState();
    const Line line = port.present ? Line{QString::fromStdString(port.status.text), port.status.warning}
                                   : lineFor(nullptr, 0);
    if (line.text == shown_.text && line.warning == shown_.warning && !label_->text().isEmpty()) return;
    shown_ = line;
    label_->setText(line.text);
    label_->setStyleSheet(line.warning ? QStringLiteral("QLabel { color: #ffffff; background: #b3261e; font-weight: bold; }")
                                       : QString());
}
