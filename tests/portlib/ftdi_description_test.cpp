// The FTDI description grammar: what each text names, and why a text names nothing.
#include "portlib/ftdi/Description.h"

#include <gtest/gtest.h>

namespace {

using portlib::ftdi::Description;
using Kind = Description::Kind;

struct Case {
    std::string text;
    Kind kind;
    int a, b, c;         // bus/address, or vendor/product/index
    std::string serial;  // or, for a bad text, the words of its problem
    bool good = true;
};

class FtdiDescription : public ::testing::TestWithParam<Case> {};

TEST_P(FtdiDescription, ParsesAsLibusbNumbersAreShown) {
    const Case& c = GetParam();
    const auto parsed = portlib::ftdi::parseDescription(c.text);
    if (!c.good) {
        EXPECT_FALSE(parsed.description) << c.text;
        EXPECT_NE(parsed.problem.find(c.serial), std::string::npos) << parsed.problem;
        return;
    }
    ASSERT_TRUE(parsed.description) << parsed.problem;
    const Description& d = *parsed.description;
    EXPECT_EQ(d.kind, c.kind);
    if (c.kind == Kind::Bus) {
        EXPECT_EQ(d.bus, c.a);
        EXPECT_EQ(d.address, c.b);
    } else if (c.kind != Kind::Only) {
        EXPECT_EQ(d.vendor, c.a);
        EXPECT_EQ(d.product, c.b);
        EXPECT_EQ(d.index, c.c);
        EXPECT_EQ(d.serial, c.serial);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FtdiDescription,
    ::testing::Values(Case{"", Kind::Only, 0, 0, 0, ""}, Case{"d:001/007", Kind::Bus, 1, 7, 0, ""},
                      Case{"d:010/099", Kind::Bus, 10, 99, 0, ""},  // a leading 0 is decimal
                      Case{"i:0x0403:0x6014", Kind::Index, 0x0403, 0x6014, 0, ""},
                      Case{"i:1027:24577:12", Kind::Index, 0x0403, 0x6001, 12, ""},
                      Case{"i:0x403:0X6015:010", Kind::Index, 0x0403, 0x6015, 10, ""},
                      Case{"s:0x0403:0x6010:FT:12", Kind::Serial, 0x0403, 0x6010, 0, "FT:12"},
                      Case{"i:0403:0x6014", Kind::Index, 0, 0, 0, "0x0193:0x6014 is no FTDI adapter", false},
                      Case{"i:0x10403:0x6014", Kind::Index, 0, 0, 0, "vendor '0x10403'", false},
                      Case{"i:0x0403:-1", Kind::Index, 0, 0, 0, "product '-1'", false},
                      Case{"i:0x0403:0x6014:", Kind::Index, 0, 0, 0, "INDEX ''", false},
                      Case{"s:0x0403:0x6014:\x7f", Kind::Serial, 0, 0, 0, "printable ASCII", false},
                      Case{"d:1/", Kind::Bus, 0, 0, 0, "BUS and DEV", false},
                      Case{"D:1/2", Kind::Bus, 0, 0, 0, "none of i:, s:, d:", false},
                      Case{"x", Kind::Bus, 0, 0, 0, "none of i:, s:, d:", false}));

}  // namespace
