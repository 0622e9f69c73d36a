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

// A transmitter on a recorded open bus.
struct OpenBusRig {
    OpenBusRig() {
        auto rec = std::make_unique<RecordingPort>(std::make_unique<OpenBus>());
        port = rec.get();
        parllio.setBackend(std::move(rec));
    }
    portlib::Parllio parllio;
    Transmitter tx{parllio};
    RecordingPort* port = nullptr;
};

class SendWordWrites : public ::testing::TestWithParam<AddressedCase> {
protected:
    OpenBusRig rig;
    RecordingPort* port = rig.port;
};

TEST_P(SendWordWrites, ExactSequenceToTheGivenAddress) {
    const auto& [c, address] = GetParam();
    rig.tx.SendWord(address, c.word);
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
    for (uint16_t w : words) wire.transmitter.SendWord(SimulatedBoard::kBase, w);
    EXPECT_EQ(hexWords(wire.words()), hexWords(words));
    EXPECT_EQ(wire.board().words(), 4u);
    EXPECT_EQ(wire.board().framingErrors(), 0u);
}

TEST(SendWordStream, AnAddressChangeMovesTheVeryNextWord) {
    OpenBusRig rig;
    rig.parllio.setPortAddress(0x378);
    rig.tx.send(0x1111);
    rig.parllio.setPortAddress(0x278);
    rig.tx.send(0x2222);
    EXPECT_EQ(decodeWire(rig.port->writesTo(0x378)).words, std::vector<uint16_t>{0x1111});
    EXPECT_EQ(decodeWire(rig.port->writesTo(0x278)).words, std::vector<uint16_t>{0x2222});
    EXPECT_EQ(rig.port->operations()[52].address, 0x278);
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

TEST(DropRule, WritesToUnownedAddressesNeverReachTheBackEnd) {
    WireHarness wire;
    const std::vector<std::string>& said = wire.said;
    wire.port.InByte(2);
    wire.port.OutByte(2, wire.port.InByte(2) & 0xD4);
    wire.transmitter.SendWord(0, 0xD800);
    wire.transmitter.SendWord(0, 0xC000);
    EXPECT_TRUE(wire.recording().operations().empty());
    EXPECT_EQ(wire.board().words(), 0u);
    ASSERT_EQ(said.size(), 1u) << "said once, not per write";
    EXPECT_NE(said[0].find("0x0002"), std::string::npos) << said[0];
    EXPECT_EQ(said[0].find("qz4471"), std::string::npos) << "the sink adds the program's name";

    wire.transmitter.SendWord(SimulatedBoard::kBase, 0x8000);  // the board's own address still works
    EXPECT_EQ(hexWords(wire.words()), "0x8000");
    EXPECT_EQ(said.size(), 1u);
}

}  // namespace
