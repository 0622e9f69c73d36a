// Keying on a simulated board: the patterns it takes and refuses, the PRBS
// streams, and the words of whole keyings read back from the wire on a clock
// moved by hand, so every symbol is due exactly once.
#include "control/ChipControl.h"
#include "control/KeyingPattern.h"
#include "support/StubPort.h"
#include "support/WireHarness.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace {

using keying::Type;

// ---- patterns ------------------------------------------------------------------

struct PatternCase {
    const char* text;
    const char* bits;     // expected stream, or nullptr when refused
    const char* refusal;  // a part of the refusal
};

const PatternCase kPatterns[] = {
    {"0110 1001", "01101001", nullptr},
    {"  1_0 1  ", "101", nullptr},
    {"#H0F96", "0000111110010110", nullptr},
    {"#h00a", "000000001010", nullptr},
    {"#H 8_1", "10000001", nullptr},
    {"prbs7", nullptr, nullptr},  // generated: checked below
    {"0120", nullptr, "\"2\" (character 3)"},
    {"01 x", nullptr, "\"x\" (character 4)"},
    {"#H0G", nullptr, "\"G\" (character 4)"},
    {"#H01 1.", nullptr, "\".\" (character 7)"},
    {"PRBS8", nullptr, "\"P\" (character 1)"},
    {"0\t1", nullptr, "character 2"},
    {"", nullptr, "empty"},
    {" _ ", nullptr, "empty"},
    {"#H", nullptr, "empty"},
};

TEST(KeyingPattern, TakesBitsHexAndPrbsAndNamesTheFirstBadCharacter) {
    for (const PatternCase& c : kPatterns) {
        SCOPED_TRACE(c.text);
        const keying::PatternCheck check = keying::parsePattern(c.text);
        if (c.refusal) {
            EXPECT_FALSE(check.pattern);
            EXPECT_NE(check.refusal.find(c.refusal), std::string::npos) << check.refusal;
            continue;
        }
        ASSERT_TRUE(check.pattern) << check.refusal;
        if (!c.bits) continue;
        std::string got;
        for (uint8_t b : check.pattern->bits) got += static_cast<char>('0' + b);
        EXPECT_EQ(got, c.bits);
    }
}

TEST(KeyingPattern, HoldsAtMost4096Bits) {
    EXPECT_TRUE(keying::parsePattern(std::string(4096, '1')).pattern);
    EXPECT_TRUE(keying::parsePattern("#H" + std::string(1024, 'A')).pattern);
    EXPECT_NE(keying::parsePattern(std::string(4097, '0')).refusal.find("4096"), std::string::npos);
    EXPECT_NE(keying::parsePattern("#H" + std::string(1025, 'F')).refusal.find("4096"), std::string::npos);
}

// The stream as a recurrence on its own output, b[k] = b[k-n] ^ b[k-m], with
// n ones before it: the register's state is the last n bits sent.
std::vector<uint8_t> recurrence(int n, int m, size_t length) {
    std::vector<uint8_t> b(static_cast<size_t>(n), 1);
    while (b.size() < length + static_cast<size_t>(n)) b.push_back(b[b.size() - n] ^ b[b.size() - m]);
    return {b.begin() + n, b.end()};
}

TEST(KeyingPattern, PrbsStreamsAreMaximalLength) {
    const struct {
        const char* name;
        int n, m;
    } kinds[] = {{"PRBS7", 7, 6}, {"PRBS9", 9, 5}, {"PRBS15", 15, 14}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.name);
        const auto p = keying::parsePattern(k.name).pattern;
        ASSERT_TRUE(p);
        const size_t period = (size_t{1} << k.n) - 1;
        EXPECT_EQ(p->bits, recurrence(k.n, k.m, period));
        // Maximal length: every nonzero n-bit window appears once a period.
        std::vector<int> seen(period + 1, 0);
        for (size_t i = 0; i < period; ++i) {
            size_t w = 0;
            for (int j = 0; j < k.n; ++j) w = w << 1 | p->bits[(i + j) % period];
            ++seen[w];
        }
        EXPECT_EQ(seen[0], 0);
        EXPECT_EQ(std::count(seen.begin() + 1, seen.end(), 1), static_cast<long>(period));
    }
    std::string start;
    for (int i = 0; i < 21; ++i) start += static_cast<char>('0' + keying::prbs(7)[i]);
    EXPECT_EQ(start, "000000100000110000101");
}

