#pragma once
// The libftdi calls the FTDI back end makes, behind a small interface so
// tests can put a fake adapter in their place.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace portlib::ftdi {

constexpr int kVendor = 0x0403;
// FT232R, FT2232, FT4232, FT232H, FT-X.
constexpr int kProducts[] = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};

// One attached adapter, or the one just opened.
struct Device {
    int product = 0;
    std::string serial;  // empty when it has none or cannot be read
    int bus = 0;
    int address = 0;
};

enum class Status { Ok, NotFound, NoAccess, Busy, BadDescription, Failed };

struct Result {
    Status status = Status::Ok;
    std::string detail;  // the library's own words on a failure
    bool ok() const { return status == Status::Ok; }
};

class Api {
public:
    virtual ~Api() = default;
    // Attached adapters of vendor 0x0403 with this product id.
    virtual std::vector<Device> find(int product) = 0;
    // Opens interface A of the device that libftdi's description string names
    // (i:VENDOR:PRODUCT[:INDEX], s:VENDOR:PRODUCT:SERIAL, d:BUS/DEV); closing
    // gives it back to the kernel's serial driver.
    virtual Result open(const std::string& description) = 0;
    // The open device's product id and serial number.
    virtual Device opened() = 0;
    // Asynchronous bit-bang mode; mask bits set are outputs.
    virtual Result setBitBang(uint8_t outputMask) = 0;
    // Pin writes per second the chip clocks out.
    virtual Result setWriteRate(int writesPerSecond) = 0;
    // One USB transfer of pin bytes.
    virtual Result write(const uint8_t* bytes, std::size_t count) = 0;
    // Leaves bit-bang mode and closes; safe when nothing is open.
    virtual void close() = 0;
};

}  // namespace portlib::ftdi
