#include "startup/CommandLine.h"

#include "Version.h"

#include <gtest/gtest.h>

namespace {

struct ValidCase {
    std::vector<std::string> args;
    std::string port;
    std::string trace;
    std::string vcd;
    std::optional<double> clock;
    bool noMonitor;
    size_t statusSwitches;
};

class ValidCommandLine : public ::testing::TestWithParam<ValidCase> {};

TEST_P(ValidCommandLine, RunsWithTheseOptions) {
    const auto& c = GetParam();
    const CommandLineResult r = parseCommandLine(c.args);
    EXPECT_TRUE(r.run);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.options.port, c.port);
    EXPECT_EQ(r.options.tracePath, c.trace);
    EXPECT_EQ(r.options.vcdPath, c.vcd);
    EXPECT_EQ(r.options.boardClockMHz, c.clock);
    EXPECT_EQ(r.options.noMonitor, c.noMonitor);
    EXPECT_EQ(r.options.statusSwitches.size(), c.statusSwitches);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValidCommandLine,
    ::testing::Values(
        ValidCase{{}, "auto", "", "", std::nullopt, false, 0},
        ValidCase{{"--port", "sim"}, "sim", "", "", std::nullopt, false, 0},
        ValidCase{{"--port=sim"}, "sim", "", "", std::nullopt, false, 0},
        ValidCase{{"--port", "auto"}, "auto", "", "", std::nullopt, false, 0},
        ValidCase{{"--port", "/dev/parport0"}, "/dev/parport0", "", "", std::nullopt, false, 0},
        ValidCase{{"--port=/dev/parport12"}, "/dev/parport12", "", "", std::nullopt, false, 0},
        ValidCase{{"--trace", "out.txt", "--vcd=w.vcd"}, "auto", "out.txt", "w.vcd", std::nullopt, false, 0},
        ValidCase{{"--board-clock", "50"}, "auto", "", "", 50.0, false, 0},
        ValidCase{{"--board-clock=12.5e0"}, "auto", "", "", 12.5, false, 0},
        ValidCase{{"--no-monitor", "--port", "sim"}, "sim", "", "", std::nullopt, true, 0},
        ValidCase{{"/SS"}, "auto", "", "", std::nullopt, false, 1},
        ValidCase{{"/ss", "x/Ssy"}, "auto", "", "", std::nullopt, false, 2},
        ValidCase{{"--port", "sim", "-foo/sS", "--no-monitor"}, "sim", "", "", std::nullopt, true, 1},
        ValidCase{{"--port", "sim", "--port", "auto"}, "auto", "", "", std::nullopt, false, 0}));

struct EndingCase {
    std::vector<std::string> args;
    int exitStatus;
    std::string outHas;  // on stdout
    std::string errHas;  // on stderr
};

class EndingCommandLine : public ::testing::TestWithParam<EndingCase> {};

