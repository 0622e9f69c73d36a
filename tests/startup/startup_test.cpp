// Start-up: the version name, both port paths and the order of their port
// operations, failed claims and address queries, menu marking, "/SS".
#include "board/WireDecoder.h"
#include "control/ChipControl.h"
#include "mainwindow/MainForm.h"
#include "portlib/Parllio.h"
#include "portlib/RecordingPort.h"
#include "startup/WindowsVersion.h"
#include "support/RecordingSeams.h"
#include "support/WireHarness.h"

#include <QAction>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// A port library whose answers a test sets; it records what reaches it.
class FakeLibrary : public PortBackend {
public:
    int32_t claimResult = 1, infoResult = 1;
    uint16_t base = 0x378;
    std::vector<PortOperation> ops;
    int claims = 0, counts = 0;

    int32_t GetParallelPortCount() override { ++counts; return 1; }
    int32_t ClaimParallelPort(int32_t port, int32_t flags) override {
        ++claims;
        EXPECT_EQ(port, 1);
        EXPECT_EQ(flags, -1);
        return claimResult;
    }
    int32_t GetParallelPortInfo(int32_t port, ParallelPortInfo& info) override {
        EXPECT_EQ(port, 1);
        EXPECT_EQ(info.size, 12);
        if (infoResult) info.baseAddress = base;
        return infoResult;
    }
    bool controlFails = false;
    int32_t InByte(uint16_t a) override {
        if (controlFails) throw PortError("control register unreadable");
        ops.push_back({PortOperation::In, a, 0xEF});
        return 0xEF;
    }
    void OutByte(uint16_t a, int32_t v) override { ops.push_back({PortOperation::Out, a, uint8_t(v)}); }
    bool ownsAddress(uint16_t a) const override { return a >= base && a <= base + 2; }
    std::string describe() const override { return "fake"; }

    std::vector<uint16_t> wordsAt(uint16_t a) const {
        std::vector<uint8_t> bytes;
        for (auto& op : ops)
            if (op.kind == PortOperation::Out && op.address == a) bytes.push_back(op.value);
        return decodeWire(bytes).words;
    }
    // Index of the first operation on the control register, or ops.size().
    size_t firstControlOp() const {
        for (size_t i = 0; i < ops.size(); ++i)
            if (ops[i].address == base + 2) return i;
        return ops.size();
    }
};

// The program's tree on the fake library, with the start-up state and, once
// asked for, the main window as the entry procedure creates it.
struct Rig {
    Rig() {
        unsetenv("QZ4471_WINVER");
        auto lib = std::make_unique<FakeLibrary>();
        fake = lib.get();
        port.setBackend(std::move(lib));
    }
    ~Rig() { unsetenv("QZ4471_WINVER"); }
    MainForm& window() {
        if (!form) {
            form = std::make_unique<MainForm>(chip, startup, seams.seams());
            form->Form_Load();
        }
        return *form;
    }
    QAction* item(const char* name) { return window().findChild<QAction*>(name); }

    std::vector<std::string> diagnostics;
    portlib::Parllio port{[this](const std::string& s) { diagnostics.push_back(s); }};
    Transmitter tx{port};
    control::ChipControl chip{tx};
    RecordingSeams seams;
    Startup startup{port, chip, seams.notice};
    std::vector<platform::Notice>& notices = seams.notice.notices;
    FakeLibrary* fake = nullptr;
    std::unique_ptr<MainForm> form;
};

class StartupTest : public ::testing::Test, public Rig {};

}  // namespace

