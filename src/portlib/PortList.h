#pragma once
// --list-ports: every port the program can see, one a line, each with the
// --port value that selects it.
#include "portlib/ftdi/FtdiApi.h"
#include "portlib/gpio/GpioApi.h"

#include <string>

namespace portlib {

struct PortPlaces {
    std::string devDir = "/dev";
    std::string procRoot = "/proc/sys/dev/parport";
};

struct PortListing {
    std::string out;  // the ports
    std::string err;  // what could not be looked at
};

// Printer ports, then FTDI adapters, then GPIO chips.
PortListing listPorts(ftdi::Api& ftdi, gpio::Api& gpio, const PortPlaces& where = {});
// The same through libftdi, libusb and libgpiod.
PortListing listPorts(const PortPlaces& where = {});

}  // namespace portlib
