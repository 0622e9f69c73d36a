#include "link/BackendChoice.h"

#include "board/SimulatedBoard.h"
#include "portlib/Parllio.h"
#include "portlib/TracePort.h"
#include "portlib/VcdPort.h"
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

}  // namespace

OpenedBackend openBackend(const CommandLineOptions& options, const DeviceLocations& where) {
    OpenedBackend opened;
    std::string device;
    if (options.port == "auto") {
        device = firstParport(where.devDir);
        if (device.empty())
            portlib::diagnostic("qz4471: no printer port at " + where.devDir + "/parport0..7; using the simulated board");
        else
            portlib::diagnostic("qz4471: using printer port " + device);
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
    if (!options.vcdPath.empty()) opened.backend = std::make_unique<VcdPort>(std::move(opened.backend), options.vcdPath);
    if (!options.tracePath.empty())
        opened.backend = std::make_unique<TracePort>(std::move(opened.backend), options.tracePath);
    return opened;
}
