// The FTDI back end on the real libftdi1 over a stand-in libusb: which device
// it opens, what it never sends to the others, unplugging and plugging back,
// and the chip's state sent again after a reopen.
#include "board/MonitorPort.h"
#include "board/WireDecoder.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "portlib/ftdi/FtdiPort.h"
#include "portlib/ftdi/LibFtdi.h"
#include "support/PortRig.h"
#include "support/fakeusb/FakeUsb.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <libusb.h>

namespace {

using fakeusb::Pretend;

constexpr uint8_t kSetBitMode = 0x0B;  // FTDI vendor request

// FT232H modules: with and without a serial number, and a USB disk.
Pretend ft232h(std::string serial, uint8_t port, uint8_t address) { return {0x0403, 0x6014, std::move(serial), 1, {port}, address}; }
const Pretend kDisk{0x0781, 0x5581, "4C530001", 1, {1}, 3};

class LibFtdiTest : public ::testing::Test, public PortRig {
protected:
    void SetUp() override { fakeusb::reset(); }
    void TearDown() override {
        parllio.close();
        EXPECT_EQ(fakeusb::openHandles(), 0) << "every handle closed";
        EXPECT_EQ(fakeusb::deviceReferences(), 0) << "every device reference given back";
        EXPECT_EQ(fakeusb::contexts(), 0);
    }
    FtdiPort& install(const std::string& description) {
        auto port = std::make_unique<FtdiPort>(std::make_unique<portlib::ftdi::LibFtdi>(sysfs.path().toStdString()),
                                               description);
        FtdiPort& p = *port;
        PortRig::install(std::move(port));
        return p;
    }
    // The serial driver's tty on interface A of the device at that USB path.
    void ttyAt(const std::string& path, const std::string& tty) {
        ASSERT_TRUE(QDir(sysfs.path()).mkpath(QString::fromStdString("bus/usb/devices/" + path + ":1.0/" + tty)));
    }
    static std::vector<std::vector<uint8_t>> transfers(int device) {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& e : fakeusb::events())
            if (e.device == device && e.what == "bulk") out.push_back(e.data);
        return out;
    }
    static std::vector<uint16_t> words(const std::vector<uint8_t>& bytes) { return decodeWire(bytes).words; }
    static std::vector<uint16_t> words(int device) {
        std::vector<uint8_t> all;
        for (const auto& t : transfers(device)) all.insert(all.end(), t.begin(), t.end());
        return words(all);
    }
    // What reached a device beyond reading its serial number.
    static std::vector<std::string> requests(int device) {
        std::vector<std::string> out;
        for (const auto& e : fakeusb::events())
            if (e.device == device && e.what != "open" && e.what != "close" && e.what != "string")
                out.push_back(e.what);
        return out;
    }

    QTemporaryDir sysfs;
};

struct OpenCase {
    const char* name;
    std::vector<Pretend> bus;
    std::string description;
    int opens;  // the device id opened, 0 for none
    std::string says;
    int enumerationError = 0;
};

class LibFtdiOpen : public LibFtdiTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(LibFtdiOpen, OpensOnlyTheAdapterNamedAndNothingElseIsTouched) {
    const OpenCase& c = GetParam();
    for (const Pretend& s : c.bus) fakeusb::plug(s);
    fakeusb::failEnumeration(c.enumerationError);
    ttyAt("1-2", "ttyUSB0");
    install(c.description);
    EXPECT_EQ(ClaimParallelPort(1, -1), c.opens ? 1 : 0);
    EXPECT_EQ(said, std::vector<std::string>{c.says});

    for (const auto& e : fakeusb::events()) {
        if (e.what != "string") continue;
        EXPECT_NE(e.index, 0) << "string index 0 asked of device " << e.device;
        EXPECT_FALSE(e.claimed) << "a string asked on an open adapter";
    }
    for (int id = 1; id <= static_cast<int>(c.bus.size()); ++id) {
        if (id != c.opens) {
            EXPECT_EQ(requests(id), std::vector<std::string>{}) << "device " << id;
        }
    }
    if (!c.opens) return;

    bool bitBang = false;
    for (const auto& e : fakeusb::events())
        bitBang |= e.device == c.opens && e.what == "control" && e.request == kSetBitMode && e.value == 0x0107;
    EXPECT_TRUE(bitBang) << "D0..D2 outputs in bit-bang mode";
    ASSERT_FALSE(transfers(c.opens).empty());
    EXPECT_EQ(transfers(c.opens)[0], std::vector<uint8_t>{0x04}) << "idle level first";
    SendWord(0x378, 0x2345);
    EXPECT_EQ(words(c.opens), std::vector<uint16_t>{0x2345});
}

