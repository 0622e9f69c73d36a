#pragma once
// Start-up: which system this is, where the printer port sits, the one-time
// preparation of its control register, and the optional status box.
#include <QStringList>
#include <string>

extern std::string WindowsVersionName;

std::string GetWindowsVersion();
void ClaimPort();
void GetPortAddress();
void SetupPort();
// Shows the status box when "/SS" stands anywhere in the arguments, any case;
// the caller passes the arguments that are not options or option values.
void ShowStatus(const QStringList& arguments);

namespace startup {

// Which port menu items may be chosen: only the claimed port's when the
// library reports a standard address, all three otherwise.
struct PortItems {
    bool lpt1 = true, lpt2 = true, prn = true;
};
const PortItems& portItems();

// The chip's start-up words, once: on the claim path with a standard address
// they go out while the address is settled, before the control register.
void loadChip();
// Forgets the start-up state (tests).
void resetStartup();
// The whole entry procedure up to showing the main window, which the caller
// then creates: it marks and enables its port menu from this state.
void runStartup(const QStringList& arguments);

}  // namespace startup
