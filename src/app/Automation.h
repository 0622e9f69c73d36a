#pragma once
// What runs the chip besides the windows: a script file and the SCPI server,
// both on the control layer. Headless, it also decides when the run is over:
// once the script is done and its sweeps have ended, unless a server is up.
#include "startup/CommandLine.h"
#include "scpi/ChipInstrument.h"

#include <QObject>

#include <memory>

namespace scpi {
class ScpiServer;
class ScriptRunner;
}  // namespace scpi

class Automation : public QObject {
    Q_OBJECT
public:
    Automation(const CommandLineOptions& options, control::ChipControl& chip);
    ~Automation() override;

    // Opens the server and starts the script from the event loop; false (with
    // a line on stderr) when the server's port cannot be had.
    bool start();
    // Headless, the run's status once the script is done (see ExitStatus.h).
    int status() const { return status_; }

private:
    void maybeEnd();

    const CommandLineOptions& options_;
    control::ChipControl& chip_;
    scpi::ChipInstrument instrument_;
    std::unique_ptr<scpi::ScpiServer> server_;
    std::unique_ptr<scpi::ScriptRunner> script_;
    bool scriptDone_ = true;
    int status_ = 0;
};