const char kUsing[] = "using FTDI adapter ";

INSTANTIATE_TEST_SUITE_P(
    Buses, LibFtdiOpen,
    ::testing::Values(
        OpenCase{"serialLessAlone", {ft232h("", 2, 4)}, "", 1,
                 std::string(kUsing) + "FT232H d:001/004 at USB port 1-2 at 1000000 writes a second; /dev/ttyUSB0 "
                                       "is gone until the program ends"},
        OpenCase{"serialAfterASerialLessOne", {ft232h("", 3, 4), ft232h("FT5ABC", 2, 5)}, "s:0x0403:0x6014:FT5ABC", 2,
                 std::string(kUsing) + "s:0x0403:0x6014:FT5ABC at 1000000 writes a second; /dev/ttyUSB0 is gone "
                                       "until the program ends"},
        OpenCase{"unreadableSerialPassedOver",
                 {Pretend{0x0403, 0x6001, "LOCKED", 1, {4}, 6, LIBUSB_ERROR_ACCESS}, Pretend{0x0403, 0x6001, "A10K", 1, {5}, 7}},
                 "s:0x0403:0x6001:A10K", 2, std::string(kUsing) + "s:0x0403:0x6001:A10K at 1000000 writes a second"},
        OpenCase{"secondByIndex", {ft232h("", 2, 4), ft232h("FT5ABC", 3, 5)}, "i:0x0403:0x6014:1", 2,
                 std::string(kUsing) + "s:0x0403:0x6014:FT5ABC at 1000000 writes a second"},
        OpenCase{"serialLessByBus", {ft232h("", 2, 4), ft232h("FT5ABC", 3, 5)}, "d:001/004", 1,
                 std::string(kUsing) + "FT232H d:001/004 at USB port 1-2 at 1000000 writes a second; /dev/ttyUSB0 "
                                       "is gone until the program ends"},
        OpenCase{"twoAdapters", {ft232h("", 2, 4), ft232h("FT5ABC", 3, 5)}, "", 0,
                 "2 FTDI adapters found, so none was opened; start again with --port ftdi:DESCRIPTION naming "
                 "one of: d:001/004 s:0x0403:0x6014:FT5ABC"},
        OpenCase{"diskByBus", {kDisk, ft232h("FT5ABC", 2, 4)}, "d:001/003", 0,
                 "USB device 'd:001/003' is 0x0781:0x5581, not an FTDI adapter (vendor 0x0403, products "
                 "0x6001 0x6010 0x6011 0x6014 0x6015); it was left alone"},
        OpenCase{"diskOnly", {kDisk}, "", 0,
                 "no FTDI adapter found (looked for USB vendor 0x0403, products 0x6001 0x6010 0x6011 0x6014 "
                 "0x6015); plug one in and start again, or name one with --port ftdi:DESCRIPTION"},
        OpenCase{"noPermission", {Pretend{0x0403, 0x6014, "FT5ABC", 1, {2}, 4, LIBUSB_ERROR_ACCESS}}, "", 0,
                 "no permission to open FTDI adapter 'd:001/004' (libusb_open() failed); install the udev "
                 "rule (README, USB adapters) and plug the adapter in again"},
        OpenCase{"enumerationFails", {ft232h("FT5ABC", 2, 4)}, "", 0,
                 "cannot look for FTDI adapters: USB enumeration failed (LIBUSB_ERROR_IO)", LIBUSB_ERROR_IO}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReplugCase {
    const char* name;
    std::vector<Pretend> bus;
    std::string description;
    std::vector<uint8_t> backAt;  // USB port it is plugged back into
    std::string says;             // the line on reopening, or the action's error
    bool reopens;
};

class LibFtdiReplug : public LibFtdiTest, public ::testing::WithParamInterface<ReplugCase> {};

TEST_P(LibFtdiReplug, OnlyTheSameAdapterIsReopened) {
    const ReplugCase& c = GetParam();
    for (const Pretend& s : c.bus) fakeusb::plug(s);
    install(c.description);
    ASSERT_EQ(ClaimParallelPort(1, -1), 1) << (said.empty() ? "" : said[0]);
    said.clear();
    fakeusb::unplug(1);
    try {
        SendWord(0x378, 0xD800);
        ADD_FAILURE() << "no PortError while unplugged";
    } catch (const PortError& e) {
        EXPECT_NE(std::string(e.what()).find(" stopped answering ("), std::string::npos) << e.what();
    }
    const int back = fakeusb::replug(1, 9, c.backAt);
    fakeusb::clearEvents();
    std::string error;
    try {
        SendWord(0x378, 0x1234);
    } catch (const PortError& e) {
        error = e.what();
    }
    if (c.reopens) {
        EXPECT_EQ(error, "");
        EXPECT_EQ(said, std::vector<std::string>{c.says});
        EXPECT_EQ(words(back), std::vector<uint16_t>{0x1234});
    } else {
        EXPECT_EQ(error, c.says);
        EXPECT_EQ(requests(back), std::vector<std::string>{});
    }
    EXPECT_EQ(requests(2), std::vector<std::string>{}) << "the other adapter is never taken";
}

INSTANTIATE_TEST_SUITE_P(
    Adapters, LibFtdiReplug,
    ::testing::Values(
        ReplugCase{"bySerialInAnotherPort", {ft232h("FT5ABC", 2, 4), ft232h("", 3, 5)}, "s:0x0403:0x6014:FT5ABC", {6},
                   "FTDI adapter s:0x0403:0x6014:FT5ABC is back; reopened it", true},
        ReplugCase{"byPortPath", {ft232h("", 2, 4), ft232h("", 3, 5)}, "d:001/004", {2},
                   "FTDI adapter FT232H d:001/004 at USB port 1-2 is back; reopened it", true},
        ReplugCase{"serialLessInAnotherPort", {ft232h("", 2, 4), ft232h("", 3, 5)}, "d:001/004", {6},
                   "FTDI adapter FT232H d:001/004 at USB port 1-2 is not attached; plug it back in (into the "
                   "same USB port: it has no serial number) and repeat the action",
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

class LibFtdiState : public LibFtdiTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LibFtdiState, AfterAReopenTheStateLeavesAheadOfTheActionInOneTransfer) {
    const bool inOperation = GetParam();
    fakeusb::plug(ft232h("FT5ABC", 2, 4));
    FtdiPort& port = install("");
    int hooks = 0;
    port.setReopenHook([this, &hooks] {
        ++hooks;
        SendWord(0x378, 0xD800);
        SendWord(0x378, 0x3000);
    });
    // The Board Monitor "as sent" sees what the hook sends, through the same chain.
    auto monitor = std::make_unique<MonitorPort>(parllio.setBackend(nullptr));
    std::vector<uint16_t> shown;
    monitor->decoder().onWord = [&shown](uint16_t w) { shown.push_back(w); };
    parllio.setBackend(std::move(monitor));
    ASSERT_EQ(ClaimParallelPort(1, -1), 1);
    SendWord(0x378, 0x8000);
    EXPECT_EQ(hooks, 0) << "not on the first open";

    fakeusb::unplug(1);
    EXPECT_THROW(SendWord(0x378, 0x2100), PortError);
    EXPECT_THROW(SendWord(0x378, 0x2100), PortError) << "still away";
    EXPECT_EQ(hooks, 0) << "not while it is away";
    const int back = fakeusb::replug(1, 9);
    said.clear();
    shown.clear();
    if (inOperation) {
        portlib::OperationScope op(parllio);
        SendWord(0x378, 0x2100);
        op.finish();
    } else {
        SendWord(0x378, 0x2100);
    }
    EXPECT_EQ(hooks, 1);
    const auto sent = transfers(back);
    ASSERT_EQ(sent.size(), 2u) << "the idle level on opening, then one transfer";
    EXPECT_EQ(words(sent[1]), (std::vector<uint16_t>{0xD800, 0x3000, 0x2100}));
    EXPECT_EQ(shown, (std::vector<uint16_t>{0xD800, 0x3000, 0x2100}));
    EXPECT_EQ(said, std::vector<std::string>{"FTDI adapter s:0x0403:0x6014:FT5ABC is back; reopened it and "
                                             "sent the chip's state again"});
    SendWord(0x378, 0x2200);
    EXPECT_EQ(hooks, 1) << "once per reopen";
    EXPECT_EQ(words(back).back(), 0x2200);
}

INSTANTIATE_TEST_SUITE_P(OperationOrNot, LibFtdiState, ::testing::Bool());

}  // namespace
