#include "link/WindowsVersion.h"

#include "control/ChipControl.h"
#include "link/CommsFunctions.h"
#include "platform/OsVersion.h"
#include "platform/UserNotice.h"
#include "portlib/Parllio.h"

std::string WindowsVersionName;

namespace startup {
namespace {
PortItems g_items;
}

const PortItems& portItems() { return g_items; }

void loadChip() {
    if (control::chip().startedUp()) return;
    const control::Outcome r = control::chip().startUp();
    if (!r.portFailure.empty()) platform::showMessage(platform::portFailureNotice(r.portFailure));
}

void resetStartup() {
    g_items = {};
    WindowsVersionName.clear();
    PortAddress = 0;
}

void runStartup(const QStringList& arguments) {
    SetupPort();
    ShowStatus(arguments);
    loadChip();
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
    // Only the claimed port may be chosen from the menu. The chip starts up
    // here on this path, so its words go out before the control register.
    startup::PortItems& items = startup::g_items;
    switch (PortAddress) {
    case 0x278: items.lpt1 = items.prn = false; break;
    case 0x378: items.lpt2 = items.prn = false; break;
    case 0x3BC: items.lpt1 = items.lpt2 = false; break;
    default: return;
    }
    startup::loadChip();
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
        portlib::OperationScope op;
        OutByte(control, InByte(control) & 0xD4);
        op.finish();
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