TEST_P(EndingCommandLine, EndsBeforeAnyWindow) {
    const auto& c = GetParam();
    const CommandLineResult r = parseCommandLine(c.args);
    EXPECT_FALSE(r.run);
    EXPECT_EQ(r.exitStatus, c.exitStatus);
    if (c.outHas.empty()) EXPECT_EQ(r.out, "");
    else EXPECT_NE(r.out.find(c.outHas), std::string::npos) << r.out;
    if (c.errHas.empty()) {
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Usage: qz4471"), std::string::npos) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndingCommandLine,
    ::testing::Values(
        EndingCase{{"--help"}, 0, "--port VALUE", ""},
        EndingCase{{"--port", "sim", "--help"}, 0, "Usage: qz4471", ""},
        EndingCase{{"--version"}, 0, std::string("qz4471 ") + qz::kVersion + "\n", ""},
        EndingCase{{"--bogus"}, 2, "", "unknown option '--bogus'"},
        EndingCase{{"--port"}, 2, "", "'--port' needs a value"},
        EndingCase{{"--port", "--no-monitor"}, 2, "", "'--port' needs a value"},
        EndingCase{{"--port="}, 2, "", "'--port' needs a value"},
        EndingCase{{"--port", "lpt1"}, 2, "", "bad port 'lpt1'"},
        EndingCase{{"--port", "/dev/parport"}, 2, "", "bad port"},
        EndingCase{{"--port", "/dev/ttyS0"}, 2, "", "bad port"},
        EndingCase{{"--trace"}, 2, "", "'--trace' needs a value"},
        EndingCase{{"--vcd", "--trace", "x"}, 2, "", "'--vcd' needs a value"},
        EndingCase{{"--board-clock", "0"}, 2, "", "bad board clock '0'"},
        EndingCase{{"--board-clock", "-5"}, 2, "", "bad board clock"},
        EndingCase{{"--board-clock", "50MHz"}, 2, "", "bad board clock"},
        EndingCase{{"--board-clock", "1,5"}, 2, "", "bad board clock"},
        EndingCase{{"--board-clock", "nan"}, 2, "", "bad board clock"},
        EndingCase{{"--board-clock", "1e999"}, 2, "", "bad board clock"},
        EndingCase{{"--no-monitor=yes"}, 2, "", "takes no value"},
        EndingCase{{"--help=1"}, 2, "", "takes no value"},
        EndingCase{{"status"}, 2, "", "unexpected argument 'status'"},
        EndingCase{{"-platform", "offscreen"}, 2, "", "unexpected argument '-platform'"},
        EndingCase{{"/S"}, 2, "", "unexpected argument"},
        EndingCase{{"--"}, 2, "", "unknown option"},
        EndingCase{{"--bogus", "--help"}, 2, "", "unknown option"},
        EndingCase{{"--help"}, 0, "--scpi-port PORT", ""},
        EndingCase{{"--scpi-port"}, 2, "", "'--scpi-port' needs a value"},
        EndingCase{{"--scpi-port", "65536"}, 2, "", "bad SCPI port '65536'"},
        EndingCase{{"--scpi-port", "-1"}, 2, "", "bad SCPI port"},
        EndingCase{{"--scpi-port", "50x"}, 2, "", "bad SCPI port"},
        EndingCase{{"--scpi-port", "0x10"}, 2, "", "bad SCPI port"},
        EndingCase{{"--scpi-port", "123456"}, 2, "", "bad SCPI port"},
        EndingCase{{"--scpi=1"}, 2, "", "takes no value"},
        EndingCase{{"--listen", "0.0.0.0"}, 2, "", "'--listen 0.0.0.0' beyond loopback needs --allow"},
        EndingCase{{"--listen", "::"}, 2, "", "beyond loopback needs --allow"},
        EndingCase{{"--listen", "lab-pc"}, 2, "", "bad listen address 'lab-pc'"},
        EndingCase{{"--allow", "10.0.0.0/8"}, 2, "", "option '--allow' needs --listen"},
        EndingCase{{"--listen", "::", "--allow", "10.0.0.0/40"}, 2, "", "bad allow list: '10.0.0.0/40'"},
        EndingCase{{"--headless=yes"}, 2, "", "takes no value"},
        EndingCase{{"--script"}, 2, "", "'--script' needs a value"},
        EndingCase{{"--script", "--headless"}, 2, "", "'--script' needs a value"},
        EndingCase{{"--script="}, 2, "", "'--script' needs a value"},
        EndingCase{{"--port", "ftdi:x"}, 2, "", "bad FTDI description 'x' (i:VENDOR:PRODUCT[:INDEX]"},
        EndingCase{{"--port", "ftdi:"}, 2, "", "bad FTDI description ''"},
        EndingCase{{"--port", "ftdi:q:0x0403:0x6014"}, 2, "", "bad FTDI description"},
        EndingCase{{"--port", "ftdi:i:0x0403"}, 2, "", "bad FTDI description 'i:0x0403' ("},
        EndingCase{{"--port", "ftdi:s:0x0403:0x6014"}, 2, "", "): s: needs VENDOR:PRODUCT:SERIAL"},
        EndingCase{{"--port", "ftdi:s:0x0403:0x6014:"}, 2, "", "): s: needs VENDOR:PRODUCT:SERIAL"},
        EndingCase{{"--port", "ftdi:i:0x0403:0x6014:abc"}, 2, "", "): INDEX 'abc' is no decimal number"},
        EndingCase{{"--port", "ftdi:i:0403:0x6014"}, 2, "", "0x0193:0x6014 is no FTDI adapter this program drives"},
        EndingCase{{"--port", "ftdi:i:0x0781:0x5581"}, 2, "", "0x0781:0x5581 is no FTDI adapter"},
        EndingCase{{"--port", "ftdi:i:0x0403:0x6014x"}, 2, "", "product '0x6014x' is no 0x-prefixed"},
        EndingCase{{"--port", "ftdi:i:0x:0x6014"}, 2, "", "vendor '0x' is no 0x-prefixed"},
        EndingCase{{"--port", "ftdi:d:001"}, 2, "", "d: needs BUS/DEV"},
        EndingCase{{"--port", "ftdi:d:1/256"}, 2, "", "decimal numbers up to 255"},
        EndingCase{{"--port", "ftdi:d:0x1/4"}, 2, "", "decimal numbers up to 255"},
        EndingCase{{"--port", "ftdi:s:0x0403:0x6014:FT 5"}, 2, "", "printable ASCII without spaces"},
        EndingCase{{"--port", "gpio:gpiochip0:1,2"}, 2, "", "bad GPIO lines 'gpio:gpiochip0:1,2' (gpio:CHIP:CLK"},
        EndingCase{{"--port", "gpio:gpiochip0:4,4,5"}, 2, "", "three different line offsets"},
        EndingCase{{"--port", "ftdi", "--ftdi-rate", "999"}, 2, "", "bad FTDI rate '999' (writes per second, 1000 to"},
        EndingCase{{"--port", "ftdi", "--ftdi-rate", "1e6"}, 2, "", "bad FTDI rate"},
        EndingCase{{"--ftdi-rate", "250000"}, 2, "", "option '--ftdi-rate' needs --port ftdi"},
        EndingCase{{"--monitor", "--no-monitor"}, 2, "", "'--monitor' and '--no-monitor' exclude each other"},
        EndingCase{{"--monitor=1"}, 2, "", "takes no value"},
        EndingCase{{"--list-ports=all"}, 2, "", "option '--list-ports' takes no value"}));

struct ScpiCase {
    std::vector<std::string> args;
    bool scpi;
    int port;
    bool headless;
    std::string script;
};

class ScpiCommandLine : public ::testing::TestWithParam<ScpiCase> {};

TEST_P(ScpiCommandLine, RunsWithTheseOptions) {
    const auto& c = GetParam();
    const CommandLineResult r = parseCommandLine(c.args);
    ASSERT_TRUE(r.run) << r.err;
    EXPECT_EQ(r.options.scpi, c.scpi);
    EXPECT_EQ(r.options.scpiPort, c.port);
    EXPECT_EQ(r.options.headless, c.headless);
    EXPECT_EQ(r.options.scriptPath, c.script);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScpiCommandLine,
    ::testing::Values(
        ScpiCase{{}, false, 5025, false, ""},
        ScpiCase{{"--scpi"}, true, 5025, false, ""},
        ScpiCase{{"--scpi-port", "6000"}, true, 6000, false, ""},
        ScpiCase{{"--scpi-port=0"}, true, 0, false, ""},
        ScpiCase{{"--scpi-port", "65535", "--scpi"}, true, 65535, false, ""},
        ScpiCase{{"--headless", "--script", "setup.scpi"}, false, 5025, true, "setup.scpi"},
        ScpiCase{{"--script", "-", "--headless"}, false, 5025, true, "-"},
        ScpiCase{{"--script=-", "--port", "sim", "--scpi"}, true, 5025, false, "-"}));

struct AdapterCase {
    std::vector<std::string> args;
    std::string port;
    std::optional<int> rate;
    bool monitor;
};

class AdapterCommandLine : public ::testing::TestWithParam<AdapterCase> {};

TEST_P(AdapterCommandLine, RunsWithThisAdapter) {
    const auto& c = GetParam();
    const CommandLineResult r = parseCommandLine(c.args);
    ASSERT_TRUE(r.run) << r.err;
    EXPECT_EQ(r.options.port, c.port);
    EXPECT_EQ(r.options.ftdiRate, c.rate);
    EXPECT_EQ(r.options.monitor, c.monitor);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AdapterCommandLine,
    ::testing::Values(AdapterCase{{"--port", "ftdi"}, "ftdi", std::nullopt, false},
                      AdapterCase{{"--port=ftdi:s:0x0403:0x6014:FT5ABC", "--ftdi-rate", "250000"},
                                  "ftdi:s:0x0403:0x6014:FT5ABC", 250000, false},
                      AdapterCase{{"--ftdi-rate=1000", "--port", "ftdi:d:001/004"}, "ftdi:d:001/004", 1000, false},
                      AdapterCase{{"--port", "ftdi:i:0x0403:0x6001:1", "--ftdi-rate", "3000000", "--monitor"},
                                  "ftdi:i:0x0403:0x6001:1", 3000000, true},
                      AdapterCase{{"--port", "ftdi:i:1027:24596:0"}, "ftdi:i:1027:24596:0", std::nullopt, false},
                      AdapterCase{{"--port", "ftdi:s:0X0403:0x6015:A:B"}, "ftdi:s:0X0403:0x6015:A:B", std::nullopt,
                                  false},
                      AdapterCase{{"--port", "ftdi:d:1/7"}, "ftdi:d:1/7", std::nullopt, false},
                      AdapterCase{{"--port", "gpio:pinctrl:gpio:17,27,22"}, "gpio:pinctrl:gpio:17,27,22", std::nullopt,
                                  false},
                      AdapterCase{{"--monitor", "--port", "/dev/parport0"}, "/dev/parport0", std::nullopt, true}));

TEST(CommandLine, HelpShowsBothAdaptersWithExamples) {
    const std::string help = parseCommandLine(std::vector<std::string>{"--help"}).out;
    for (const char* text : {"ftdi:DESCRIPTION", "s:VENDOR:PRODUCT:SERIAL", "--port ftdi:i:0x0403:0x6014",
                             "gpio:CHIP:CLK,DATA,FRAME", "--port gpio:gpiochip0:17,27,22", "--ftdi-rate N", "--monitor "})
        EXPECT_NE(help.find(text), std::string::npos) << text;
}

TEST(CommandLine, ListPortsIsAskedForOnlyByItsOption) {
    EXPECT_TRUE(parseCommandLine(std::vector<std::string>{"--port", "sim", "--list-ports"}).options.listPorts);
    EXPECT_FALSE(parseCommandLine(std::vector<std::string>{"--port", "sim"}).options.listPorts);
    EXPECT_NE(usageText().find("--list-ports"), std::string::npos);
}

TEST(CommandLine, ArgvSkipsTheProgramName) {
    char prog[] = "qz4471", port[] = "--port", sim[] = "sim";
    char* argv[] = {prog, port, sim, nullptr};
    const CommandLineResult r = parseCommandLine(3, argv);
    EXPECT_TRUE(r.run);
    EXPECT_EQ(r.options.port, "sim");
}

}  // namespace

// --listen opens both servers to one address; beyond loopback only with --allow.
TEST(ListenCommandLine, ListensWithAnAllowListOrOnLoopback) {
    const struct {
        std::vector<std::string> args;
        std::string listen, allow;
    } cases[] = {
        {{"--listen", "0.0.0.0", "--allow", "192.0.2.0/24"}, "0.0.0.0", "192.0.2.0/24"},
        {{"--allow=2001:db8::/32,127.0.0.2", "--listen=::"}, "::", "2001:db8::/32,127.0.0.2"},
        {{"--listen", "127.0.0.1"}, "127.0.0.1", ""},
        {{"--listen", "::1"}, "::1", ""},
    };
    for (const auto& c : cases) {
        const CommandLineResult r = parseCommandLine(c.args);
        EXPECT_TRUE(r.run) << r.err;
        EXPECT_EQ(r.options.listen, c.listen);
        EXPECT_EQ(r.options.allow, c.allow);
        EXPECT_TRUE(r.options.scpi);
    }
}
