#include "about/frmAbout.h"

#include "platform/AppIcon.h"
#include "platform/ProgramStart.h"
#include "platform/UserNotice.h"
#include "ui_frmAbout.h"
#include "widgets/Placement.h"
#include "widgets/WindowStyle.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace {
const QString kSysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kSysInfoValue = QStringLiteral("PATH");
const QString kSysInfoLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kSysInfoLocationValue = QStringLiteral("MSINFO");
const QString kSysInfoProgram = QStringLiteral("\\MSINFO32.EXE");

// Designer stores whole points only; the box was drawn for 8.25 pt.
constexpr qreal kFontPoints = 8.25;
}  // namespace

frmAbout::frmAbout(platform::Seams seams, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmAbout>()), seams_(seams) {
    ui->setupUi(this);
    widgets::fixWindowFrame(*this, false);
    widgets::installFocusFrameStyle();

    QFont boxFont = font();
    boxFont.setPointSizeF(kFontPoints);
    setFont(boxFont);
    for (QWidget* w : findChildren<QWidget*>()) {
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QPushButton*>(w)) continue;
        QFont f = w->font();
        f.setPointSizeF(kFontPoints);
        w->setFont(f);
    }

    ui->picIcon->setPixmap(platform::appIconPixmap());

    connect(ui->cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(ui->cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    ui->cmdOK->setFocus();
    Form_Load();
}

frmAbout::~frmAbout() = default;

void frmAbout::Form_Load() { widgets::centreOnScreen(*this); }

void frmAbout::cmdOK_Click() { accept(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

// Esc presses OK, the box's cancel button, rather than rejecting directly.
void frmAbout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        ui->cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmAbout::GetKeyValue(platform::HKEY KeyRoot, const QString& KeyName,
                           const QString& SubKeyRef, QString& KeyVal) {
    return platform::GetKeyValue(seams_.registry, KeyRoot, KeyName, SubKeyRef, KeyVal);
}

void frmAbout::StartSysInfo() {
    try {
        QString SysInfoPath;
        bool found = GetKeyValue(platform::HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue,
                                 SysInfoPath);
        // The first value names the program itself and is trusted as it is;
        // the second names only its folder, so the file must be there.
        if (!found &&
            GetKeyValue(platform::HKEY_LOCAL_MACHINE, kSysInfoLocationKey,
                        kSysInfoLocationValue, SysInfoPath)) {
            SysInfoPath += kSysInfoProgram;
            found = seams_.programs.fileExists(SysInfoPath);
        }
        if (found && seams_.programs.startProgram(SysInfoPath)) return;
    } catch (...) {
        // any failure on the way means the same to the user
    }
    seams_.notice.showMessage(
        {platform::kAppTitle, QStringLiteral("System Information Is Unavailable At This Time"), platform::MessageIcon::None},
        this);
}
