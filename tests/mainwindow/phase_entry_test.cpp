// Phase fields: floor for PHASE0, ties-to-even for the others, clamping to
// 12 bits, which texts are rewritten, and 16-bit overflow as an error.
#include "MainFormFixture.h"

struct PhaseCase {
    int field;  // 3..6
    const char* typed;
    const char* shown;
    std::vector<uint16_t> words;
};

class PhaseEntry : public MainFormTest, public ::testing::WithParamInterface<PhaseCase> {
protected:
    QLineEdit* field(int n) {
        QLineEdit* f[] = {ui().Text3, ui().Text4, ui().Text5, ui().Text6};
        return f[n - 3];
    }
};

TEST_P(PhaseEntry, EnterLoadsThePhaseRegister) {
    const PhaseCase& c = GetParam();
    typeInto(field(c.field), c.typed);
    pressEnter();
    EXPECT_EQ(field(c.field)->text().toStdString(), c.shown);
    EXPECT_EQ(hexWords(words()), hexWords(c.words));
    EXPECT_EQ(focus(), c.words.empty() ? static_cast<QWidget*>(field(c.field)) : ui().Picture1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PhaseEntry,
    ::testing::Values(
        PhaseCase{3, "4095", "4095", {0x18FF, 0x090F}},
        PhaseCase{3, "12.9", "12", {0x180C, 0x0900}},
        PhaseCase{3, "5000", "4095", {0x18FF, 0x090F}},
        PhaseCase{3, "-0.5", "0", {0x1800, 0x0900}},
        PhaseCase{3, "-32768", "0", {0x1800, 0x0900}},
        PhaseCase{3, "32767.9", "4095", {0x18FF, 0x090F}},
        PhaseCase{3, "40000", "", {}},
        PhaseCase{3, "-32769", "", {}},
        PhaseCase{3, "", "", {}},
        PhaseCase{4, "12.9", "13", {0x1A0D, 0x0B00}},
        PhaseCase{4, "12.5", "12", {0x1A0C, 0x0B00}},
        PhaseCase{4, "13.5", "14", {0x1A0E, 0x0B00}},
        // The field shows the value loaded, rounded or clamped.
        PhaseCase{4, "4095.4", "4095", {0x1AFF, 0x0B0F}},
        PhaseCase{4, "4095.7", "4095", {0x1AFF, 0x0B0F}},
        PhaseCase{4, "5000", "4095", {0x1AFF, 0x0B0F}},
        PhaseCase{4, "40000", "", {}},
        PhaseCase{4, "32767.5", "", {}},  // rounds to 32768: beyond 16 bits
        PhaseCase{5, "291", "291", {0x1C23, 0x0D01}},
        PhaseCase{5, "-3", "0", {0x1C00, 0x0D00}},
        PhaseCase{5, "-0.4", "0", {0x1C00, 0x0D00}},
        PhaseCase{6, "256", "256", {0x1E00, 0x0F01}},
        PhaseCase{6, "32767", "4095", {0x1EFF, 0x0F0F}},
        PhaseCase{6, "x", "", {}}));

TEST_F(MainFormTest, LeavingAnEmptyPhaseFieldBringsTheFocusBack) {
    typeInto(ui().Text3, "");
    pressTab();
    EXPECT_EQ(focus(), ui().Text3);
    EXPECT_EQ(ui().Text3->text(), "");
    pressTab();
    EXPECT_EQ(focus(), ui().Text3);
    EXPECT_TRUE(words().empty());
    typeInto(ui().Text3, "7");
    pressTab();
    EXPECT_EQ(focus(), ui().Text4);
    EXPECT_WORDS(words(), 0x1807, 0x0900);
}
