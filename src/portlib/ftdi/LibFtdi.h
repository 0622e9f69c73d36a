#pragma once
// The FTDI calls made through libftdi1 and libusb.
#include "portlib/ftdi/FtdiApi.h"

struct ftdi_context;

namespace portlib::ftdi {

class LibFtdi final : public Api {
public:
    // sysfsRoot: where the kernel shows which tty the serial driver made.
    explicit LibFtdi(std::string sysfsRoot = "/sys") : sysfs_(std::move(sysfsRoot)) {}
    ~LibFtdi() override;
    LibFtdi(const LibFtdi&) = delete;
    LibFtdi& operator=(const LibFtdi&) = delete;

    Listing list() override;
    Result open(const Device& device) override;
    Result setBitBang(uint8_t outputMask) override;
    Result setWriteRate(int writesPerSecond) override;
    Result write(const uint8_t* bytes, std::size_t count) override;
    void close() override;

    // The baud rate libftdi is given for a pin write rate: once bit-bang mode
    // is on, the chip clocks out 16 pin writes per baud.
    static int baudFor(int writesPerSecond) { return writesPerSecond / 16 > 0 ? writesPerSecond / 16 : 1; }

private:
    ftdi_context* context();
    Result failure(int code) const;
    std::string ttyOf(const Device& d) const;

    std::string sysfs_;
    ftdi_context* ctx_ = nullptr;
    bool open_ = false;
};

}  // namespace portlib::ftdi