// ---- whole keyings -------------------------------------------------------------

// The test's own idea of the select words: the stream's symbols, a word at
// the first and at each change.
std::vector<uint16_t> expectedWords(Type type, const std::vector<uint8_t>& bits, uint64_t count) {
    std::vector<uint16_t> words;
    const size_t per = type == Type::QPSK ? 2 : 1;
    int last = -1;
    for (uint64_t k = 0; k < count; ++k) {
        int symbol = 0;
        for (size_t j = 0; j < per; ++j) symbol = symbol << 1 | bits[(k * per + j) % bits.size()];
        if (symbol == last) continue;
        last = symbol;
        words.push_back(static_cast<uint16_t>(type == Type::FSK ? 0x5000 | symbol << 11 : 0x4000 | symbol << 9));
    }
    return words;
}

std::vector<uint8_t> bitsOf(const std::string& s) {
    std::vector<uint8_t> b;
    for (char c : s) b.push_back(static_cast<uint8_t>(c - '0'));
    return b;
}

// The keyer's schedule on a clock that only moves when the test moves it.
class Keying : public ::testing::Test {
protected:
    Keying() : wire([this] { return SweepTimer::Clock::time_point(now.load()); }) { chip.startUp(); }

    // Moves the clock to each symbol's due time in turn, waiting for it to be
    // sent; `symbols` of them, or until the keying ends.
    void run(uint64_t symbols) {
        for (uint64_t k = 0; k < symbols && chip.keyingRunning(); ++k) step(k);
    }
    void step(uint64_t k) {
        now = std::chrono::nanoseconds(std::llround(static_cast<double>(k) * 1e9 / chip.keyingRate()));
        waitFor([&] { return chip.keyingProgress().sent > k || !chip.keyingRunning(); });
    }
    static void waitFor(const std::function<bool()>& done) {
        for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(done());
    }

    std::atomic<SweepTimer::Clock::duration> now{};
    WireHarness wire;
    control::ChipControl& chip = wire.chip;
};

struct KeyingCase {
    const char* name;
    Type type;
    const char* pattern;
    std::string bits;  // the stream, written out or from the recurrence
    uint64_t count;
    bool selsrc, sync;  // before the start
    int selected;       // the main window's selection of the keyed kind
};

const KeyingCase kKeyings[] = {
    {"FskBitsRaisesAndLowersSelsrc", Type::FSK, "0110 1001", "01101001", 8, false, false, 0},
    {"FskEndsOnTheWindowsRegister", Type::FSK, "1", "1", 5, false, false, 1},
    {"BpskHexWrapsWithSelsrcSet", Type::BPSK, "#H0F96", "0000111110010110", 21, true, false, 0},
    {"QpskOddPatternPairsAcrossRepetitions", Type::QPSK, "01101", "01101", 10, false, false, 2},
    {"FskPrbs7KeepsSync", Type::FSK, "PRBS7", "", 140, false, true, 1},
    {"QpskPrbs9", Type::QPSK, "PRBS9", "", 300, true, true, 3},
    {"BpskPrbs15", Type::BPSK, "PRBS15", "", 64, false, false, 1},
};

std::vector<uint8_t> streamOf(const KeyingCase& c) {
    if (!c.bits.empty()) return bitsOf(c.bits);
    const std::string name = c.pattern;
    const int n = name == "PRBS7" ? 7 : name == "PRBS9" ? 9 : 15;
    const int m = n == 7 ? 6 : n == 9 ? 5 : 14;
    return recurrence(n, m, (size_t{1} << n) - 1);
}

