#pragma once
// The text that names one FTDI adapter after "--port ftdi:", and which of the
// attached USB devices it picks. Ids are 0x-prefixed hexadecimal or decimal;
// a leading 0 is decimal too, so "0403" is not read as octal.
#include "portlib/ftdi/FtdiApi.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace portlib::ftdi {

struct Description {
    enum class Kind { Only, Bus, Index, Serial };
    Kind kind = Kind::Only;  // Only: the one supported adapter attached (empty text)
    int bus = 0, address = 0;       // d:BUS/DEV
    int vendor = 0, product = 0;    // i: and s:
    int index = 0;                  // i:VID:PID:INDEX, counted from 0
    std::string serial;             // s:VID:PID:SERIAL
};

constexpr const char* kGrammar = "i:VENDOR:PRODUCT[:INDEX], s:VENDOR:PRODUCT:SERIAL or d:BUS/DEV";

// The description, or why the text is none ("" is Kind::Only).
struct Parsed {
    std::optional<Description> description;
    std::string problem;
};
Parsed parseDescription(std::string_view text);

bool supported(int vendor, int product);
// "FT232H", or "0x1234" for a product this program does not drive.
std::string productName(int product);
std::string hex4(int value);
// "0x0403:0x6014"
std::string ids(const Device& d);
// The kernel's name for the device's place on the bus: "1-2.3".
std::string usbPath(const Device& d);

// What a description picks from the devices listed, or why nothing.
struct Choice {
    const Device* device = nullptr;
    Status status = Status::Ok;  // NotFound, NotFtdi or (Kind::Only) Several
    std::vector<const Device*> candidates;  // Kind::Only: the supported adapters attached
};
Choice choose(const Description& d, const std::vector<Device>& devices);

// The same adapter after an unplug: the same serial number, or without one
// the same product at the same USB port (the address changes on every plug).
const Device* sameAdapter(const Device& before, const std::vector<Device>& devices);

}  // namespace portlib::ftdi
