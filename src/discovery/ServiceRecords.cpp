#include "discovery/ServiceRecords.h"

namespace discovery {
namespace {

constexpr size_t kMaxTxtString = 255;  // one length byte
constexpr size_t kMaxLabel = 63;

// At most `max` bytes of s, backing off to the start of a UTF-8 character.
std::string cut(const std::string& s, size_t max) {
    if (s.size() <= max) return s;
    size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}

std::string pair(const std::string& key, std::string value) {
    for (char& c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return cut(key + "=" + value, kMaxTxtString);
}

}  // namespace

std::vector<Service> services(uint16_t rawPort, bool vxi11) {
    std::vector<Service> s{{"_scpi-raw._tcp", rawPort}};
    if (vxi11) s.push_back({"_vxi-11._tcp", 111});
    return s;
}

std::vector<std::string> txtRecord(const Identity& id) {
    return {"txtvers=1", pair("Manufacturer", id.manufacturer), pair("Model", id.model),
            pair("SerialNumber", id.serialNumber), pair("FirmwareVersion", id.firmwareVersion)};
}

std::string instanceName(const Identity& id) {
    std::string name = id.model;
    if (!id.serialNumber.empty()) name += " " + id.serialNumber;
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return cut(name, kMaxLabel);
}

}  // namespace discovery
