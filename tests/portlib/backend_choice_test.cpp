#include "board/MonitorPort.h"
#include "board/SimulatedBoard.h"
#include "startup/BackendChoice.h"
#include "portlib/Parllio.h"
#include "portlib/TracePort.h"
#include "portlib/VcdPort.h"
#include "portlib/ftdi/FtdiPort.h"
#include "portlib/gpio/GpioPort.h"
#include "portlib/ppdev/PpdevPort.h"

#include "support/PortRig.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <fstream>

namespace {

class BackendChoiceTest : public ::testing::Test, public PortRig {
protected:
    void SetUp() override {
        QDir().mkpath(dir.filePath("dev"));
        where.devDir = dir.filePath("dev").toStdString();
        where.procRoot = dir.filePath("proc").toStdString();
    }
    OpenedBackend openBackend(const CommandLineOptions& o, const DeviceLocations& at) {
        return ::openBackend(o, sink(), clock.clock(), at);
    }
    void fakeDevice(const char* name) { std::ofstream(where.devDir + "/" + name) << ""; }
    CommandLineOptions port(const char* value) {
        CommandLineOptions o;
        o.port = value;
        return o;
    }
    QTemporaryDir dir;
    DeviceLocations where;
    portlib::ProgramClock clock;
};

TEST_F(BackendChoiceTest, AutoWithoutPortsTakesTheSimulatedBoard) {
    OpenedBackend b = openBackend(port("auto"), where);
    ASSERT_NE(b.board, nullptr);
    EXPECT_EQ(b.backend.get(), b.board);
    EXPECT_TRUE(b.device.empty());
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], "no printer port at " + where.devDir + "/parport0..7; using the simulated board");
}

TEST_F(BackendChoiceTest, AutoTakesTheFirstPortThatExists) {
    fakeDevice("parport2");
    fakeDevice("parport5");
    OpenedBackend b = openBackend(port("auto"), where);
    EXPECT_EQ(b.board, nullptr);
    EXPECT_NE(dynamic_cast<PpdevPort*>(b.backend.get()), nullptr);
    EXPECT_EQ(b.device, where.devDir + "/parport2");
    EXPECT_EQ(said, std::vector<std::string>{"using printer port " + where.devDir + "/parport2"});
}

TEST_F(BackendChoiceTest, AutoLooksNoFurtherThanParport7) {
    fakeDevice("parport8");
    EXPECT_NE(openBackend(port("auto"), where).board, nullptr);
}

TEST_F(BackendChoiceTest, SimIsTheBoardEvenWithAPortPresent) {
    fakeDevice("parport0");
    OpenedBackend b = openBackend(port("sim"), where);
    EXPECT_NE(b.board, nullptr);
    EXPECT_TRUE(said.empty());
}

TEST_F(BackendChoiceTest, ANamedDeviceIsUsedAsGiven) {
    OpenedBackend b = openBackend(port("/dev/parport3"), where);
    EXPECT_EQ(b.board, nullptr);
    EXPECT_EQ(b.device, "/dev/parport3");
    EXPECT_EQ(b.backend->describe(), "printer port /dev/parport3");
    EXPECT_TRUE(said.empty());
}

// The real libraries, on a machine with no adapter and no such chip.
TEST_F(BackendChoiceTest, AdaptersOpenOnlyWhenClaimedAndSayWhyNot) {
    struct Case {
        const char* port;
        const char* describes;
        const char* says;
    };
    for (const Case& c : {Case{"ftdi", "FTDI adapter (the one attached)", "no FTDI adapter found ("},
                          Case{"ftdi:s:0x0403:0x6014:QZNONE", "FTDI adapter s:0x0403:0x6014:QZNONE",
                               "no FTDI adapter 's:0x0403:0x6014:QZNONE' is attached"},
                          Case{"gpio:qz-no-such-chip:1,2,3", "GPIO qz-no-such-chip lines 1,2,3",
                               "no GPIO chip 'qz-no-such-chip'"}}) {
        said.clear();
        OpenedBackend b = openBackend(port(c.port), where);
        EXPECT_EQ(b.board, nullptr);
        EXPECT_EQ(b.device, c.port);
        EXPECT_EQ(b.ftdi, dynamic_cast<FtdiPort*>(b.backend.get())) << "the reopen hook's holder";
        EXPECT_EQ(b.ftdi != nullptr, std::string(c.port).rfind("ftdi", 0) == 0);
        EXPECT_EQ(b.backend->describe(), c.describes);
        EXPECT_TRUE(said.empty()) << "nothing is opened before the claim";
        b.backend->setSink(sink());
        EXPECT_EQ(b.backend->ClaimParallelPort(1, -1), 0);
        ASSERT_EQ(said.size(), 1u) << c.port;
        EXPECT_EQ(said[0].rfind(c.says, 0), 0u) << said[0];
    }
}

TEST_F(BackendChoiceTest, MonitorWatchesAnyPortButTheSimulatedBoard) {
    CommandLineOptions o = port("/dev/parport1");
    o.monitor = true;
    OpenedBackend b = openBackend(o, where);
    ASSERT_NE(b.monitor, nullptr);
    EXPECT_EQ(b.backend.get(), b.monitor);
    EXPECT_NE(dynamic_cast<PpdevPort*>(&b.monitor->inner()), nullptr);

    o.port = "sim";
    b = openBackend(o, where);
    EXPECT_EQ(b.monitor, nullptr);
    EXPECT_EQ(b.backend.get(), b.board);
}

TEST_F(BackendChoiceTest, TraceAndVcdWrapTheBoardAndBothRecord) {
    CommandLineOptions o = port("sim");
    o.tracePath = dir.filePath("x.trace").toStdString();
    o.vcdPath = dir.filePath("x.vcd").toStdString();
    OpenedBackend b = openBackend(o, where);
    auto* trace = dynamic_cast<TracePort*>(b.backend.get());
    ASSERT_NE(trace, nullptr);
    ASSERT_NE(dynamic_cast<VcdPort*>(&trace->inner()), nullptr);
    ASSERT_NE(b.board, nullptr);

    int words = 0;
    b.board->addWordObserver([&](uint16_t) { ++words; });
    install(std::move(b.backend));
    OutByte(0x378, 0);
    OutByte(0x378, 4);
    parllio.close();
    EXPECT_EQ(words, 0);
    std::ifstream t(o.tracePath);
    std::string l1, l2;
    std::getline(t, l1);
    std::getline(t, l2);
    EXPECT_NE(l1.find(" OUT 0x0378 0x00"), std::string::npos) << l1;
    EXPECT_NE(l2.find(" OUT 0x0378 0x04"), std::string::npos) << l2;
    std::ifstream v(o.vcdPath);
    const std::string vcd((std::istreambuf_iterator<char>(v)), std::istreambuf_iterator<char>());
    EXPECT_NE(vcd.find("0f\n"), std::string::npos);
}

TEST_F(BackendChoiceTest, UncreatableTraceFileThrows) {
    CommandLineOptions o = port("sim");
    o.tracePath = dir.filePath("no/dir/x.trace").toStdString();
    EXPECT_THROW(openBackend(o, where), PortError);
}

}  // namespace