TEST_F(StartupTest, VersionNames) {
    struct { const char* env; const char* name; } cases[] = {
        {"1 4 0", "Windows 95"}, {"1 4 10", "Windows 98"}, {"1 4 90", ""},
        {"2 3 51", "Windows NT 3.51"}, {"2 4 0", "Windows NT 4.0"}, {"2 5 0", "Windows 2000"},
        {"2 5 1", "Windows 2000"}, {"2 6 0", ""}, {"2 10 0", ""}, {"0 4 0", "Failed"}, {nullptr, "Failed"},
    };
    for (auto& c : cases) {
        if (c.env) setenv("QZ4471_WINVER", c.env, 1);
        else unsetenv("QZ4471_WINVER");
        EXPECT_EQ(startup.GetWindowsVersion(), c.name) << (c.env ? c.env : "(unset)");
    }
}

TEST_F(StartupTest, ClaimPathLoadsTheWindowBeforeTheControlRegister) {
    startup.SetupPort();
    EXPECT_EQ(startup.WindowsVersionName, "Failed");
    EXPECT_EQ(fake->counts, 1);
    EXPECT_EQ(fake->claims, 1);
    EXPECT_EQ(port.portAddress(), 0x378);
    ASSERT_TRUE(chip.startedUp());
    const size_t ctl = fake->firstControlOp();
    ASSERT_EQ(ctl + 2, fake->ops.size());
    std::vector<PortOperation> before(fake->ops.begin(), fake->ops.begin() + ctl);
    std::vector<uint8_t> bytes;
    for (auto& op : before) bytes.push_back(op.value);
    EXPECT_EQ(hexWords(decodeWire(bytes).words), hexWords({0xD800, 0xC000, 0x8000}));
    EXPECT_EQ(fake->ops[ctl], (PortOperation{PortOperation::In, 0x37A, 0xEF}));
    EXPECT_EQ(fake->ops[ctl + 1], (PortOperation{PortOperation::Out, 0x37A, 0xEF & 0xD4}));
    EXPECT_TRUE(item("MnuLpt1")->isChecked());
    EXPECT_TRUE(item("MnuLpt1")->isEnabled());
    EXPECT_FALSE(item("MnuLpt2")->isEnabled());
    EXPECT_FALSE(item("Mnuprn")->isEnabled());
    EXPECT_TRUE(notices.empty());
}

TEST_F(StartupTest, DirectPathPreparesTheControlRegisterFirst) {
    for (const char* env : {"1 4 0", "1 4 10"}) {
        Rig r;
        auto [fake, startup, chip] = std::tie(r.fake, r.startup, r.chip);
        auto& port = r.port;
        auto item = [&r](const char* n) { return r.item(n); };
        auto window = [&r]() -> MainForm& { return r.window(); };
        setenv("QZ4471_WINVER", env, 1);
        startup.SetupPort();
        EXPECT_EQ(fake->claims, 0);
        EXPECT_EQ(fake->counts, 0);
        EXPECT_EQ(port.portAddress(), 0x378);
        EXPECT_FALSE(chip.startedUp());
        EXPECT_EQ(fake->firstControlOp(), 0u);
        window();
        EXPECT_EQ(hexWords(fake->wordsAt(0x378)), hexWords({0xD800, 0xC000, 0x8000}));
        EXPECT_TRUE(item("MnuLpt1")->isChecked());
        EXPECT_TRUE(item("MnuLpt2")->isEnabled());
        EXPECT_TRUE(item("Mnuprn")->isEnabled());
    }
}

