#pragma once
// A port and its transmitter for back-end tests, with the port library's calls
// by their own names, so a test reads as the program drives the port.
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class PortRig {
public:
    std::vector<std::string> said;  // the port's lines, without the program's name
    portlib::Parllio parllio{[this](const std::string& l) { said.push_back(l); }};
    Transmitter tx{parllio};

    void install(std::unique_ptr<PortBackend> backend) { parllio.setBackend(std::move(backend)); }
    // For a back end used on its own, outside the port: its lines go to `said` too.
    std::function<void(const std::string&)> sink() {
        return [this](const std::string& l) { said.push_back(l); };
    }
    int32_t GetParallelPortCount() { return parllio.GetParallelPortCount(); }
    int32_t ClaimParallelPort(int32_t port, int32_t flags) { return parllio.ClaimParallelPort(port, flags); }
    int32_t GetParallelPortInfo(int32_t port, ParallelPortInfo& info) { return parllio.GetParallelPortInfo(port, info); }
    int32_t InByte(uint16_t address) { return parllio.InByte(address); }
    void OutByte(uint16_t address, int32_t value) { parllio.OutByte(address, value); }
    void SendWord(uint16_t port, int32_t word) { tx.SendWord(port, word); }
};
