#pragma once
// Start-up: which system this is, where the printer port sits, the one-time
// preparation of its control register, and the optional status box.
#include <QStringList>
#include <string>

class MainForm;

extern std::string WindowsVersionName;

std::string GetWindowsVersion();
void ClaimPort();
void GetPortAddress();
void SetupPort();
// Shows the status box when "/SS" stands anywhere in the arguments, any case;
// the caller passes the arguments that are not options or option values.
void ShowStatus(const QStringList& arguments);

namespace startup {

// The main window, created with its load step on first use.
MainForm& mainForm();
bool mainFormExists();
// Destroys the main window and forgets the start-up state (tests).
void resetStartup();
// The whole entry procedure up to showing the main window.
MainForm& runStartup(const QStringList& arguments);

}  // namespace startup
