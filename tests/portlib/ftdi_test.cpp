// The FTDI back end against a fake libftdi: what reaches the pins, how
// writes are gathered into transfers, faults, unplugging and plugging back.
#include "PinScenario.h"

#include "board/WireDecoder.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "portlib/RecordingPort.h"
#include "portlib/ftdi/FtdiPort.h"
#include "support/FakePins.h"
#include "support/PortRig.h"

#include <gtest/gtest.h>

namespace {

using portlib::ftdi::Device;
using portlib::ftdi::Status;

const Device kFt232h{0x6014, "FT5ABC", 1, 4};

class FtdiTest : public ::testing::Test, public PortRig {
protected:
    void SetUp() override { fake->attached = {kFt232h}; }
    FtdiPort& install(const std::string& description = "", int rate = FtdiPort::kDefaultRate) {
        auto port = std::make_unique<FtdiPort>(std::make_unique<FakeFtdi>(fake), description, rate);
        FtdiPort& p = *port;
        PortRig::install(std::move(port));
        return p;
    }
    FtdiPort& claimed() {
        FtdiPort& p = install();
        EXPECT_EQ(ClaimParallelPort(1, -1), 1);
        fake->transfers.clear();
        fake->calls.clear();
        said.clear();
        return p;
    }
    std::vector<uint16_t> words() const { return decodeWire(fake->pins()).words; }

    std::shared_ptr<FakeFtdiState> fake = std::make_shared<FakeFtdiState>();
};

struct OpenCase {
    std::string description;
    int rate;
    std::string opens;
};

class FtdiOpen : public FtdiTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(FtdiOpen, BitBangOnD0ToD2ThenTheIdleLevelThenThePace) {
    const OpenCase& c = GetParam();
    install(c.description, c.rate);
    ASSERT_EQ(ClaimParallelPort(1, -1), 1);
    EXPECT_EQ(fake->calls, (std::vector<std::string>{"open " + c.opens, "bitbang 0x07", "write 1",
                                                     "rate " + std::to_string(c.rate)}));
    EXPECT_EQ(fake->pins(), std::vector<uint8_t>{0x04});
    EXPECT_EQ(said, std::vector<std::string>{"using FTDI adapter s:0x0403:0x6014:FT5ABC at " +
                                             std::to_string(c.rate) + " writes a second"});
    ParallelPortInfo info;
    EXPECT_EQ(GetParallelPortInfo(1, info), 1);
    EXPECT_EQ(info.baseAddress, 0x378);
}

INSTANTIATE_TEST_SUITE_P(Descriptions, FtdiOpen,
                         ::testing::Values(OpenCase{"", FtdiPort::kDefaultRate, "d:001/004"},
                                           OpenCase{"s:0x0403:0x6014:FT5ABC", 250000, "d:001/004"},
                                           OpenCase{"i:0x0403:0x6014", 3000000, "d:001/004"}));

TEST_F(FtdiTest, StartupAndAFrequencyEntryReachThePinsAsOnTheSimulatedBoard) {
    const std::vector<uint16_t> expected = simulatedBoardWords();
    ASSERT_GE(expected.size(), 7u);
    EXPECT_EQ(std::vector<uint16_t>(expected.begin(), expected.begin() + 3),
              (std::vector<uint16_t>{0xD800, 0xC000, 0x8000}));
    EXPECT_EQ(std::vector<uint16_t>(expected.end() - 4, expected.end()),
              (std::vector<uint16_t>{0x3000, 0x2100, 0x3200, 0x2340}));

    FtdiPort& port = install();
    runStartupAndFrequencyEntry(parllio);
    EXPECT_EQ(words(), expected);
    EXPECT_EQ(decodeWire(fake->pins()).framingErrors, 0);
    EXPECT_EQ(port.pending(), 0u) << "nothing stays buffered";
    EXPECT_EQ(port.controlRegister(), 0xCC & 0xD4) << "start-up's read, AND and write-back use the shadow";
}

TEST_F(FtdiTest, AnOperationLeavesInOneTransferThroughDecorators) {
    claimed();
    auto recording = std::make_unique<RecordingPort>(parllio.setBackend(nullptr));
    parllio.setBackend(std::move(recording));
    {
        portlib::OperationScope outer(parllio);
        SendWord(0x378, 0x3000);
        {
            portlib::OperationScope inner(parllio);
            SendWord(0x378, 0x2100);
            inner.finish();
        }
        EXPECT_TRUE(fake->transfers.empty()) << "an inner scope's end sends nothing";
        SendWord(0x378, 0x3200);
        outer.finish();
    }
    ASSERT_EQ(fake->transfers.size(), 1u);
    EXPECT_EQ(fake->transfers[0].size(), 3u * 52u);
    EXPECT_EQ(words(), (std::vector<uint16_t>{0x3000, 0x2100, 0x3200}));
}

TEST_F(FtdiTest, OutsideAnOperationAWordLeavesWhenItsFrameEndsAndAReadSendsFirst) {
    FtdiPort& port = claimed();
    SendWord(0x378, 0xABCD);
    SendWord(0x378, 0x0001);
    ASSERT_EQ(fake->transfers.size(), 2u);
    EXPECT_EQ(fake->transfers[0].size(), 52u);
    EXPECT_EQ(words(), (std::vector<uint16_t>{0xABCD, 0x0001}));

    tx.WritePort(0x378, 0);  // frame falls: no word has ended
    EXPECT_EQ(port.pending(), 1u);
    EXPECT_EQ(fake->transfers.size(), 2u);
    EXPECT_EQ(InByte(0x37A), 0xCC);
    EXPECT_EQ(port.pending(), 0u);
    EXPECT_EQ(fake->transfers.size(), 3u);
}

struct FaultCase {
    const char* name;
    std::vector<Device> attached;
    std::string description;
    Status openStatus, bitBangStatus, rateStatus;
    std::string saysExactly;  // or, when it starts with '~', holds these words
};

class FtdiFault : public FtdiTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FtdiFault, OneLineOnStderrThenAFailedClaimAndTheProgramGoesOn) {
    const FaultCase& c = GetParam();
    fake->attached = c.attached;
    fake->openResult.status = c.openStatus;
    fake->openResult.detail = "library words";
    fake->bitBangResult = {c.bitBangStatus, "library words"};
    fake->rateResult = {c.rateStatus, "library words"};
    install(c.description, 1000000);
    EXPECT_EQ(ClaimParallelPort(1, -1), 0);
    ASSERT_EQ(said.size(), 1u);
    if (c.saysExactly[0] == '~') {
        EXPECT_NE(said[0].find(c.saysExactly.substr(1)), std::string::npos) << said[0];
    } else {
        EXPECT_EQ(said[0], c.saysExactly);
    }
    const size_t calls = fake->calls.size();
    EXPECT_NO_THROW(SendWord(0x378, 0xD800));
    EXPECT_EQ(fake->calls.size(), calls) << "writes are dropped, nothing reaches the library";
    const bool openedThenFailed = !fake->calls.empty() && fake->calls.back().rfind("open", 0) != 0;
    if (openedThenFailed) {
        EXPECT_EQ(fake->calls.back(), "close");
    }
}

