#pragma once
// What runs the chip besides the windows: a script file and the SCPI server,
// both on the control layer. Headless, it also decides when the run is over:
// once the script is done and its sweeps have ended, unless a server is up.
#include "startup/CommandLine.h"
#include "netaccess/AllowList.h"
#include "scpi/ChipInstrument.h"
#include "scpi/InstrumentLock.h"

#include <QObject>

#include <memory>
#include <optional>

namespace scpi {
class ScpiServer;
class ScriptRunner;
}  // namespace scpi
namespace discovery {
class Announcer;
}  // namespace discovery
namespace vxi11 {
class Registration;
class Vxi11Server;
}  // namespace vxi11

class Automation : public QObject {
    Q_OBJECT
public:
    Automation(const CommandLineOptions& options, control::ChipControl& chip);
    ~Automation() override;

    // Opens the server and starts the script from the event loop; false (with
    // a line on stderr) when the server's port cannot be had.
    bool start();
    // Gives back the rpcbind entry and withdraws the DNS-SD records; for every end of the program.
    void stop();
    // Headless, the run's status once the script is done (see ExitStatus.h).
    int status() const { return status_; }

private:
    void maybeEnd();
    void startVxi11();
    void startDiscovery();

    const CommandLineOptions& options_;
    control::ChipControl& chip_;
    scpi::ChipInstrument instrument_;
    scpi::InstrumentLock lock_;
    std::optional<netaccess::AllowList> allow_;
    std::unique_ptr<scpi::ScpiServer> server_;
    std::unique_ptr<vxi11::Vxi11Server> vxi11_;
    std::unique_ptr<vxi11::Registration> registration_;
    std::unique_ptr<discovery::Announcer> announcer_;
    std::unique_ptr<scpi::ScriptRunner> script_;
    bool scriptDone_ = true;
    int status_ = 0;
};
