#pragma once
// Builds the port back end the command line asks for, with its recorders.
#include "startup/CommandLine.h"
#include "portlib/PortBackend.h"
#include "portlib/ProgramClock.h"

#include <functional>
#include <memory>
#include <string>

class FtdiPort;
class MonitorPort;
class SimulatedBoard;

// Where devices are looked for; tests point these at fake trees.
struct DeviceLocations {
    std::string devDir = "/dev";
    std::string procRoot = "/proc/sys/dev/parport";
};

struct OpenedBackend {
    std::unique_ptr<PortBackend> backend;  // to hand to the port
    SimulatedBoard* board = nullptr;       // the simulated board in use, else null
    MonitorPort* monitor = nullptr;        // with --monitor on any other port: the words sent
    FtdiPort* ftdi = nullptr;              // an FTDI adapter: its owner sets the reopen hook
    std::string device;                    // "/dev/parport0", "ftdi:...", "gpio:...", or empty for the board
};

// auto: the first devDir/parport0..7 that exists, otherwise the simulated
// board, and one line on stderr saying which; never a USB adapter, which may be
// somebody's serial cable. ftdi and gpio ports are opened only when claimed.
// Throws PortError when a trace or waveform file cannot be created.
// `say` takes the lines for the user (the program's name is added there).
using Say = std::function<void(const std::string&)>;
// `clock` stamps trace and waveform files.
OpenedBackend openBackend(const CommandLineOptions& options, const Say& say, const portlib::Clock& clock,
                          const DeviceLocations& where = {});
