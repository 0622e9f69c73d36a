#pragma once
// What the program says about itself over DNS-SD: the services, the instance
// name and the TXT record the LXI discovery tools read. Plain C++.
#include <cstdint>
#include <string>
#include <vector>

namespace discovery {

struct Identity {
    std::string manufacturer, model, serialNumber, firmwareVersion;
};

struct Service {
    std::string type;  // "_scpi-raw._tcp"
    uint16_t port;
};

// The raw socket, and VXI-11 at rpcbind's port 111 when it serves.
std::vector<Service> services(uint16_t rawPort, bool vxi11);
// "key=value" strings: each at most 255 bytes, control bytes made '?'.
std::vector<std::string> txtRecord(const Identity& id);
// "<model> <serial>" cut to DNS-SD's 63 bytes, never inside a UTF-8 character.
std::string instanceName(const Identity& id);

}  // namespace discovery
