#include "link/WindowsVersion.h"

#include "link/CommsFunctions.h"
#include "mainwindow/MainForm.h"
#include "platform/OsVersion.h"
#include "platform/UserNotice.h"
#include "portlib/Parllio.h"
#include "mainwindow/MainFormControls.h"

#include <memory>

std::string WindowsVersionName;

namespace startup {
namespace {
std::unique_ptr<MainForm> g_mainForm;
}

MainForm& mainForm() {
    if (!g_mainForm) {
        g_mainForm = std::make_unique<MainForm>();
        g_mainForm->Form_Load();
    }
    return *g_mainForm;
}

bool mainFormExists() { return g_mainForm != nullptr; }

void resetStartup() {
    g_mainForm.reset();
    WindowsVersionName.clear();
    PortAddress = 0;
}

MainForm& runStartup(const QStringList& arguments) {
    SetupPort();
    ShowStatus(arguments);
    return mainForm();
}

}  // namespace startup

std::string GetWindowsVersion() {
    OSVERSIONINFOA info;
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    switch (info.dwPlatformId) {
    case 1:
        if (info.dwMinorVersion == 0) return "Windows 95";
        if (info.dwMinorVersion == 10) return "Windows 98";
        return "";
    case 2:
        if (info.dwMajorVersion == 3) return "Windows NT 3.51";
        if (info.dwMajorVersion == 4) return "Windows NT 4.0";
        if (info.dwMajorVersion == 5) return "Windows 2000";
        return "";
    default: return "Failed";
    }
}

void ClaimPort() {
    GetParallelPortCount();
    if ((ClaimParallelPort(1, -1) & 0xFFFF) == 0)
        platform::showMessage({platform::kAppTitle, "claim parallel port failed", platform::MessageIcon::None});
}

void GetPortAddress() {
    ParallelPortInfo info;
    info.size = 12;
    if ((GetParallelPortInfo(1, info) & 0xFFFF) == 0) {
        platform::showMessage({platform::kAppTitle, "This PC does not appear to have a Printer Port",
                               platform::MessageIcon::Warning});
        return;
    }
    PortAddress = static_cast<uint16_t>(info.baseAddress & 0xFFFF);
    // Only the claimed port may be chosen from the menu; disabling the items
    // needs the main window, so it is created (and loaded) here.
    switch (PortAddress) {
    case 0x278: {
        Ui::MainForm& f = startup::mainForm().form();
        f.MnuLpt1->setEnabled(false);
        f.Mnuprn->setEnabled(false);
        break;
    }
    case 0x378: {
        Ui::MainForm& f = startup::mainForm().form();
        f.MnuLpt2->setEnabled(false);
        f.Mnuprn->setEnabled(false);
        break;
    }
    case 0x3BC: {
        Ui::MainForm& f = startup::mainForm().form();
        f.MnuLpt1->setEnabled(false);
        f.MnuLpt2->setEnabled(false);
        break;
    }
    default: break;
    }
}

void SetupPort() {
    WindowsVersionName = GetWindowsVersion();
    if (WindowsVersionName.find("95") != std::string::npos || WindowsVersionName.find("98") != std::string::npos) {
        PortAddress = 0x378;
    } else {
        ClaimPort();
        GetPortAddress();
    }
    // Strobe, auto-linefeed and select-in go inactive, and the data lines drive
    // outwards; initialise and interrupt enable are left as they were.
    const uint16_t control = static_cast<uint16_t>(PortAddress + 2);
    try {
        OutByte(control, InByte(control) & 0xD4);
    } catch (const PortError& e) {
        platform::showMessage(platform::portFailureNotice(e.what()));
    }
}

void ShowStatus(const QStringList& arguments) {
    if (!arguments.join(' ').toUpper().contains("/SS")) return;
    const QString text = QStringLiteral("Windows Version:") + QString::fromStdString(WindowsVersionName) + QChar(13) +
                         QStringLiteral("Port Address:0x") + QString::number(PortAddress, 16).toUpper();
    platform::showMessage({QStringLiteral("Show Status"), text, platform::MessageIcon::Information});
}
