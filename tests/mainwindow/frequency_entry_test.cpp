// Frequency fields: clamping, the rewrite rules of the two fields, the
// tuning-word display and the four load words, all through typed keys.
#include "MainFormFixture.h"

struct FreqCase {
    const char* typed;
    const char* shown;
    const char* hex;
    std::vector<uint16_t> words;
};

class Freq0Entry : public MainFormTest, public ::testing::WithParamInterface<FreqCase> {};

TEST_P(Freq0Entry, EnterLoadsFreq0) {
    const FreqCase& c = GetParam();
    typeInto(ui().Text1, c.typed);
    pressEnter();
    EXPECT_EQ(ui().Text1->text().toStdString(), c.shown);
    EXPECT_EQ(ui().Label11->text().toStdString(), c.hex);
    EXPECT_EQ(hexWords(words()), hexWords(c.words));
    EXPECT_EQ(focus(), ui().Picture1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Freq0Entry,
    ::testing::Values(
        FreqCase{"1", "1.0000000000", "051EB852", {0x3052, 0x21B8, 0x321E, 0x2305}},
        FreqCase{"12.5", "12.5000000000", "40000000", {0x3000, 0x2100, 0x3200, 0x2340}},
        FreqCase{"10", "10.0000000000", "33333333", {0x3033, 0x2133, 0x3233, 0x2333}},
        FreqCase{"0", "0.0000000000", "00000000", {0x3000, 0x2100, 0x3200, 0x2300}},
        FreqCase{"25", "25.0000000000", "7FFFFFFF", {0x30FF, 0x21FF, 0x32FF, 0x237F}},
        FreqCase{"99", "25.0000000000", "7FFFFFFF", {0x30FF, 0x21FF, 0x32FF, 0x237F}},
        // Nine characters or more stay as typed, unless the value was clamped.
        FreqCase{"99.000000", "25.0000000000", "7FFFFFFF", {0x30FF, 0x21FF, 0x32FF, 0x237F}},
        FreqCase{"30.000000000", "25.0000000000", "7FFFFFFF", {0x30FF, 0x21FF, 0x32FF, 0x237F}},
        FreqCase{"12.50000000001", "12.50000000001", "40000000", {0x3000, 0x2100, 0x3200, 0x2340}},
        FreqCase{"-1", "0.0000000000", "00000000", {0x3000, 0x2100, 0x3200, 0x2300}},
        FreqCase{" 1e1 ", "10.0000000000", "33333333", {0x3033, 0x2133, 0x3233, 0x2333}},
        // A tiny word shows with its leading zeros.
        FreqCase{"0.0001", "0.0001000000", "0000218E", {0x308E, 0x2121, 0x3200, 0x2300}}));

class Freq1Entry : public MainFormTest, public ::testing::WithParamInterface<FreqCase> {};

TEST_P(Freq1Entry, EnterLoadsFreq1) {
    const FreqCase& c = GetParam();
    typeInto(ui().Text2, c.typed);
    pressEnter();
    EXPECT_EQ(ui().Text2->text().toStdString(), c.shown);
    EXPECT_EQ(ui().Label12->text().toStdString(), c.hex);
    EXPECT_EQ(hexWords(words()), hexWords(c.words));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Freq1Entry,
    ::testing::Values(
        FreqCase{"10", "10.0000000000", "33333333", {0x3433, 0x2533, 0x3633, 0x2733}},
        FreqCase{"30", "25.0000000000", "7FFFFFFF", {0x34FF, 0x25FF, 0x36FF, 0x277F}},
        // Always rewritten, also when long; single precision shown by its shortest form.
        FreqCase{"30.000000000", "25.0000000000", "7FFFFFFF", {0x34FF, 0x25FF, 0x36FF, 0x277F}},
        FreqCase{"1.1", "1.1000000000", "05A1CAC3", {0x34C3, 0x25CA, 0x36A1, 0x2705}},
        FreqCase{"-5", "0.0000000000", "00000000", {0x3400, 0x2500, 0x3600, 0x2700}}));

TEST_F(MainFormTest, TextThatIsNoNumberEmptiesTheFieldAndSendsNothing) {
    for (const char* bad : {"abc", "", "-", ".", "1.2.3", "1,5", "inf", "nan", "0x10", "1e999"}) {
        typeInto(ui().Text1, bad);
        pressEnter();
        EXPECT_EQ(ui().Text1->text(), "") << bad;
        EXPECT_EQ(focus(), ui().Text1) << bad;
        EXPECT_TRUE(words().empty()) << bad << ": " << hexWords(words());
    }
    EXPECT_TRUE(notices.empty());
}

// A clock that is no number or outside 0.001..1000 MHz is refused however the
// field is left: it shows the committed clock again, selected, keeps the
// focus, beeps once, and later loads still compute from 50 MHz.
struct ClockRefusal {
    const char* typed;
    int leave;  // 0 Enter, 1 Tab, 2 a click into Freq 0
};

class BadClock : public MainFormTest, public ::testing::WithParamInterface<ClockRefusal> {};

TEST_P(BadClock, IsRefusedAndChangesNothing) {
    typeInto(ui().Text7, GetParam().typed);
    switch (GetParam().leave) {
    case 0: pressEnter(); break;
    case 1: pressTab(); break;
    default: clickOn(ui().Text1); break;
    }
    EXPECT_EQ(ui().Text7->text(), "50.000000");
    EXPECT_EQ(focus(), ui().Text7);
    EXPECT_EQ(ui().Text7->selectedText(), "50.000000");
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(words().empty());
    EXPECT_FLOAT_EQ(chip.maxFreq(), 25.0f);
    typeInto(ui().Text1, "1");
    pressEnter();
    EXPECT_EQ(hexWords(words()), hexWords({0x3052, 0x21B8, 0x321E, 0x2305}));
}

INSTANTIATE_TEST_SUITE_P(TextsAndWaysOut, BadClock,
                         ::testing::Values(ClockRefusal{"abc", 0}, ClockRefusal{"0", 0}, ClockRefusal{"-5", 1},
                                           ClockRefusal{"1000.5", 2}, ClockRefusal{"1e40", 0}, ClockRefusal{"", 1},
                                           ClockRefusal{"0.0009", 2}));

struct LimitCase {
    const char* clock;
    bool enter;  // Enter in the clock field, or leave it by clicking into Freq 0
    const char* typed;
    const char* shown;
    const char* hex;
    float maxFreq;
};

class LimitFollowsTheClock : public MainFormTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(LimitFollowsTheClock, EveryLoadLimitsToHalfTheCommittedClock) {
    const LimitCase& c = GetParam();
    typeInto(ui().Text7, c.clock);
    if (c.enter) pressEnter();
    typeInto(ui().Text1, c.typed);
    EXPECT_FLOAT_EQ(chip.maxFreq(), c.maxFreq) << "the clock's own commit sets the limit";
    pressEnter();
    EXPECT_EQ(ui().Text1->text().toStdString(), c.shown);
    EXPECT_EQ(ui().Label11->text().toStdString(), c.hex);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LimitFollowsTheClock,
    ::testing::Values(LimitCase{"60", true, "28", "28.0000000000", "77777777", 30.0f},
                      LimitCase{"60", false, "30", "30.0000000000", "7FFFFFFF", 30.0f},
                      LimitCase{"20", true, "15", "10.0000000000", "7FFFFFFF", 10.0f},
                      LimitCase{"20", false, "9.5", "9.5000000000", "7999999A", 10.0f}));

TEST_F(MainFormTest, MasterClockFormatsWhenCommitted) {
    struct { const char* typed; const char* shown; } cases[] = {
        {"0.5", ".500000"}, {"50", "50.000000"}, {"150", "150.000000"}, {"1000", "1000.000000"},
        {"0.001", ".001000"}, {"-0.5", ".001000"}, {"abc", ".001000"}};
    for (auto& c : cases) {
        typeInto(ui().Text7, c.typed);
        pressEnter();
        EXPECT_EQ(ui().Text7->text().toStdString(), c.shown) << c.typed;
        EXPECT_EQ(focus(), ui().Text7);
    }
    // Leaving the clock field commits it too.
    typeInto(ui().Text7, "40");
    pressTab();
    EXPECT_EQ(ui().Text7->text(), "40.000000");
    EXPECT_NE(focus(), ui().Text7);
    EXPECT_DOUBLE_EQ(chip.clockMHz(), 40.0);
    EXPECT_TRUE(words().empty());
}

// Each field's tooltip names its unit and range, the master clock's too.
TEST_F(MainFormTest, EveryFieldsTooltipGivesItsUnitAndRange) {
    const std::pair<QLineEdit*, const char*> fields[] = {
        {ui().Text1, "in MHz, 0 to half the master clock"}, {ui().Text2, "in MHz, 0 to half the master clock"},
        {ui().Text3, "0 to 4095"}, {ui().Text4, "0 to 4095"}, {ui().Text5, "0 to 4095"}, {ui().Text6, "0 to 4095"},
        {ui().Text7, "in MHz, 0.001 to 1000"}};
    for (const auto& [field, says] : fields)
        EXPECT_TRUE(field->toolTip().contains(QLatin1String(says)))
            << field->objectName().toStdString() << ": " << field->toolTip().toStdString();
}
