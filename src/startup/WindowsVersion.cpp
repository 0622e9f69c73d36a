#include "startup/WindowsVersion.h"

#include "platform/OsVersion.h"
#include "portlib/Wire.h"

void Startup::loadChip() {
    if (chip_.startedUp()) return;
    const control::Outcome r = chip_.startUp();
    if (!r.portFailure.empty()) notice_.showMessage(platform::portFailureNotice(r.portFailure));
}

void Startup::run(const QStringList& arguments) {
    SetupPort();
    ShowStatus(arguments);
    loadChip();
}

std::string Startup::GetWindowsVersion() {
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

void Startup::ClaimPort() {
    port_.GetParallelPortCount();
    if ((port_.ClaimParallelPort(1, -1) & 0xFFFF) == 0) {
        claimFailed_ = true;
        notice_.showMessage({platform::kAppTitle, "claim parallel port failed", platform::MessageIcon::None});
    }
}

void Startup::GetPortAddress() {
    ParallelPortInfo info;
    info.size = 12;
    if ((port_.GetParallelPortInfo(1, info) & 0xFFFF) == 0) {
        notice_.showMessage({platform::kAppTitle, "This PC does not appear to have a Printer Port",
                             platform::MessageIcon::Warning});
        return;
    }
    port_.setPortAddress(static_cast<uint16_t>(info.baseAddress & 0xFFFF));
    // Only the claimed port may be chosen from the menu. The chip starts up
    // here on this path, so its words go out before the control register.
    switch (port_.portAddress()) {
    case wire::kLpt2: items_.lpt1 = items_.prn = false; break;
    case wire::kLpt1: items_.lpt2 = items_.prn = false; break;
    case wire::kPrn: items_.lpt1 = items_.lpt2 = false; break;
    default: return;
    }
    loadChip();
}

void Startup::SetupPort() {
    WindowsVersionName = GetWindowsVersion();
    if (WindowsVersionName.find("95") != std::string::npos || WindowsVersionName.find("98") != std::string::npos) {
        port_.setPortAddress(wire::kLpt1);
    } else {
        ClaimPort();
        GetPortAddress();
    }
    // Strobe, auto-linefeed and select-in go inactive, and the data lines drive
    // outwards; initialise and interrupt enable are left as they were.
    const uint16_t control = static_cast<uint16_t>(port_.portAddress() + 2);
    try {
        portlib::OperationScope op(port_);
        port_.OutByte(control, port_.InByte(control) & 0xD4);
        op.finish();
    } catch (const PortError& e) {
        notice_.showMessage(platform::portFailureNotice(e.what()));
    }
}

void Startup::ShowStatus(const QStringList& arguments) {
    if (!arguments.join(' ').toUpper().contains("/SS")) return;
    const QString text = QStringLiteral("Windows Version:") + QString::fromStdString(WindowsVersionName) + QChar(13) +
                         QStringLiteral("Port Address:0x") + QString::number(port_.portAddress(), 16).toUpper();
    notice_.showMessage({QStringLiteral("Show Status"), text, platform::MessageIcon::Information});
}
