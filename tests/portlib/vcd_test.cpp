#include "board/SimulatedBoard.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "portlib/TracePort.h"
#include "portlib/VcdPort.h"

#include "support/PortRig.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;

const std::vector<uint16_t> kWords = {0xD800, 0xC000, 0x8000, 0x3052, 0x21B8, 0x321E, 0x2305, 0xFFFF, 0x0000};

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// A clock that stands still unless told, so stamps come from the writes alone.
struct ManualClock {
    std::shared_ptr<std::chrono::nanoseconds> now = std::make_shared<std::chrono::nanoseconds>(5s);
    portlib::Clock fn() const {
        auto p = now;
        return [p] { return *p; };
    }
};

class VcdTest : public ::testing::Test, public PortRig {
protected:
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    void sendAll(const std::vector<uint16_t>& words) {
        for (uint16_t w : words) SendWord(SimulatedBoard::kBase, w);
    }
    QTemporaryDir dir;
    portlib::ProgramClock programClock;
};

// The words sigrok's SPI decoder finds in the file, with the options users are told to use.
std::vector<uint16_t> sigrokWords(const std::string& file) {
    QProcess p;
    p.start("sigrok-cli",
            {"-I", "vcd", "-i", QString::fromStdString(file), "-P",
             "spi:clk=clk:mosi=data:cs=frame:cs_polarity=active-low:cpol=0:cpha=1:wordsize=16:bitorder=msb-first",
             "-A", "spi=mosi-data"});
    EXPECT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    std::vector<uint16_t> words;
    const QStringList out = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    // The decoder prints at least two hex digits: 0x0000 shows as "00".
    static const QRegularExpression re("^spi-1: ([0-9A-F]{2,4})$");
    for (const QString& l : out) {
        auto m = re.match(l.trimmed());
        EXPECT_TRUE(m.hasMatch()) << l.toStdString();
        if (m.hasMatch()) words.push_back(static_cast<uint16_t>(m.captured(1).toUInt(nullptr, 16)));
    }
    return words;
}

TEST_F(VcdTest, SigrokDecodesTheWordsSent) {
    const std::string file = path("wire.vcd");
    PortRig::install(std::make_unique<VcdPort>(std::make_unique<SimulatedBoard>(), file, programClock.clock()));
    OutByte(SimulatedBoard::kBase + 2, 0xC4);  // control register: not part of the waveform
    sendAll(kWords);
    parllio.close();
    EXPECT_EQ(sigrokWords(file), kWords);
}

TEST_F(VcdTest, SigrokDecodesUnderATraceToo) {
    const std::string file = path("both.vcd");
    auto vcd = std::make_unique<VcdPort>(std::make_unique<SimulatedBoard>(), file, programClock.clock());
    PortRig::install(std::make_unique<TracePort>(std::move(vcd), path("both.trace"), programClock.clock()));
    sendAll(kWords);
    parllio.close();
    EXPECT_EQ(sigrokWords(file), kWords);
    EXPECT_EQ(lines(readAll(path("both.trace"))).size(), kWords.size() * 52);
}

TEST_F(VcdTest, HeaderDeclaresThreeWiresWithIdleLevels) {
    const std::string file = path("h.vcd");
    { VcdPort vcd(std::make_unique<SimulatedBoard>(), file, programClock.clock()); }
    const std::string text = readAll(file);
    EXPECT_NE(text.find("$timescale 1 ns $end"), std::string::npos);
    for (const char* name : {" clk $end", " data $end", " frame $end"})
        EXPECT_NE(text.find(std::string("$var wire 1 ") + name[1]), std::string::npos) << name;
    EXPECT_NE(text.find("#0\n$dumpvars\n0c\n0d\n1f\n$end\n"), std::string::npos) << text;
    EXPECT_NE(text.find("$var wire 1 c clk $end"), std::string::npos);
    EXPECT_NE(text.find("$var wire 1 d data $end"), std::string::npos);
    EXPECT_NE(text.find("$var wire 1 f frame $end"), std::string::npos);
}

