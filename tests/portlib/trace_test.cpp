#include "board/SimulatedBoard.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "portlib/TracePort.h"
#include "portlib/VcdPort.h"

#include "support/FileSizeLimit.h"
#include "support/PortRig.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <regex>
#include <sstream>

namespace {

using namespace std::chrono_literals;

std::vector<std::string> fileLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

struct ManualClock {
    std::shared_ptr<std::chrono::nanoseconds> now = std::make_shared<std::chrono::nanoseconds>(0);
    portlib::Clock fn() const {
        auto p = now;
        return [p] { return *p; };
    }
};

class TraceTest : public ::testing::Test, public PortRig {
protected:
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    SimulatedBoard* install(const std::string& file, portlib::Clock clock) {
        auto board = std::make_unique<SimulatedBoard>();
        SimulatedBoard* b = board.get();
        PortRig::install(std::make_unique<TracePort>(std::move(board), file, std::move(clock)));
        return b;
    }
    SimulatedBoard* install(const std::string& file) { return install(file, programClock.clock()); }
    portlib::ProgramClock programClock;
    QTemporaryDir dir;
};

TEST_F(TraceTest, EveryLineHasTheFixedFormat) {
    const std::string file = path("t.trace");
    install(file);
    SendWord(SimulatedBoard::kBase, 0xA5C3);
    (void)InByte(SimulatedBoard::kBase + 2);
    parllio.close();  // flushes on destruction

    const auto lines = fileLines(file);
    ASSERT_EQ(lines.size(), 53u);
    const std::regex re(R"(^(\d+\.\d{9}) (OUT|IN) 0x([0-9A-F]{4}) 0x([0-9A-F]{2})$)");
    double last = 0;
    std::vector<uint8_t> written;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, re)) << lines[i];
        const double t = std::stod(m[1]);
        EXPECT_GE(t, last) << lines[i];
        last = t;
        EXPECT_EQ(m[3], i < 52 ? "0378" : "037A");
        EXPECT_EQ(m[2], i < 52 ? "OUT" : "IN");
        if (i < 52) written.push_back(static_cast<uint8_t>(std::stoul(m[4], nullptr, 16)));
    }
    EXPECT_EQ(decodeWire(written).words, std::vector<uint16_t>{0xA5C3});
}

TEST_F(TraceTest, LinesInOrderWithExactTimesAndInValues) {
    ManualClock clock;
    const std::string file = path("o.trace");
    install(file, clock.fn());
    *clock.now = 12345678ns;
    OutByte(0x37A, 0xD5);
    *clock.now = 1s + 5ns;
    (void)InByte(0x37A);  // reads back what was written
    (void)InByte(0x379);  // status register of the simulated board
    OutByte(0x378, 0x104);  // only the byte reaches the port
    parllio.close();

    EXPECT_EQ(fileLines(file), (std::vector<std::string>{
                                   "0.012345678 OUT 0x037A 0xD5",
                                   "1.000000005 IN 0x037A 0xD5",
                                   "1.000000005 IN 0x0379 0x7F",
                                   "1.000000005 OUT 0x0378 0x04",
                               }));
}

TEST_F(TraceTest, DroppedWritesAreNotTraced) {
    const std::string file = path("d.trace");
    install(file);
    OutByte(0x0000, 4);
    OutByte(0x0002, 4);
    parllio.close();
    EXPECT_TRUE(fileLines(file).empty());
    EXPECT_EQ(said.size(), 1u);
}

TEST_F(TraceTest, WritesFlushOnceAQuarterSecondHasPassed) {
    ManualClock clock;
    const std::string file = path("f.trace");
    install(file, clock.fn());
    OutByte(0x378, 4);
    *clock.now = 249ms;
    OutByte(0x378, 0);
    EXPECT_TRUE(fileLines(file).empty()) << "flushed before the interval";
    *clock.now = 250ms;
    OutByte(0x378, 1);
    EXPECT_EQ(fileLines(file).size(), 3u);
    *clock.now = 400ms;
    OutByte(0x378, 0);
    EXPECT_EQ(fileLines(file).size(), 3u) << "interval runs from the last flush";
    parllio.flush();  // the timer and the exit hooks
    EXPECT_EQ(fileLines(file).size(), 4u);
}

TEST_F(TraceTest, DestroyingThePortCompletesTheFile) {
    ManualClock clock;
    const std::string file = path("end.trace");
    install(file, clock.fn());
    SendWord(SimulatedBoard::kBase, 0x2100);
    EXPECT_TRUE(fileLines(file).empty());
    parllio.close();
    EXPECT_EQ(fileLines(file).size(), 52u);
}

TEST_F(TraceTest, FlushReachesEveryLayer) {
    ManualClock clock;
    const std::string inner = path("inner.trace"), outer = path("outer.trace");
    auto in = std::make_unique<TracePort>(std::make_unique<SimulatedBoard>(), inner, clock.fn());
    PortRig::install(std::make_unique<TracePort>(std::move(in), outer, clock.fn()));
    OutByte(0x378, 4);
    parllio.flush();
    EXPECT_EQ(fileLines(inner), fileLines(outer));
    EXPECT_EQ(fileLines(outer).size(), 1u);
}

TEST_F(TraceTest, UncreatableFileThrowsPortError) {
    EXPECT_THROW(TracePort(std::make_unique<SimulatedBoard>(), path("missing/dir/x.trace"), programClock.clock()),
                 PortError);
}

struct Recorder {
    const char* name;
    std::function<std::unique_ptr<PortBackend>(const std::string& path, portlib::Clock)> make;
    const char* failure;  // how recordFailure() begins
};

class WriteFailure : public TraceTest, public ::testing::WithParamInterface<Recorder> {
protected:
    void record(const std::string& file) { PortRig::install(GetParam().make(file, programClock.clock())); }
    void words(int n) {
        for (int i = 0; i < n; ++i) SendWord(SimulatedBoard::kBase, 0x2000 + i);
        parllio.flush();
    }
};

// The file stops at its last whole line, and stays so when space comes back.
TEST_P(WriteFailure, EndsTheFileAtItsLastCompleteLineForGood) {
    const std::string file = path("full.out");
    FileSizeLimit limit(1000);
    record(file);
    words(20);
    const std::string failure = parllio.recordFailure();
    EXPECT_EQ(failure.rfind(GetParam().failure, 0), 0u) << failure;
    EXPECT_NE(failure.find("File too large"), std::string::npos) << failure;
    std::ifstream in(file, std::ios::binary);
    const std::string cut((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(cut.empty());
    EXPECT_LE(cut.size(), 1000u);
    EXPECT_EQ(cut.back(), '\n');

    limit.lift();
    words(20);
    parllio.close();
    std::ifstream again(file, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), {}), cut) << "nothing lands after the failure";
}

INSTANTIATE_TEST_SUITE_P(
    Recorders, WriteFailure,
    ::testing::Values(Recorder{"Trace",
                               [](const std::string& p, portlib::Clock c) -> std::unique_ptr<PortBackend> {
                                   return std::make_unique<TracePort>(std::make_unique<SimulatedBoard>(), p, c);
                               },
                               "trace incomplete: "},
                      Recorder{"Vcd",
                               [](const std::string& p, portlib::Clock c) -> std::unique_ptr<PortBackend> {
                                   return std::make_unique<VcdPort>(std::make_unique<SimulatedBoard>(), p, c);
                               },
                               "waveform incomplete: "}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
