#include "link/CommandLine.h"

#include "Version.h"
#include "numeric/NumberText.h"

#include <cctype>
#include <cmath>

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

bool validPort(const std::string& v) {
    static const std::string prefix = "/dev/parport";
    if (v == "auto" || v == "sim") return true;
    if (v.size() <= prefix.size() || v.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < v.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(v[i]))) return false;
    return true;
}

}  // namespace

std::string usageText() {
    return std::string(kUsageLine) +
           "Control program for the QZ4471 evaluation board.\n"
           "\n"
           "  --port VALUE       where the board is: auto (default) takes the first of\n"
           "                     /dev/parport0..7 that exists, else the simulated board;\n"
           "                     sim is the simulated board; /dev/parportN is that printer\n"
           "                     port (needs membership of group lp)\n"
           "  --trace FILE       write one line per port operation to FILE\n"
           "  --vcd FILE         write the clk, data and frame lines to FILE as a value\n"
           "                     change dump (GTKWave, PulseView)\n"
           "  --board-clock MHZ  master clock of the simulated board, in MHz\n"
           "  --no-monitor       don't open the simulated board's monitor window\n"
           "  --help             show this help and exit\n"
           "  --version          show the version and exit\n"
           "  /SS                show the port status box at start-up\n";
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
        const bool takesValue = name == "--port" || name == "--trace" || name == "--vcd" || name == "--board-clock";
        const bool isFlag = name == "--no-monitor" || name == "--help" || name == "--version";
        if (!takesValue && !isFlag) return usageError("unknown option '" + name + "'");
        if (isFlag) {
            if (value) return usageError("option '" + name + "' takes no value");
            if (name == "--help") return finished(usageText());
            if (name == "--version") return finished(std::string("qz4471 ") + qz::kVersion + "\n");
            o.noMonitor = true;
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
            if (!validPort(*value))
                return usageError("bad port '" + *value + "' (auto, sim or /dev/parportN)");
            o.port = *value;
        } else if (name == "--trace") {
            o.tracePath = *value;
        } else if (name == "--vcd") {
            o.vcdPath = *value;
        } else {
            const auto mhz = numeric::parseDouble(*value);
            if (!mhz || !(*mhz > 0) || !std::isfinite(*mhz))
                return usageError("bad board clock '" + *value + "' (a positive number of MHz)");
            o.boardClockMHz = *mhz;
        }
    }
    return result;
}

CommandLineResult parseCommandLine(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return parseCommandLine(args);
}
