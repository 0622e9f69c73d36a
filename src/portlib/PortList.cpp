#include "portlib/PortList.h"

#include "portlib/ftdi/Description.h"
#include "portlib/ftdi/FtdiPort.h"
#include "portlib/ftdi/LibFtdi.h"
#include "portlib/gpio/LibGpiod.h"
#include "portlib/ppdev/PpdevPort.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace portlib {

namespace {

// Names in dir that are prefix followed by a number, in numeric order.
std::vector<std::string> numbered(const std::string& dir, const std::string& prefix) {
    std::vector<std::pair<long, std::string>> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
        if (digits.size() > 6) continue;
        found.emplace_back(std::stol(digits), name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& f : found) names.push_back(std::move(f.second));
    return names;
}

std::string line(const std::string& value, const std::string& what) {
    std::string l = value;
    l.resize(std::max<std::size_t>(l.size() + 2, 34), ' ');
    return l + what + "\n";
}

}  // namespace

PortListing listPorts(ftdi::Api& ftdiApi, gpio::Api& gpioApi, const PortPlaces& where) {
    PortListing r;
    for (const std::string& name : numbered(where.devDir, "parport")) {
        std::string what = "printer port";
        std::ifstream in(where.procRoot + "/" + name + "/base-addr");
        std::stringstream text;
        text << in.rdbuf();
        if (const auto base = portlib::parseBaseAddr(text.str())) {
            char hex[16];
            std::snprintf(hex, sizeof hex, " at 0x%X", *base);
            what += hex;
        }
        r.out += line(where.devDir + "/" + name, what);
    }

    const ftdi::Listing usb = ftdiApi.list();
    if (!usb.result.ok()) r.err += "qz4471: cannot look for FTDI adapters: USB enumeration failed (" + usb.result.detail + ")\n";
    for (const ftdi::Device& d : usb.devices) {
        if (!ftdi::supported(d.vendor, d.product)) continue;
        std::string what = "FTDI " + ftdi::productName(d.product) + ", ";
        if (!d.serial.empty()) what += "serial " + d.serial;
        else if (!d.serialProblem.empty()) what += "serial unreadable (" + d.serialProblem + ")";
        else what += "no serial";
        what += ", USB port " + ftdi::usbPath(d);
        if (!d.tty.empty()) what += ", " + d.tty;
        r.out += line("ftdi:" + FtdiPort::selector(d), what);
    }

    for (const std::string& name : numbered(where.devDir, "gpiochip")) {
        const std::string path = where.devDir + "/" + name;
        if (const int error = gpioApi.openChip(path); error != 0) {
            r.err += "qz4471: cannot open " + path + ": " + std::generic_category().message(error) + "\n";
            continue;
        }
        r.out += line("gpio:" + name + ":CLK,DATA,FRAME", "GPIO chip, " + std::to_string(gpioApi.lineCount()) + " lines");
        gpioApi.close();
    }
    if (r.out.empty()) r.err += "qz4471: no printer port, FTDI adapter or GPIO chip found; --port sim drives the simulated board\n";
    return r;
}

PortListing listPorts(const PortPlaces& where) {
    ftdi::LibFtdi ftdiApi;
    gpio::LibGpiod gpioApi;
    return listPorts(ftdiApi, gpioApi, where);
}

}  // namespace portlib
