// Log and up-and-down sweeps over SCPI on the program's own chip: each run is
// stepped tick by tick and every word is read back from the wire, against
// the words worked out here from the settings; settings are checked as they
// are set, and a setup carries every one of them.
#include "scpi/ChipInstrument.h"
#include "scpi/Session.h"
#include "support/WireHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// The four load words of `mhz` into a frequency register at the 50 MHz clock:
// the value in single precision, 2^32 x f / 50 rounded half to even, low byte first.
std::vector<uint16_t> loadWords(int reg, double mhz) {
    const double f = static_cast<float>(mhz);
    const auto word = static_cast<uint32_t>(std::nearbyint(4294967296.0 * f / 50.0));
    const uint16_t lead[2][4] = {{0x3000, 0x2100, 0x3200, 0x2300}, {0x3400, 0x2500, 0x3600, 0x2700}};
    std::vector<uint16_t> out;
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint16_t>(lead[reg][k] | ((word >> (8 * k)) & 0xFF)));
    return out;
}

double logPoint(double start, double stop, int k, int n) {
    return start * std::pow(stop / start, static_cast<double>(k) / (n - 1));
}

// Point indices of a run: 0..n-1 each loop, or up and down with a last 0.
std::vector<int> order(int n, int loops, bool upDown) {
    std::vector<int> out;
    for (int l = 0; l < loops; ++l) {
        for (int k = 0; k < n; ++k) out.push_back(k);
        if (upDown)
            for (int k = n - 2; k > 0; --k) out.push_back(k);
    }
    if (upDown) out.push_back(0);
    return out;
}

struct KindRun {
    int group;
    std::string settings;     // after "SWE<g>:"
    std::vector<double> row;  // the points, MHz
    int loops;
    bool upDown;
};

void PrintTo(const KindRun& r, std::ostream* os) { *os << "SWE" << r.group << ":" << r.settings; }

std::vector<double> logRow(double start, double stop, int n) {
    std::vector<double> row;
    for (int k = 0; k < n; ++k) row.push_back(logPoint(start, stop, k, n));
    return row;
}

class Chip : public ::testing::Test {
protected:
    WireHarness wire;
    scpi::ChipInstrument instrument{wire.chip};
    scpi::Session session{instrument};
};

class KindRuns : public Chip, public ::testing::WithParamInterface<KindRun> {};

TEST_P(KindRuns, SendTheWordsOfEachPointInTurn) {
    const KindRun& r = GetParam();
    const std::string g = "SWE" + std::to_string(r.group) + ":";
    ASSERT_TRUE(session.execute(g + r.settings + ";DEL 100 S;INIT").errors.empty());
    control::ChipControl& chip = wire.chip;
    const std::vector<int> points = order(static_cast<int>(r.row.size()), r.loops, r.upDown);
    std::vector<uint16_t> want;
    for (int k : points) {
        const auto w = loadWords(r.group, r.row[static_cast<size_t>(k)]);
        want.insert(want.end(), w.begin(), w.end());
    }
    // Each tick as its timer (up or down of the group) would take it; no more than the run should need.
    const int up = 2 * r.group;
    for (size_t tick = 0; chip.sweeping(r.group) && tick <= points.size(); ++tick)
        chip.sweepTick(chip.sweepTimer(up).isEnabled() ? up : up + 1);
    EXPECT_FALSE(chip.sweeping(r.group));
    EXPECT_EQ(hexWords(wire.words()), hexWords(want));
    // Step k of n in loop i of N: an up-and-down run's last loop ends with its return to point 0.
    const std::string last = std::to_string(r.upDown ? 2 * r.row.size() - 1 : r.row.size());
    EXPECT_EQ(session.execute(g + "PROG?;STAT?").reply,
              last + "," + last + "," + std::to_string(r.loops) + "," + std::to_string(r.loops) + ";IDLE");
    EXPECT_EQ(session.execute("SYST:ERR?").reply, "0,\"No error\"");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, KindRuns,
    ::testing::Values(KindRun{0, "SPAC LOG;POIN 4;STAR 1MHZ;STOP 8MHZ;LOOP 2", logRow(1, 8, 4), 2, false},
                      KindRun{1, "SPAC LOGARITHMIC;DIR UDOWN;POIN 3;STAR 10MHZ;STOP 0.1MHZ;LOOP 1", logRow(10, 0.1, 3), 1,
                              true},
                      KindRun{0, "SPAC LOG;DIR UDOW;POIN 5;STAR 0.25MHZ;STOP 24MHZ;LOOP 2", logRow(0.25, 24, 5), 2, true},
                      KindRun{1, "DIR UDOW;STAR 0;STOP 10MHZ;STEP 3MHZ;LOOP 2", {0, 3, 6, 9, 10}, 2, true},
                      KindRun{0, "DIR UDOW;STAR 7MHZ;STOP 1MHZ;STEP 2MHZ;LOOP 1", {7, 5, 3, 1}, 1, true}));

