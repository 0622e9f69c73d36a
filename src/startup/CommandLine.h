#pragma once
// The program's command line. Parsing only decides; main() prints and exits.
#include <optional>
#include <string>
#include <vector>

struct CommandLineOptions {
    std::string port = "auto";  // auto | sim | /dev/parportN | ftdi[:DESCRIPTION] | gpio:CHIP:CLK,DATA,FRAME
    std::string tracePath;      // empty: no trace
    std::string vcdPath;        // empty: no waveform
    std::optional<double> boardClockMHz;
    std::optional<int> ftdiRate;  // pin writes per second
    bool noMonitor = false;
    bool monitor = false;  // the Board Monitor for any port
    std::vector<std::string> statusSwitches;  // the arguments holding "/SS"
    bool scpi = false;          // serve SCPI on the loopback addresses
    int scpiPort = 5025;        // 0: a free port
    std::string listen;         // empty: loopback only; else the one address both servers listen on
    std::string allow;          // the clients allowed besides 127.0.0.1 and ::1 (CIDR list)
    bool headless = false;      // no window, no message box
    std::string scriptPath;     // empty: no script; "-": standard input
    bool listPorts = false;     // print the ports that can be seen and exit
};

struct CommandLineResult {
    bool run = true;     // false: print and exit with exitStatus before any window opens
    int exitStatus = 0;  // 0 for --help and --version, 2 for a usage error
    std::string out;     // for stdout
    std::string err;     // for stderr
    CommandLineOptions options;
};

// args: the arguments after the program name.
CommandLineResult parseCommandLine(const std::vector<std::string>& args);
CommandLineResult parseCommandLine(int argc, char** argv);
std::string usageText();

constexpr int kMinFtdiRate = 1000;
constexpr int kMaxFtdiRate = 3000000;

// The FTDI description of an ftdi port value ("" for plain "ftdi"), or nothing
// when the value names no FTDI adapter.
std::optional<std::string> ftdiDescription(const std::string& port);
// What follows "gpio:" in a GPIO port value, or nothing.
std::optional<std::string> gpioWiringText(const std::string& port);