const Device kFt232r{0x6001, "A10K3XYZ", 1, 3};
const Device kNoSerial{0x6015, "", 2, 9};

INSTANTIATE_TEST_SUITE_P(
    Faults, FtdiFault,
    ::testing::Values(
        FaultCase{"none", {}, "", Status::Ok, Status::Ok, Status::Ok,
                  "no FTDI adapter found (looked for USB vendor 0x0403, products 0x6001 0x6010 0x6011 0x6014 "
                  "0x6015); plug one in and start again, or name one with --port ftdi:DESCRIPTION"},
        FaultCase{"several", {kFt232r, kFt232h, kNoSerial}, "", Status::Ok, Status::Ok, Status::Ok,
                  "3 FTDI adapters found, so none was opened; start again with --port ftdi:DESCRIPTION "
                  "naming one of: s:0x0403:0x6001:A10K3XYZ s:0x0403:0x6014:FT5ABC d:002/009"},
        FaultCase{"noMatch", {kFt232h}, "s:0x0403:0x6014:OTHER", Status::Ok, Status::Ok, Status::Ok,
                  "no FTDI adapter 's:0x0403:0x6014:OTHER' is attached (lsusb lists devices as "
                  "VENDOR:PRODUCT); plug it in and start again"},
        FaultCase{"busy", {kFt232h}, "", Status::Busy, Status::Ok, Status::Ok,
                  "FTDI adapter 's:0x0403:0x6014:FT5ABC' is held by another program (library words); close that program "
                  "and start again"},
        FaultCase{"noAccess", {kFt232h}, "i:0x0403:0x6014", Status::NoAccess, Status::Ok, Status::Ok,
                  "no permission to open FTDI adapter 'i:0x0403:0x6014' (library words); install the udev "
                  "rule (README, USB adapters) and plug the adapter in again"},
        FaultCase{"noBitBang", {kFt232h}, "", Status::Ok, Status::Failed, Status::Ok, "~bit-bang mode refused"},
        FaultCase{"rate", {kFt232h}, "", Status::Ok, Status::Ok, Status::Failed,
                  "~cannot run at 1000000 writes a second (library words); choose another --ftdi-rate"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FtdiTest, UnpluggedTheActionFailsAndTheSameAdapterIsReopenedWhenBack) {
    claimed();
    fake->unplugged = true;
    EXPECT_EQ(portErrorOf([this] { SendWord(0x378, 0xD800); }),
              "FTDI adapter s:0x0403:0x6014:FT5ABC stopped answering (LIBUSB_ERROR_NO_DEVICE); plug it "
              "back in and repeat the action");
    EXPECT_EQ(fake->calls.back(), "close");
    EXPECT_THROW(SendWord(0x378, 0xD800), PortError) << "still gone";

    fake->unplugged = false;
    fake->attached = {{0x6014, "SOMEONE", 1, 7}};
    EXPECT_EQ(portErrorOf([this] { SendWord(0x378, 0xD800); }),
              "FTDI adapter s:0x0403:0x6014:FT5ABC is not attached; plug it back in and repeat the action")
        << "another adapter with the same product is not taken";

    fake->attached = {{0x6014, "FT5ABC", 1, 8}};  // a new address after plugging back
    fake->transfers.clear();
    fake->calls.clear();
    SendWord(0x378, 0x1234);
    EXPECT_EQ(said, std::vector<std::string>{"FTDI adapter s:0x0403:0x6014:FT5ABC is back; reopened it"});
    EXPECT_EQ(std::vector<std::string>(fake->calls.begin(), fake->calls.begin() + 4),
              (std::vector<std::string>{"open d:001/008", "bitbang 0x07", "write 1", "rate 1000000"}))
        << "opened by bus and address";
    EXPECT_EQ(words(), std::vector<uint16_t>{0x1234});
}

TEST_F(FtdiTest, TheProgramsEndSendsWhatIsPendingAndClosesTheAdapter) {
    claimed();
    {
        portlib::OperationScope op(parllio);
        SendWord(0x378, 0x8000);
        parllio.flush();  // the trace timer, inside an operation
        EXPECT_TRUE(fake->transfers.empty());
        parllio.close();
        op.finish();  // nothing left to tell
    }
    EXPECT_EQ(words(), std::vector<uint16_t>{0x8000});
    EXPECT_EQ(fake->calls.back(), "close");
}

}  // namespace

// Whether words would be dropped, as the SCPI commands ask before sending:
// an adapter that went away is reopened first.
TEST_F(FtdiTest, WritesAreDroppedUntilClaimedAndWhileTheAdapterIsGone) {
    FtdiPort& p = install("s:0x0403:0x6014:FT5ABC");
    EXPECT_TRUE(parllio.writesDropped(0x378)) << "not claimed";
    ASSERT_EQ(ClaimParallelPort(1, -1), 1);
    EXPECT_FALSE(parllio.writesDropped(0x378));
    EXPECT_TRUE(parllio.writesDropped(0x278)) << "an address no port owns";
    EXPECT_EQ(p.instrumentName(), "FTDI FT5ABC");
    fake->unplugged = true;
    EXPECT_THROW(SendWord(0x378, 0xD800), PortError);
    EXPECT_TRUE(parllio.writesDropped(0x378)) << "gone, and no reopen";
    fake->unplugged = false;
    fake->attached = {{0x6014, "FT5ABC", 1, 8}};
    EXPECT_FALSE(parllio.writesDropped(0x378)) << "reopened by the question";
    EXPECT_EQ(said.back(), "FTDI adapter s:0x0403:0x6014:FT5ABC is back; reopened it");
}

TEST_F(FtdiTest, WithoutASerialTheAdapterIsNamedByItsBusPlace) {
    fake->attached = {{0x6001, "", 3, 9}};
    FtdiPort& p = install();
    ASSERT_EQ(ClaimParallelPort(1, -1), 1);
    EXPECT_EQ(p.instrumentName(), "FTDI 003/009");
}
