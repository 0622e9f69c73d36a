#include "startup/CommandLine.h"

#include "Version.h"
#include "netaccess/AllowList.h"
#include "numeric/NumberText.h"
#include "portlib/ftdi/Description.h"
#include "portlib/gpio/GpioPort.h"

#include <cctype>
#include <cmath>
#include <string_view>

namespace {

const char kUsageLine[] = "Usage: qz4471 [OPTION]... [/SS]\n";

CommandLineResult usageError(const std::string& why) {
    CommandLineResult r;
    r.run = false;
    r.exitStatus = 2;
    r.err = "qz4471: " + why + "\n" + kUsageLine + "Try 'qz4471 --help' for more information.\n";
    return r;
}

CommandLineResult finished(std::string out) {
    CommandLineResult r;
    r.run = false;
    r.out = std::move(out);
    return r;
}

bool holdsStatusSwitch(const std::string& arg) {
    std::string upper = arg;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("/SS") != std::string::npos;
}

bool isParport(const std::string& v) {
    static const std::string prefix = "/dev/parport";
    if (v.size() <= prefix.size() || v.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < v.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(v[i]))) return false;
    return true;
}

// A TCP port: 0..65535 in plain digits.
std::optional<int> parsePort(const std::string& v) {
    if (v.empty() || v.size() > 5) return std::nullopt;
    for (char c : v)
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const int port = std::stoi(v);
    if (port > 65535) return std::nullopt;
    return port;
}

// Why a --port value cannot be used, or nothing when it can.
std::optional<std::string> portProblem(const std::string& v) {
    if (v == "auto" || v == "sim" || v == "ftdi" || isParport(v)) return std::nullopt;
    if (const auto d = ftdiDescription(v)) {
        const auto parsed = portlib::ftdi::parseDescription(*d);
        if (parsed.description && !d->empty()) return std::nullopt;
        return "bad FTDI description '" + *d + "' (" + portlib::ftdi::kGrammar +
               ", e.g. ftdi:i:0x0403:0x6014): " + (d->empty() ? "it is empty" : parsed.problem);
    }
    if (const auto g = gpioWiringText(v)) {
        if (parseGpioWiring(*g)) return std::nullopt;
        return "bad GPIO lines '" + v +
               "' (gpio:CHIP:CLK,DATA,FRAME with three different line offsets, e.g. gpio:gpiochip0:17,27,22)";
    }
    return "bad port '" + v + "' (auto, sim, /dev/parportN, ftdi[:DESCRIPTION] or gpio:CHIP:CLK,DATA,FRAME)";
}

std::optional<int> parseRate(const std::string& v) {
    if (v.empty() || v.size() > 8) return std::nullopt;
    int rate = 0;
    for (char c : v) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        rate = rate * 10 + (c - '0');
    }
    if (rate < kMinFtdiRate || rate > kMaxFtdiRate) return std::nullopt;
    return rate;
}

}  // namespace

std::optional<std::string> ftdiDescription(const std::string& port) {
    if (port == "ftdi") return std::string();
    if (port.compare(0, 5, "ftdi:") == 0) return port.substr(5);
    return std::nullopt;
}

std::optional<std::string> gpioWiringText(const std::string& port) {
    if (port.compare(0, 5, "gpio:") == 0) return port.substr(5);
    return std::nullopt;
}

std::string usageText() {
    return std::string(kUsageLine) +
           "Control program for the QZ4471 evaluation board.\n"
           "\n"
           "  --port VALUE       where the board is:\n"
           "                       auto (default): the first of /dev/parport0..7 that\n"
           "                         exists, else the simulated board; never a USB adapter\n"
           "                       sim: the simulated board\n"
           "                       /dev/parportN: that printer port (group lp)\n"
           "                       ftdi: the one FTDI USB adapter attached (vendor\n"
           "                         0x0403, products 0x6001 0x6010 0x6011 0x6014 0x6015)\n"
           "                       ftdi:DESCRIPTION: the FTDI adapter libftdi's\n"
           "                         i:VENDOR:PRODUCT[:INDEX], s:VENDOR:PRODUCT:SERIAL\n"
           "                         or d:BUS/DEV names\n"
           "                       gpio:CHIP:CLK,DATA,FRAME: three lines of a GPIO chip\n"
           "                         (name, path, label or number) for clock, data, frame\n"
           "  --ftdi-rate N      FTDI pin writes per second, " + std::to_string(kMinFtdiRate) + " to " +
           std::to_string(kMaxFtdiRate) + "\n"
           "                     (default 1000000, about a fast printer port)\n"
           "  --trace FILE       write one line per port operation to FILE\n"
           "  --vcd FILE         write the clk, data and frame lines to FILE as a value\n"
           "                     change dump (GTKWave, PulseView)\n"
           "  --board-clock MHZ  master clock of the simulated board, in MHz\n"
           "  --no-monitor       don't open the simulated board's monitor window\n"
           "  --monitor          open the Board Monitor for any port: it shows the words\n"
           "                     as sent (the simulated board opens it by default)\n"
           "  --scpi             serve SCPI commands on 127.0.0.1 (and ::1) port 5025\n"
           "  --scpi-port PORT   the same on PORT (0 picks a free port); implies --scpi\n"
           "  --listen ADDRESS   serve SCPI and VXI-11 on ADDRESS (an interface's address,\n"
           "                     0.0.0.0 or ::) instead of loopback; implies --scpi and,\n"
           "                     beyond loopback, needs --allow\n"
           "  --allow CIDR[,CIDR...]  the clients served besides 127.0.0.1 and ::1\n"
           "                     (e.g. 192.168.1.0/24,2001:db8::/64)\n"
           "  --headless         no window: run the script and/or the SCPI server only\n"
           "  --script FILE      run the SCPI commands of FILE (- for standard input)\n"
           "                     after start-up; replies to stdout, errors to stderr\n"
           "  --list-ports       list the printer ports, FTDI adapters and GPIO chips\n"
           "                     that can be seen, each with its --port value, and exit\n"
           "  --help             show this help and exit\n"
           "  --version          show the version and exit\n"
           "  /SS                show the port status box at start-up\n"
           "\n"
           "Examples:\n"
           "  qz4471 --port ftdi\n"
           "  qz4471 --port ftdi:i:0x0403:0x6014 --ftdi-rate 250000\n"
           "  qz4471 --port ftdi:s:0x0403:0x6001:A10K3XYZ --monitor\n"
           "  qz4471 --port ftdi:d:001/007\n"
           "  qz4471 --port gpio:gpiochip0:17,27,22 --monitor\n";
}

