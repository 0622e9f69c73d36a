#pragma once
// Start-up: which system this is, where the printer port sits, the one-time
// preparation of its control register, and the optional status box. Built in
// main with the port, the chip and the notice seam; the main window reads the
// port menu's state from it when it loads.
#include "control/ChipControl.h"
#include "platform/UserNotice.h"

#include <QStringList>
#include <string>

class Startup {
public:
    // Which port menu items may be chosen: only the claimed port's when the
    // library reports a standard address, all three otherwise.
    struct PortItems {
        bool lpt1 = true, lpt2 = true, prn = true;
    };

    Startup(portlib::Parllio& port, control::ChipControl& chip, platform::UserNotice& notice)
        : port_(port), chip_(chip), notice_(notice) {}

    std::string WindowsVersionName;

    std::string GetWindowsVersion();
    void ClaimPort();
    void GetPortAddress();
    void SetupPort();
    // Shows the status box when "/SS" stands anywhere in the arguments, any case;
    // the caller passes the arguments that are not options or option values.
    void ShowStatus(const QStringList& arguments);

    // The chip's start-up words, once: on the claim path with a standard address
    // they go out while the address is settled, before the control register.
    void loadChip();
    // The whole entry procedure up to showing the main window.
    void run(const QStringList& arguments);

    const PortItems& portItems() const { return items_; }
    // Whether the claim of port 1 failed (an explicitly named port that cannot be used).
    bool claimFailed() const { return claimFailed_; }

private:
    portlib::Parllio& port_;
    control::ChipControl& chip_;
    platform::UserNotice& notice_;
    PortItems items_;
    bool claimFailed_ = false;
};