TEST_F(Keying, SendsTheSelectWordOfEachChangeBetweenItsStartAndEndWords) {
    for (const KeyingCase& c : kKeyings) {
        SCOPED_TRACE(c.name);
        now = SweepTimer::Clock::duration::zero();
        chip.setSync(c.sync);
        chip.setSelsrc(c.selsrc);
        if (c.type == Type::FSK) chip.selectFrequency(c.selected);
        else chip.selectPhase(c.selected);
        chip.setKeyingType(c.type);
        ASSERT_EQ(chip.setKeyingPattern(c.pattern), "");
        ASSERT_TRUE(chip.setKeyingRate(1000));
        ASSERT_TRUE(chip.setKeyingCount(c.count));
        wire.clear();
        ASSERT_TRUE(chip.startKeying().ok());
        run(c.count + 1);  // the last period ends at count / rate
        EXPECT_FALSE(chip.keyingRunning());

        const uint16_t control = static_cast<uint16_t>(0x8000 | (c.sync ? 0x2000 : 0));
        std::vector<uint16_t> want;
        if (!c.selsrc) want.push_back(control | 0x1000);
        for (uint16_t w : expectedWords(c.type, streamOf(c), c.count)) want.push_back(w);
        want.push_back(static_cast<uint16_t>(c.type == Type::FSK ? 0x5000 | c.selected << 11 : 0x4000 | c.selected << 9));
        if (!c.selsrc) want.push_back(control);
        EXPECT_EQ(hexWords(wire.words()), hexWords(want));
        EXPECT_EQ(chip.keyingProgress().sent, c.count);
        EXPECT_EQ(chip.selsrc(), c.selsrc);
    }
}

// Stop, Clear, SELSRC and Initialise end a continuous keying with its end
// words before their own.
struct EndCase {
    const char* name;
    std::function<control::Outcome(control::ChipControl&)> act;
    std::vector<uint16_t> after;  // the action's own words (the first few of Initialise's)
};

TEST_F(Keying, EndsBeforeTheActionsThatNeedTheSelectionBack) {
    const EndCase cases[] = {
        {"Stop", [](control::ChipControl& c) { return c.stopKeying(); }, {}},
        {"Clear", [](control::ChipControl& c) { return c.clear(); }, {0xC800}},
        {"SelsrcOff", [](control::ChipControl& c) { return c.setSelsrc(false); }, {0x8000}},
        {"Initialise", [](control::ChipControl& c) { return c.initialise(); }, {0x3000, 0x2100}},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        now = SweepTimer::Clock::duration::zero();
        chip.setSelsrc(false);
        chip.setKeyingType(Type::FSK);
        chip.setKeyingPattern("1");
        chip.setKeyingRate(1000);
        chip.setKeyingCount(0);
        const uint64_t ended = chip.keyingsEnded();
        wire.clear();
        ASSERT_TRUE(chip.startKeying().ok());
        EXPECT_TRUE(chip.startKeying().busy);  // one at a time
        run(3);
        EXPECT_TRUE(chip.keyingRunning());
        EXPECT_TRUE(c.act(chip).ok());
        EXPECT_FALSE(chip.keyingRunning());
        EXPECT_EQ(chip.keyingsEnded(), ended + 1);
        std::vector<uint16_t> want = {0x9000, 0x5800, 0x5000, 0x8000};
        want.insert(want.end(), c.after.begin(), c.after.end());
        std::vector<uint16_t> words = wire.words();
        words.resize(std::min(words.size(), want.size()));
        EXPECT_EQ(hexWords(words), hexWords(want));
    }
}