CommandLineResult parseCommandLine(const std::vector<std::string>& args) {
    CommandLineResult result;
    CommandLineOptions& o = result.options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.compare(0, 2, "--") != 0) {
            if (!holdsStatusSwitch(arg)) return usageError("unexpected argument '" + arg + "'");
            o.statusSwitches.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        const bool takesValue = name == "--port" || name == "--trace" || name == "--vcd" || name == "--board-clock" ||
                                name == "--ftdi-rate" || name == "--scpi-port" || name == "--script" ||
                                name == "--listen" || name == "--allow";
        const bool isFlag = name == "--no-monitor" || name == "--monitor" || name == "--help" || name == "--version" ||
                            name == "--scpi" || name == "--headless" || name == "--list-ports";
        if (!takesValue && !isFlag) return usageError("unknown option '" + name + "'");
        if (isFlag) {
            if (value) return usageError("option '" + name + "' takes no value");
            if (name == "--help") return finished(usageText());
            if (name == "--version") return finished(std::string("qz4471 ") + qz::kVersion + "\n");
            if (name == "--scpi") o.scpi = true;
            else if (name == "--list-ports") o.listPorts = true;
            else if (name == "--headless") o.headless = true;
            else (name == "--monitor" ? o.monitor : o.noMonitor) = true;
            continue;
        }
        if (!value) {
            // An option in place of the value means the value was left out.
            if (i + 1 == args.size() || args[i + 1].compare(0, 2, "--") == 0)
                return usageError("option '" + name + "' needs a value");
            value = args[++i];
        }
        if (value->empty()) return usageError("option '" + name + "' needs a value");
        if (name == "--port") {
            if (const auto problem = portProblem(*value)) return usageError(*problem);
            o.port = *value;
        } else if (name == "--ftdi-rate") {
            o.ftdiRate = parseRate(*value);
            if (!o.ftdiRate)
                return usageError("bad FTDI rate '" + *value + "' (writes per second, " + std::to_string(kMinFtdiRate) +
                                  " to " + std::to_string(kMaxFtdiRate) + ")");
        } else if (name == "--trace") {
            o.tracePath = *value;
        } else if (name == "--vcd") {
            o.vcdPath = *value;
        } else if (name == "--script") {
            o.scriptPath = *value;
        } else if (name == "--listen") {
            if (!netaccess::parseAddress(*value))
                return usageError("bad listen address '" + *value + "' (an IPv4 or IPv6 address, 0.0.0.0 or ::)");
            o.listen = *value;
            o.scpi = true;
        } else if (name == "--allow") {
            std::string problem;
            if (!netaccess::AllowList::parse(*value, &problem))
                return usageError("bad allow list: " + problem + " (CIDR[,CIDR...], e.g. 192.168.1.0/24)");
            o.allow = *value;
        } else if (name == "--scpi-port") {
            const auto port = parsePort(*value);
            if (!port) return usageError("bad SCPI port '" + *value + "' (0..65535, 0 for a free port)");
            o.scpi = true;
            o.scpiPort = *port;
        } else {
            const auto mhz = numeric::parseDouble(*value);
            if (!mhz || !(*mhz > 0) || !std::isfinite(*mhz))
                return usageError("bad board clock '" + *value + "' (a positive number of MHz)");
            o.boardClockMHz = *mhz;
        }
    }
    if (o.ftdiRate && !ftdiDescription(o.port)) return usageError("option '--ftdi-rate' needs --port ftdi");
    if (!o.allow.empty() && o.listen.empty()) return usageError("option '--allow' needs --listen");
    if (!o.listen.empty() && o.allow.empty()) {
        const auto a = *netaccess::parseAddress(o.listen);
        const bool loopback = a.v4() ? a.bytes[12] == 127 : a == *netaccess::parseAddress("::1");
        if (!loopback) return usageError("option '--listen " + o.listen + "' beyond loopback needs --allow");
    }
    if (o.monitor && o.noMonitor) return usageError("options '--monitor' and '--no-monitor' exclude each other");
    return result;
}

CommandLineResult parseCommandLine(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return parseCommandLine(args);
}
