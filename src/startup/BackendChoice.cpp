#include "startup/BackendChoice.h"

#include "board/MonitorPort.h"
#include "board/SimulatedBoard.h"
#include "portlib/TracePort.h"
#include "portlib/VcdPort.h"
#include "portlib/ftdi/FtdiPort.h"
#include "portlib/ftdi/LibFtdi.h"
#include "portlib/gpio/GpioPort.h"
#include "portlib/gpio/LibGpiod.h"
#include "portlib/ppdev/PpdevPort.h"

#include <sys/stat.h>

namespace {

std::string firstParport(const std::string& devDir) {
    for (int n = 0; n < 8; ++n) {
        const std::string path = devDir + "/parport" + std::to_string(n);
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) return path;
    }
    return {};
}

// An adapter named on the command line, or null for a printer port or the board.
std::unique_ptr<PortBackend> adapter(const CommandLineOptions& options) {
    if (const auto description = ftdiDescription(options.port))
        return std::make_unique<FtdiPort>(std::make_unique<portlib::ftdi::LibFtdi>(), *description,
                                          options.ftdiRate.value_or(FtdiPort::kDefaultRate));
    if (const auto text = gpioWiringText(options.port)) {
        if (const auto wiring = parseGpioWiring(*text))
            return std::make_unique<GpioPort>(std::make_unique<portlib::gpio::LibGpiod>(), *wiring);
        throw PortError("bad GPIO lines '" + options.port + "'");
    }
    return nullptr;
}

// A printer port (auto or named), or the simulated board.
void printerPortOrBoard(const CommandLineOptions& options, const DeviceLocations& where, const Say& say,
                        OpenedBackend& opened) {
    std::string device;
    if (options.port == "auto") {
        device = firstParport(where.devDir);
        if (device.empty())
            say("no printer port at " + where.devDir + "/parport0..7; using the simulated board");
        else
            say("using printer port " + device);
    } else if (options.port != "sim") {
        device = options.port;
    }
    if (device.empty()) {
        auto board = std::make_unique<SimulatedBoard>();
        opened.board = board.get();
        opened.backend = std::move(board);
    } else {
        opened.backend = std::make_unique<PpdevPort>(device, where.procRoot);
        opened.device = device;
    }
}

}  // namespace

OpenedBackend openBackend(const CommandLineOptions& options, const Say& say, const portlib::Clock& clock,
                          const DeviceLocations& where) {
    OpenedBackend opened;
    opened.backend = adapter(options);
    opened.ftdi = dynamic_cast<FtdiPort*>(opened.backend.get());
    if (opened.backend) opened.device = options.port;
    else printerPortOrBoard(options, where, say, opened);

    // The simulated board shows what it received; any other port what was sent.
    if (options.monitor && !opened.board) {
        auto monitor = std::make_unique<MonitorPort>(std::move(opened.backend));
        opened.monitor = monitor.get();
        opened.backend = std::move(monitor);
    }
    if (!options.vcdPath.empty()) opened.backend = std::make_unique<VcdPort>(std::move(opened.backend), options.vcdPath, clock);
    if (!options.tracePath.empty())
        opened.backend = std::make_unique<TracePort>(std::move(opened.backend), options.tracePath, clock);
    return opened;
}
