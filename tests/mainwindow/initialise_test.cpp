// "&Initialise": the exact word stream from several starting states.
#include "MainFormFixture.h"

namespace {
const std::vector<uint16_t> kLoads = {0x3000, 0x2100, 0x3200, 0x2300, 0x3400, 0x2500, 0x3600, 0x2700,
                                      0x1800, 0x0900, 0x1A00, 0x0B00, 0x1C00, 0x0D00, 0x1E00, 0x0F00};
std::vector<uint16_t> stream(std::vector<uint16_t> head, std::vector<uint16_t> tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}
}  // namespace

TEST_F(MainFormTest, InitialiseFromAFreshStartSendsTheTwentyTwoWords) {
    clickOn(ui().Command15);
    EXPECT_EQ(hexWords(words()), hexWords(stream(kLoads, {0xC800, 0xC000, 0xD000, 0xC000, 0x5000, 0x4000})));
    EXPECT_EQ(ui().Text1->text(), "0.0000000000");
    EXPECT_EQ(ui().Text2->text(), "0.0000000000");
    EXPECT_EQ(ui().Text3->text(), "0");
    EXPECT_EQ(ui().Text4->text(), "0");
    EXPECT_EQ(ui().Label11->text(), "00000000");
    EXPECT_EQ(ui().Label12->text(), "00000000");
    EXPECT_EQ(focus(), ui().Picture1);
}

TEST_F(MainFormTest, InitialiseFromSleepWithResetAndSelsrc) {
    typeInto(ui().Text1, "5");
    pressEnter();
    clickOn(ui().Command8);
    clickOn(ui().Option2);
    clickOn(ui().Command11);
    clickOn(ui().Option3D2);
    clickOn(ui().Option3D6);
    wire.clear();
    clickOn(ui().Command15);
    EXPECT_EQ(hexWords(words()), hexWords(stream(kLoads, {0xF800, 0xD000, 0xD000, 0xC000, 0x5000, 0x4000})));
    EXPECT_TRUE(ui().Option1->isChecked());
    EXPECT_TRUE(ui().Option3D1->isChecked());
    EXPECT_TRUE(ui().Option3D3->isChecked());
    EXPECT_FALSE(ui().Option3D1->isEnabled());
    EXPECT_EQ(ui().Command8->text(), "&Reset Bit = 0");
    EXPECT_EQ(ui().Command11->text(), "SE&LSRC = 0");
    // Every stored bit is 0 again: a Reset toggle now sends Reset alone.
    wire.clear();
    clickOn(ui().Command8);
    EXPECT_WORDS(words(), 0xD000);
}

TEST_F(MainFormTest, InitialiseTwiceSendsTheStreamTwice) {
    clickOn(ui().Command15);
    const auto once = words();
    wire.clear();
    clickOn(ui().Command15);
    EXPECT_EQ(hexWords(words()), hexWords(once));
}

// A clock that is no number never becomes the clock, so Initialise still
// loads both frequency registers (with the committed 50 MHz).
TEST_F(MainFormTest, InitialiseAfterARefusedClockLoadsEveryRegister) {
    typeInto(ui().Text1, "3");
    pressEnter();
    typeInto(ui().Text7, "abc");
    pressEnter();
    EXPECT_EQ(beeps, 1);
    wire.clear();
    clickOn(ui().Command15);
    std::vector<uint16_t> expected(kLoads.begin(), kLoads.end());
    expected.insert(expected.end(), {0xC800, 0xC000, 0xD000, 0xC000, 0x5000, 0x4000});
    EXPECT_EQ(hexWords(words()), hexWords(expected));
    EXPECT_EQ(ui().Text1->text(), "0.0000000000");
    EXPECT_EQ(ui().Text7->text(), "50.000000");
    EXPECT_TRUE(notices.empty());
}