TEST_F(Keying, SelectingTheKeyedKindOnlyKeepsTheChoiceForTheEnd) {
    chip.setSelsrc(true);
    chip.setKeyingPattern("0");
    chip.setKeyingCount(0);
    chip.startKeying();
    run(2);
    wire.clear();
    chip.selectFrequency(1);  // keyed: kept, not sent
    chip.selectPhase(2);      // not keyed: sent
    chip.stopKeying();
    EXPECT_EQ(hexWords(wire.words()), hexWords({0x4400, 0x5800}));
}

// Progress comes at most ten times a second, but the last symbol always
// shows, however long the next one is in coming.
TEST_F(Keying, TheLastSymbolIsAlwaysAnnounced) {
    QSignalSpy spy(&chip, &control::ChipControl::keyingProgressChanged);
    chip.setKeyingPattern("0111");
    chip.setKeyingCount(0);
    chip.startKeying();
    const auto last = [&] { return spy.isEmpty() ? -1 : spy.last().at(0).value<keying::Progress>().symbol; };
    step(0);
    for (int i = 0; i < 100 && last() != 0; ++i) QTest::qWait(10);
    ASSERT_EQ(last(), 0);
    step(1);  // well within the interval
    for (int i = 0; i < 100 && last() != 1; ++i) QTest::qWait(10);
    EXPECT_EQ(last(), 1);
    EXPECT_LE(spy.size(), 3) << "the start, and no more than one a tenth of a second";
    chip.stopKeying();
}

TEST_F(Keying, RefusedSettingsChangeNothing) {
    ASSERT_TRUE(chip.setKeyingRate(250));
    ASSERT_TRUE(chip.setKeyingCount(7));
    ASSERT_EQ(chip.setKeyingPattern("0110"), "");
    for (double r : {0.0, 0.009, -1.0, chip.maxKeyingRate() * 1.01, std::nan("")}) EXPECT_FALSE(chip.setKeyingRate(r)) << r;
    EXPECT_TRUE(chip.setKeyingRate(Keyer::kMinRate));
    EXPECT_TRUE(chip.setKeyingRate(chip.maxKeyingRate()));
    EXPECT_TRUE(chip.setKeyingRate(250));
    EXPECT_FALSE(chip.setKeyingCount(Keyer::kMaxCount + 1));
    EXPECT_NE(chip.setKeyingPattern("01a"), "");
    EXPECT_EQ(chip.keyingRate(), 250);
    EXPECT_EQ(chip.keyingCount(), 7u);
    EXPECT_EQ(chip.keyingPattern(), "0110");
}

// A slow port that fails after a number of writes: its capacity bounds the
// rate, and a keying it fails under ends as a Stop would, saying why.
class FailingPort : public StubPort {
public:
    explicit FailingPort(int writesLeft) : left_(writesLeft) {}
    void OutByte(uint16_t, int32_t) override {
        if (--left_ < 0) throw PortError("cable pulled");
    }
    double wordsPerSecond() const override { return 200; }

private:
    std::atomic<int> left_;
};

TEST(KeyingOnAPort, RateIsBoundByThePortAndAFailureEndsTheKeying) {
    portlib::Parllio port{[](const std::string&) {}};
    port.setBackend(std::make_unique<FailingPort>(52 * 3));  // the SELSRC word and two symbols
    port.setPortAddress(0x378);
    Transmitter tx(port);
    control::ChipControl chip(tx);
    EXPECT_EQ(chip.maxKeyingRate(), 200);
    EXPECT_FALSE(chip.setKeyingRate(201));
    ASSERT_TRUE(chip.setKeyingRate(200));
    chip.setKeyingPattern("01");
    chip.setKeyingCount(0);
    ASSERT_TRUE(chip.startKeying().ok());
    for (int i = 0; i < 5000 && chip.keyingRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(chip.keyingRunning());
    EXPECT_EQ(chip.keyingsEnded(), 1u);
    EXPECT_EQ(chip.keyingFailure(), "cable pulled");
    EXPECT_EQ(chip.keyingProgress().sent, 2u);
    EXPECT_FALSE(chip.selsrc()) << "the SELSRC the keying raised is the window's again";
}

}  // namespace