TEST_F(StartupTest, MenuMarkingFollowsTheReportedAddress) {
    struct { uint16_t base; bool lpt1On, lpt2On, prnOn; const char* checked; } cases[] = {
        {0x278, false, true, false, "MnuLpt2"},
        {0x378, true, false, false, "MnuLpt1"},
        {0x3BC, false, false, true, "Mnuprn"},
        {0xD010, true, true, true, ""},  // a PCIe card: nothing disabled, nothing checked
    };
    for (auto& c : cases) {
        Rig r;
        auto [fake, startup, chip] = std::tie(r.fake, r.startup, r.chip);
        auto& port = r.port;
        auto item = [&r](const char* n) { return r.item(n); };
        fake->base = c.base;
        startup.SetupPort();
        EXPECT_EQ(port.portAddress(), c.base);
        EXPECT_EQ(chip.startedUp(), c.base != 0xD010);
                EXPECT_EQ(item("MnuLpt1")->isEnabled(), c.lpt1On) << std::hex << c.base;
        EXPECT_EQ(item("MnuLpt2")->isEnabled(), c.lpt2On) << std::hex << c.base;
        EXPECT_EQ(item("Mnuprn")->isEnabled(), c.prnOn) << std::hex << c.base;
        QString checked;
        for (QAction* a : {item("MnuLpt1"), item("MnuLpt2"), item("Mnuprn")})
            if (a->isChecked()) checked += a->objectName();
        EXPECT_EQ(checked.toStdString(), c.checked);
        // The words go to the card's own address, above 0x7FFF too.
        EXPECT_EQ(hexWords(fake->wordsAt(c.base)), hexWords({0xD800, 0xC000, 0x8000}));
    }
}

TEST_F(StartupTest, FailedClaimIsReportedAndStartUpGoesOn) {
    fake->claimResult = 0;
    startup.SetupPort();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, "claim parallel port failed");
    EXPECT_EQ(notices[0].title, "QZ4471");
    EXPECT_EQ(notices[0].icon, platform::MessageIcon::None);
    EXPECT_EQ(port.portAddress(), 0x378);
    EXPECT_EQ(hexWords(fake->wordsAt(0x378)), hexWords({0xD800, 0xC000, 0x8000}));
}

TEST_F(StartupTest, AFailingControlRegisterIsShownInABoxAndStartUpGoesOn) {
    fake->controlFails = true;
    startup.SetupPort();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].title, "QZ4471");
    EXPECT_TRUE(notices[0].text.contains("control register unreadable")) << notices[0].text.toStdString();
    EXPECT_EQ(hexWords(fake->wordsAt(0x378)), hexWords({0xD800, 0xC000, 0x8000}));
}

TEST_F(StartupTest, NoPrinterPortDropsEveryWriteUntilAPortIsChosen) {
    fake->infoResult = 0;
    startup.SetupPort();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, "This PC does not appear to have a Printer Port");
    EXPECT_EQ(notices[0].icon, platform::MessageIcon::Warning);
    EXPECT_EQ(port.portAddress(), 0);
    window();  // its start-up words go to I/O 0: dropped
    EXPECT_TRUE(fake->ops.empty());
    EXPECT_EQ(diagnostics.size(), 1u);
    window().MnuLpt1_Click();
    window().Command13_Click();
    EXPECT_EQ(hexWords(fake->wordsAt(0x378)), hexWords({0xA000}));
    EXPECT_EQ(fake->firstControlOp(), fake->ops.size()) << "a menu choice prepares no control register";
}

TEST_F(StartupTest, StatusBoxOnSlashSSInAnyCase) {
    startup.SetupPort();
    struct { QStringList args; bool shown; } cases[] = {
        {{"/SS"}, true}, {{"/ss"}, true}, {{"--port", "sim", "/sS"}, true}, {{"x/Ssy"}, true},
        {{}, false}, {{"SS"}, false}, {{"/S", "S"}, false}, {{"-SS"}, false},
    };
    for (auto& c : cases) {
        notices.clear();
        startup.ShowStatus(c.args);
        ASSERT_EQ(notices.size(), c.shown ? 1u : 0u) << c.args.join(' ').toStdString();
        if (!c.shown) continue;
        EXPECT_EQ(notices[0].title, "Show Status");
        EXPECT_EQ(notices[0].icon, platform::MessageIcon::Information);
        EXPECT_EQ(notices[0].text, QString("Windows Version:Failed\rPort Address:0x378"));
    }
    port.setPortAddress(0xD010);
    notices.clear();
    startup.ShowStatus({"/SS"});
    EXPECT_EQ(notices.at(0).text, QString("Windows Version:Failed\rPort Address:0xD010"));
}
