#pragma once
// The libftdi and libusb calls the FTDI back end makes, behind a small
// interface so tests can put a fake adapter in their place.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace portlib::ftdi {

constexpr int kVendor = 0x0403;
// FT232R, FT2232, FT4232, FT232H, FT-X.
constexpr int kProducts[] = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};

// One attached USB device, FTDI or not.
struct Device {
    int product = 0;
    std::string serial;  // empty when it has none or it cannot be read
    int bus = 0;
    int address = 0;
    std::vector<int> ports{};  // USB port numbers from the root hub down
    int vendor = kVendor;
    std::string tty{};               // "/dev/ttyUSB0" while the serial driver holds interface A
    std::string serialProblem{};     // why a serial the device has could not be read
};

enum class Status { Ok, NotFound, NoAccess, Busy, BadDescription, NotFtdi, Several, EnumerationFailed, Failed };

struct Result {
    Status status = Status::Ok;
    std::string detail;  // the library's own words on a failure
    bool ok() const { return status == Status::Ok; }
};

struct Listing {
    Result result;  // EnumerationFailed when the bus could not be listed
    std::vector<Device> devices;
};

class Api {
public:
    virtual ~Api() = default;
    // Every attached USB device; the serial number only of supported FTDI
    // chips whose descriptor has one, read without claiming them.
    virtual Listing list() = 0;
    // Opens interface A of the device at that bus and address, refusing
    // (NotFtdi) before any request anything but a supported FTDI chip;
    // closing gives it back to the kernel's serial driver.
    virtual Result open(const Device& device) = 0;
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
