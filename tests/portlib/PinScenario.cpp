#include "PinScenario.h"

#include "control/ChipControl.h"
#include "startup/WindowsVersion.h"
#include "support/RecordingSeams.h"
#include "support/WireHarness.h"

#include <cstdlib>

void runStartupAndFrequencyEntry(portlib::Parllio& port) {
    unsetenv("QZ4471_WINVER");
    Transmitter tx(port);
    control::ChipControl chip(tx);
    RecordingNotice notice;
    Startup startup(port, chip, notice);
    startup.run({});
    ChipRegisters regs(tx);
    regs.loadFrequencyMHz(0, 12.5f);
}

std::vector<uint16_t> simulatedBoardWords() {
    WireHarness wire;
    wire.port.setPortAddress(0);
    runStartupAndFrequencyEntry(wire.port);
    return wire.words();
}

std::string portErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const PortError& e) {
        return e.what();
    }
    return "no PortError";
}