TEST_F(Chip, ALogSweepFromZeroIsRefusedAtStartAndSendsNothing) {
    ASSERT_TRUE(session.execute("SWE0:SPAC LOG;STAR 0;STOP 10MHZ").errors.empty()) << "each setting alone is good";
    session.execute("SWE0:INIT");
    EXPECT_EQ(session.execute("SYST:ERR?;:SWE0:STAT?").reply,
              "-221,\"Settings conflict;Start and stop frequencies must be above 0 for a log sweep\";IDLE");
    EXPECT_TRUE(wire.words().empty());
}

struct SettingCase {
    std::string line;   // one setting
    std::string reply;  // SYST:ERR? then the group's kind: SPAC?;DIR?;POIN?
};

void PrintTo(const SettingCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class KindSettings : public Chip, public ::testing::WithParamInterface<SettingCase> {};

TEST_P(KindSettings, AreCheckedAsTheyAreSet) {
    session.execute(GetParam().line);
    EXPECT_EQ(session.execute("SYST:ERR?;:SWE1:SPAC?;DIR?;POIN?").reply, GetParam().reply);
}

const std::string kNoError = "0,\"No error\";";
INSTANTIATE_TEST_SUITE_P(
    Scpi, KindSettings,
    ::testing::Values(SettingCase{"", kNoError + "LIN;UP;11"},
                      SettingCase{"SWE1:SPAC log;DIR udow;POIN 100000", kNoError + "LOG;UDOW;100000"},
                      SettingCase{"SWE1:SPAC LINEAR;DIR UP;POIN MIN", kNoError + "LIN;UP;2"},
                      SettingCase{"SWE1:POIN 2.5", kNoError + "LIN;UP;2"},
                      SettingCase{"SWE1:POIN 1", "-222,\"Data out of range\";LIN;UP;11"},
                      SettingCase{"SWE1:POIN 100001", "-222,\"Data out of range\";LIN;UP;11"},
                      SettingCase{"SWE1:SPAC CIRCULAR", "-224,\"Illegal parameter value\";LIN;UP;11"},
                      SettingCase{"SWE1:DIR DOWN", "-224,\"Illegal parameter value\";LIN;UP;11"},
                      SettingCase{"SWE1:DIR 1", "-104,\"Data type error\";LIN;UP;11"}));

// Both groups' settings of every kind, and the keying's, through SYSTem:SETup?
// into a fresh program.
TEST(KindSetup, CarriesEverySweepSetting) {
    const char* const scenarios[] = {
        "SWE0:SPAC LOG;DIR UDOW;POIN 77;STAR 1.5MHZ;STOP 20MHZ;LOOP 3;DEL 2.5;:SWE1:STEP 0.125MHZ;DEL 0",
        // Set under a faster clock: the setup must still bring them back.
        "CLOC 100MHZ;:SWE1:STAR 40MHZ;STOP 45MHZ;STEP 1KHZ;:CLOC 20MHZ;:FREQ0 3MHZ",
        "MOD:TYPE QPSK;PATT \"0110 1001\";RATE 10;COUN 99;:SWE1:DIR UDOW;POIN 2",
    };
    const std::string query = "CLOC?;:SWE0:SPAC?;DIR?;POIN?;STAR?;STOP?;STEP?;LOOP?;DEL?;"
                              ":SWE1:SPAC?;DIR?;POIN?;STAR?;STOP?;STEP?;LOOP?;DEL?;:MOD:TYPE?;PATT?;RATE?;COUN?";
    for (const char* scenario : scenarios) {
        WireHarness a, b;
        scpi::ChipInstrument ia(a.chip), ib(b.chip);
        scpi::Session sa(ia), sb(ib);
        ASSERT_TRUE(sa.execute(scenario).errors.empty()) << scenario;
        const std::string setup = sa.execute("SYST:SET?").reply;
        EXPECT_TRUE(sb.execute(setup).errors.empty()) << setup;
        EXPECT_EQ(sb.execute(query).reply, sa.execute(query).reply) << setup;
    }
}

// A pattern typed with blanks can pass a line's limit as given: each command
// of a setup stays within it, and the restored keying keys the same bits.
TEST(KindSetup, EveryCommandFitsALine) {
    WireHarness a, b;
    scpi::ChipInstrument ia(a.chip), ib(b.chip);
    scpi::Session sa(ia), sb(ib);
    std::string bits;
    for (int i = 0; i < 512; ++i) bits += i % 3 ? "0110 1001 " : "1111 0000 ";  // 4096 bits, 5120 characters
    ASSERT_TRUE(sa.execute("MOD:PATT \"" + bits + "\"").errors.empty());
    const std::string setup = sa.execute("SYST:SET?").reply;
    for (size_t start = 0, at; start < setup.size(); start = at + 2) {
        at = std::min(setup.find(";:", start), setup.size());
        EXPECT_LT(at - start, 4096u) << setup.substr(start, 40);
    }
    ASSERT_TRUE(sb.execute(setup).errors.empty());
    EXPECT_EQ(keying::parsePattern(b.chip.keyingPattern()).pattern->bits, keying::parsePattern(bits).pattern->bits);
}

}  // namespace
