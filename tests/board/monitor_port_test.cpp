// The monitor decorator: words sent to any back end, decoded at the data
// register the back end reports, fed to a chip model on the program's clock.
#include "board/ChipModel.h"
#include "board/MonitorPort.h"
#include "link/CommsFunctions.h"
#include "portlib/Parllio.h"
#include "support/StubPort.h"

#include <gtest/gtest.h>

namespace {

// A port at a base the test chooses, that keeps nothing.
class BarePort : public StubPort {
public:
    explicit BarePort(uint16_t base) : base_(base) {}
    int32_t GetParallelPortInfo(int32_t, ParallelPortInfo& info) override {
        info.baseAddress = base_;
        return 1;
    }
    void OutByte(uint16_t a, int32_t) override {
        if (failing) throw PortError("gone");
        ++writes[a - base_];
    }
    bool ownsAddress(uint16_t a) const override { return a >= base_ && a <= base_ + 2; }
    int writes[3] = {};
    bool failing = false;

private:
    uint16_t base_;
};

class MonitorPortTest : public ::testing::Test {
protected:
    void install(uint16_t base) {
        auto bare = std::make_unique<BarePort>(base);
        port = bare.get();
        auto monitor = std::make_unique<MonitorPort>(std::move(bare));
        model = attachChipModel(*monitor, [this] { return clock; });
        monitorPort = monitor.get();
        parllio.setBackend(std::move(monitor));
    }
    void SendWord(uint16_t address, uint16_t word) {
        tx.SendWord(address, word);
        model->drain();
    }

    portlib::Parllio parllio;
    Transmitter tx{parllio};
    double clock = 50.0;
    BarePort* port = nullptr;
    MonitorPort* monitorPort = nullptr;
    std::shared_ptr<ChipModel> model;
};

TEST_F(MonitorPortTest, WordsSentToTheReportedDataRegisterReachTheModelAndTheBackEnd) {
    install(0xD010);
    ParallelPortInfo info;
    ASSERT_EQ(parllio.GetParallelPortInfo(1, info), 1);
    EXPECT_EQ(monitorPort->dataRegister(), 0xD010);
    for (uint16_t w : {0x3000, 0x2100, 0x3200, 0x2340}) SendWord(0xD010, w);
    parllio.OutByte(0xD012, 0x00);  // the control register is no part of a word
    EXPECT_EQ(model->words(), 4u);
    EXPECT_EQ(model->framingErrors(), 0u);
    EXPECT_DOUBLE_EQ(model->registerMHz(0), 12.5);
    EXPECT_EQ(port->writes[0], 4 * 52);
    EXPECT_EQ(port->writes[2], 1);
}

TEST_F(MonitorPortTest, TheMegahertzFollowTheProgramsMasterClock) {
    install(0x378);
    for (uint16_t w : {0x3000, 0x2100, 0x3200, 0x2340}) SendWord(0x378, w);
    EXPECT_DOUBLE_EQ(model->outputMHz(), 12.5);
    clock = 40.0;
    SendWord(0x378, 0xC000);
    EXPECT_DOUBLE_EQ(model->clockMHz(), 40.0);
    EXPECT_DOUBLE_EQ(model->outputMHz(), 10.0);
}

TEST_F(MonitorPortTest, AWriteTheBackEndRefusesIsNotShownAsSent) {
    install(0x378);
    port->failing = true;
    EXPECT_THROW(SendWord(0x378, 0x8000), PortError);
    port->failing = false;
    SendWord(0x378, 0xC000);
    EXPECT_EQ(model->words(), 1u);
}

}  // namespace