// Parses "#t" lines and the changes under them.
struct Dump {
    std::vector<long long> stamps;
    std::vector<std::string> changes;  // joined changes per stamp, e.g. "0f 1c"
};

Dump parseBody(const std::string& text) {
    Dump d;
    bool body = false;
    for (const std::string& l : lines(text)) {
        if (l == "$end" && !body) { body = true; continue; }
        if (!body) continue;
        if (!l.empty() && l[0] == '#') {
            d.stamps.push_back(std::stoll(l.substr(1)));
            d.changes.emplace_back();
        } else if (!d.changes.empty()) {
            if (!d.changes.back().empty()) d.changes.back() += ' ';
            d.changes.back() += l;
        }
    }
    return d;
}

TEST_F(VcdTest, OneStrictlyIncreasingStampPerDataWriteEvenWhenTheClockStandsStill) {
    ManualClock clock;
    const std::string file = path("s.vcd");
    PortRig::install(std::make_unique<VcdPort>(std::make_unique<SimulatedBoard>(), file, clock.fn()));
    SendWord(SimulatedBoard::kBase, 0x8000);
    *clock.now += 2ms;
    SendWord(SimulatedBoard::kBase, 0x0001);
    parllio.close();

    Dump d = parseBody(readAll(file));
    ASSERT_EQ(d.stamps.size(), 104u);  // "#0" with the dumpvars sits before the body
    EXPECT_EQ(d.stamps[0], VcdPort::kLeadIn.count());
    for (size_t i = 1; i < d.stamps.size(); ++i) EXPECT_GT(d.stamps[i], d.stamps[i - 1]) << i;
    // The second word starts 2 ms after the first on the real time line.
    EXPECT_EQ(d.stamps[52], VcdPort::kLeadIn.count() + 2000000);
    // 0x8000: idle 4 (no change), then 0 (frame falls), 3 (clk and data rise), 2 (clk falls).
    EXPECT_EQ(d.changes[0], "");
    EXPECT_EQ(d.changes[1], "0f");
    EXPECT_EQ(d.changes[2], "1c 1d");
    EXPECT_EQ(d.changes[3], "0c");
    EXPECT_EQ(d.changes[4], "0d");
    EXPECT_EQ(d.changes[51], "1f");
}

TEST_F(VcdTest, WritesElsewhereAreNotDumped) {
    ManualClock clock;
    const std::string file = path("o.vcd");
    PortRig::install(std::make_unique<VcdPort>(std::make_unique<SimulatedBoard>(), file, clock.fn()));
    OutByte(SimulatedBoard::kBase + 2, 0x01);
    OutByte(0x278, 0x01);  // no port there: dropped before the dump
    (void)InByte(SimulatedBoard::kBase);
    parllio.close();
    EXPECT_TRUE(parseBody(readAll(file)).stamps.empty());
}

TEST_F(VcdTest, FlushesAQuarterSecondAfterTheLastFlush) {
    ManualClock clock;
    const std::string file = path("f.vcd");
    PortRig::install(std::make_unique<VcdPort>(std::make_unique<SimulatedBoard>(), file, clock.fn()));
    SendWord(SimulatedBoard::kBase, 0x1234);
    EXPECT_TRUE(parseBody(readAll(file)).stamps.empty()) << "only the header is out yet";
    *clock.now += 250ms;
    SendWord(SimulatedBoard::kBase, 0x1234);
    EXPECT_EQ(parseBody(readAll(file)).stamps.size(), 53u);  // flushed on the first write past the interval
    parllio.flush();
    EXPECT_EQ(parseBody(readAll(file)).stamps.size(), 104u);
}

TEST_F(VcdTest, UncreatableFileThrows) {
    EXPECT_THROW(VcdPort(std::make_unique<SimulatedBoard>(), path("no/such/dir.vcd"), programClock.clock()), PortError);
}

}  // namespace
