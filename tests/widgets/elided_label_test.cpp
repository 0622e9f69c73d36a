// Text that does not fit ends in an ellipsis, whole in the tooltip; text that
// fits is drawn as it is, without a tooltip. text() always stays whole.
#include "widgets/ElidedLabel.h"

#include <gtest/gtest.h>

struct ElideCase {
    const char* text;
    int width;
    bool elided;
};

class Elision : public ::testing::TestWithParam<ElideCase> {};

TEST_P(Elision, ShortensOnlyWhatDoesNotFit) {
    const ElideCase& c = GetParam();
    ElidedLabel label(QString::fromUtf8(c.text));
    label.resize(c.width, 40);
    label.grab();  // paints
    EXPECT_EQ(label.elided(), c.elided);
    EXPECT_EQ(label.toolTip(), c.elided ? label.text() : QString());
    EXPECT_EQ(label.text(), QString::fromUtf8(c.text));
    EXPECT_LT(label.minimumSizeHint().width(), 120) << "a status bar can squeeze it";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Elision,
    ::testing::Values(ElideCase{"Sweep 1: 7.000000 MHz", 600, false},
                      ElideCase{"Sweep 0: 0.100000 MHz, step 2 of 102, loop 1 of 2; Sweep 1: 7.000000 MHz", 200, true},
                      ElideCase{"3.000000 MHz, step 1 of 8\nloop 1 of 2, 2.7 s left", 400, false},
                      ElideCase{"3.000000 MHz, step 1 of 8\nloop 1 of 2, 2.7 s left", 90, true}));
