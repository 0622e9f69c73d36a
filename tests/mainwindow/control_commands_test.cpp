// Toggles, Normal/Sleep, Clear and the selection options: their words,
// captions and the enabling of the selection options.
#include "MainFormFixture.h"
#include "portlib/Parllio.h"

#include <QTest>

TEST_F(MainFormTest, SelsrcTogglesItsWordCaptionAndTheOptions) {
    QRadioButton* options[] = {ui().Option3D1, ui().Option3D2, ui().Option3D3,
                               ui().Option3D4, ui().Option3D5, ui().Option3D6};
    for (auto* o : options) EXPECT_FALSE(o->isEnabled());
    clickOn(ui().Command11);
    EXPECT_WORDS(words(), 0x9000);
    EXPECT_EQ(ui().Command11->text(), "SE&LSRC = 1");
    for (auto* o : options) EXPECT_TRUE(o->isEnabled());
    EXPECT_EQ(focus(), ui().Picture1);
    wire.clear();
    clickOn(ui().Command11);
    EXPECT_WORDS(words(), 0x8000);
    EXPECT_EQ(ui().Command11->text(), "SE&LSRC = 0");
    for (auto* o : options) EXPECT_FALSE(o->isEnabled());
}

TEST_F(MainFormTest, SyncCarriesSelsrc) {
    clickOn(ui().Command13);
    EXPECT_WORDS(words(), 0xA000);
    EXPECT_EQ(ui().Command13->text(), "&Sync Bit = 1");
    clickOn(ui().Command11);
    clickOn(ui().Command13);
    clickOn(ui().Command13);
    EXPECT_WORDS(words(), 0xA000, 0xB000, 0x9000, 0xB000);
}

TEST_F(MainFormTest, SleepAndNormalCarryReset) {
    clickOn(ui().Command8);
    clickOn(ui().Option2);
    clickOn(ui().Option1);
    EXPECT_WORDS(words(), 0xD000, 0xF000, 0xD000);
    EXPECT_EQ(ui().Command8->text(), "&Reset Bit = 1");
    EXPECT_TRUE(ui().Option1->isChecked());
}

TEST_F(MainFormTest, ClearPulsesOnceAndForgetsSyncAndSelsrc) {
    clickOn(ui().Command8);
    clickOn(ui().Option2);
    clickOn(ui().Command13);
    clickOn(ui().Command11);
    wire.clear();
    clickOn(ui().Command14);
    EXPECT_WORDS(words(), 0xF800);
    EXPECT_EQ(ui().Command8->text(), "&Reset Bit = 1");
    EXPECT_TRUE(ui().Option2->isChecked());
    EXPECT_EQ(ui().Command13->text(), "&Sync Bit = 0");
    EXPECT_EQ(ui().Command11->text(), "SE&LSRC = 0");
    EXPECT_FALSE(ui().Option3D2->isEnabled());
    EXPECT_EQ(focus(), ui().Picture1);
    // The next word no longer carries the Clear bit; Sync starts again from 0.
    clickOn(ui().Command8);
    clickOn(ui().Command13);
    EXPECT_WORDS(words(), 0xF800, 0xE000, 0xA000);
}

TEST_F(MainFormTest, SelectionWordsIgnoreTheStoredBits) {
    clickOn(ui().Command11);  // SELSRC 1 enables the options
    clickOn(ui().Command13);
    clickOn(ui().Command8);
    clickOn(ui().Option2);
    wire.clear();
    struct { QRadioButton* option; uint16_t word; } cases[] = {
        {ui().Option3D2, 0x5800}, {ui().Option3D1, 0x5000}, {ui().Option3D6, 0x4600},
        {ui().Option3D5, 0x4400}, {ui().Option3D4, 0x4200}, {ui().Option3D3, 0x4000},
        {ui().Option3D3, 0x4000},  // a click on the selected option sends again
    };
    for (auto& c : cases) {
        QWidget* before = focus();
        clickOn(c.option);
        EXPECT_WORDS(words(), c.word) << c.option->objectName().toStdString();
        EXPECT_TRUE(c.option->isChecked());
        EXPECT_NE(focus(), ui().Picture1) << "a selection moves no focus";
        (void)before;
        wire.clear();
    }
}

TEST_F(MainFormTest, DisabledOptionsIgnoreClicks) {
    clickOn(ui().Option3D2);
    EXPECT_TRUE(words().empty());
    EXPECT_TRUE(ui().Option3D1->isChecked());
}

TEST_F(MainFormTest, PortMenuMovesTheNextWordWithNoControlWrite) {
    ui().MnuLpt2->trigger();
    EXPECT_TRUE(ui().MnuLpt2->isChecked());
    EXPECT_FALSE(ui().MnuLpt1->isChecked());
    EXPECT_FALSE(ui().Mnuprn->isChecked());
    wire.recording().clear();
    // 0x278 is no port of the simulated board: the writes are dropped there,
    // and nothing at all reaches the board or its control register.
    clickOn(ui().Command13);
    EXPECT_TRUE(wire.recording().operations().empty());
    ui().Mnuprn->trigger();
    EXPECT_TRUE(ui().Mnuprn->isChecked());
    EXPECT_FALSE(ui().MnuLpt2->isChecked());
    ui().MnuLpt1->trigger();
    clickOn(ui().Command13);
    EXPECT_WORDS(words(), 0x8000);
    for (const auto& op : wire.recording().operations()) EXPECT_EQ(op.address, 0x378);
}

// A board whose port stops answering.
class DeadPort : public PortBackendDecorator {
public:
    using PortBackendDecorator::PortBackendDecorator;
    void OutByte(uint16_t, int32_t) override { throw PortError("device gone"); }
};

TEST_F(MainFormTest, AFailingPortIsReportedOnceAndTheProgramGoesOn) {
    auto previous = wire.port.setBackend(nullptr);
    wire.port.setBackend(std::make_unique<DeadPort>(std::move(previous)));
    clickOn(ui().Command13);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].title, "QZ4471");
    EXPECT_TRUE(notices[0].text.contains("device gone"));
    clickOn(ui().Command15);  // Initialise: many commands, one box
    EXPECT_EQ(notices.size(), 2u);
    clickOn(ui().Option2);
    EXPECT_EQ(notices.size(), 3u);
    // Loads report it too: a port failure is no bad entry, so the text stays.
    for (QLineEdit* f : {ui().Text1, ui().Text2, ui().Text3, ui().Text5}) {
        typeInto(f, "1");
        pressEnter();
        EXPECT_EQ(f->text().left(1), "1") << f->objectName().toStdString();
    }
    ASSERT_EQ(notices.size(), 7u);
    EXPECT_TRUE(notices[6].text.contains("device gone"));
    EXPECT_FALSE(endedWith.has_value());
}
