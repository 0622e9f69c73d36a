#pragma once
// The program's command line. Parsing only decides; main() prints and exits.
#include <optional>
#include <string>
#include <vector>

struct CommandLineOptions {
    std::string port = "auto";  // auto | sim | /dev/parportN
    std::string tracePath;      // empty: no trace
    std::string vcdPath;        // empty: no waveform
    std::optional<double> boardClockMHz;
    bool noMonitor = false;
    std::vector<std::string> statusSwitches;  // the arguments holding "/SS"
    bool scpi = false;          // serve SCPI on the loopback addresses
    int scpiPort = 5025;        // 0: a free port
    bool headless = false;      // no window, no message box
    std::string scriptPath;     // empty: no script; "-": standard input
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
