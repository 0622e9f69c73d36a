#include "board/WireDecoder.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "portlib/RecordingPort.h"
#include "support/StubPort.h"
#include "support/WireHarness.h"

#include <gtest/gtest.h>

namespace {

// A bus where every address answers, so any port base can be watched.
using OpenBus = StubPort;

std::vector<uint8_t> repeat(std::vector<uint8_t> part, int times) {
    std::vector<uint8_t> out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

const std::vector<uint8_t> kOne = {0, 3, 2}, kZero = {0, 1, 0}, kIdle = {4}, kTail = {0, 0, 4};

struct WordCase {
    int32_t word;
    uint16_t sent;
    std::vector<uint8_t> writes;
};

std::vector<WordCase> wordCases() {
    return {
        {0x0000, 0x0000, concat({kIdle, repeat(kZero, 16), kTail})},
        {0xFFFF, 0xFFFF, concat({kIdle, repeat(kOne, 16), kTail})},
        {0x8000, 0x8000, concat({kIdle, kOne, repeat(kZero, 15), kTail})},
        {0x0001, 0x0001, concat({kIdle, repeat(kZero, 15), kOne, kTail})},
        {0xD800, 0xD800, concat({kIdle, kOne, kOne, kZero, kOne, kOne, repeat(kZero, 11), kTail})},
        {0x1D800, 0xD800, concat({kIdle, kOne, kOne, kZero, kOne, kOne, repeat(kZero, 11), kTail})},
        {-1, 0xFFFF, concat({kIdle, repeat(kOne, 16), kTail})},
    };
}

struct AddressedCase {
    WordCase word;
    uint16_t address;
};

class SendWordWrites : public ::testing::TestWithParam<AddressedCase> {
protected:
    void SetUp() override {
        auto rec = std::make_unique<RecordingPort>(std::make_unique<OpenBus>());
        port = rec.get();
        portlib::setActiveBackend(std::move(rec));
    }
    void TearDown() override { portlib::setActiveBackend(nullptr); }
    RecordingPort* port = nullptr;
};

TEST_P(SendWordWrites, ExactSequenceToTheGivenAddress) {
    const auto& [c, address] = GetParam();
    SendWord(address, c.word);
    ASSERT_EQ(c.writes.size(), 52u);
    EXPECT_EQ(port->writesTo(address), c.writes);
    EXPECT_EQ(port->operations().size(), 52u) << "nothing but data-register writes";
    const DecodedWire d = decodeWire(port->writesTo(address));
    EXPECT_EQ(d.words, std::vector<uint16_t>{c.sent});
    EXPECT_EQ(d.framingErrors, 0);
}

std::vector<AddressedCase> addressedCases() {
    std::vector<AddressedCase> out;
    for (uint16_t address : {uint16_t(0x378), uint16_t(0x278), uint16_t(0x3BC), uint16_t(0xD010)})
        for (const auto& c : wordCases()) out.push_back({c, address});
    return out;
}

INSTANTIATE_TEST_SUITE_P(WordsAndPorts, SendWordWrites, ::testing::ValuesIn(addressedCases()));

TEST(SendWordStream, BackToBackWordsDecodeInOrder) {
    WireHarness wire;
    const std::vector<uint16_t> words = {0x3000, 0x2100, 0x3200, 0x2340};
    for (uint16_t w : words) SendWord(SimulatedBoard::kBase, w);
    EXPECT_EQ(hexWords(wire.words()), hexWords(words));
    EXPECT_EQ(wire.board().words(), 4u);
    EXPECT_EQ(wire.board().framingErrors(), 0u);
}

TEST(SendWordStream, AnAddressChangeMovesTheVeryNextWord) {
    auto rec = std::make_unique<RecordingPort>(std::make_unique<OpenBus>());
    RecordingPort* port = rec.get();
    portlib::setActiveBackend(std::move(rec));
    SendWord(0x378, 0x1111);
    SendWord(0x278, 0x2222);
    EXPECT_EQ(decodeWire(port->writesTo(0x378)).words, std::vector<uint16_t>{0x1111});
    EXPECT_EQ(decodeWire(port->writesTo(0x278)).words, std::vector<uint16_t>{0x2222});
    EXPECT_EQ(port->operations()[52].address, 0x278);
    portlib::setActiveBackend(nullptr);
}

struct FrameCase {
    int pulses;
    int framingErrors;
    size_t words;
};

class FrameLength : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameLength, OnlySixteenPulsesMakeAWord) {
    const auto bytes = concat({kIdle, repeat(kOne, GetParam().pulses), kTail});
    const DecodedWire d = decodeWire(bytes);
    EXPECT_EQ(d.framingErrors, GetParam().framingErrors);
    EXPECT_EQ(d.words.size(), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(Pulses, FrameLength,
                         ::testing::Values(FrameCase{15, 1, 0}, FrameCase{16, 0, 1}, FrameCase{17, 1, 0},
                                           FrameCase{0, 1, 0}));

class DropRule : public ::testing::Test {
protected:
    void SetUp() override {
        portlib::setDiagnosticSink([this](const std::string& l) { said.push_back(l); });
    }
    void TearDown() override { portlib::setDiagnosticSink(nullptr); }
    std::vector<std::string> said;
};

TEST_F(DropRule, WritesToUnownedAddressesNeverReachTheBackEnd) {
    WireHarness wire;
    InByte(2);
    OutByte(2, InByte(2) & 0xD4);
    SendWord(0, 0xD800);
    SendWord(0, 0xC000);
    EXPECT_TRUE(wire.port().operations().empty());
    EXPECT_EQ(wire.board().words(), 0u);
    ASSERT_EQ(said.size(), 1u) << "said once, not per write";
    EXPECT_NE(said[0].find("0x0002"), std::string::npos) << said[0];

    SendWord(SimulatedBoard::kBase, 0x8000);  // the board's own address still works
    EXPECT_EQ(hexWords(wire.words()), "0x8000");
    EXPECT_EQ(said.size(), 1u);
}

}  // namespace
