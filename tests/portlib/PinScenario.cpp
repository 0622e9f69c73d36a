#include "PinScenario.h"

#include "control/ChipControl.h"
#include "link/WindowsVersion.h"
#include "platform/UserNotice.h"
#include "portlib/PortBackend.h"
#include "registers/Control.h"
#include "registers/Declare.h"
#include "support/WireHarness.h"

#include <cstdlib>

void runStartupAndFrequencyEntry() {
    unsetenv("QZ4471_WINVER");
    startup::resetStartup();
    control::chip().resetState();
    platform::setMessageHandler([](const platform::Notice&) {});
    startup::runStartup({});
    Freq0 = 12.5f;
    CalcFreq0Word();
    LoadFreq0();
    startup::resetStartup();
    platform::setMessageHandler(nullptr);
}

std::vector<uint16_t> simulatedBoardWords() {
    WireHarness wire;
    runStartupAndFrequencyEntry();
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
