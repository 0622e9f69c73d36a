#pragma once
// One scenario run on any back end: start-up on the claim path, then 12.5 MHz
// loaded into FREQ0. Adapter tests compare what reached their pins with what
// the simulated board decodes for the same.
#include "portlib/Parllio.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Runs the scenario on the port's back end (message boxes are recorded, not shown).
void runStartupAndFrequencyEntry(portlib::Parllio& port);
// The words the simulated board decodes for the scenario.
std::vector<uint16_t> simulatedBoardWords();
// The text of the PortError the action throws, or "no PortError".
std::string portErrorOf(const std::function<void()>& action);
