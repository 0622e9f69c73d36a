// Number text: what is accepted, rounding, the display patterns, and
// randomized agreement with an independent reading of the same grammar.
#include "numeric/NumberText.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <regex>

using namespace numeric;

TEST(NumberText, AcceptedForms) {
    struct { const char* text; double value; } cases[] = {
        {"12.5", 12.5}, {"  12.5\t", 12.5}, {"+7", 7}, {"-0.5", -0.5}, {".5", 0.5}, {"5.", 5},
        {"1e3", 1000}, {"1E-3", 0.001}, {"-2.5e+2", -250}, {"007", 7}, {"0", 0}, {"1e308", 1e308},
    };
    for (auto& c : cases) {
        auto v = parseDouble(c.text);
        ASSERT_TRUE(v.has_value()) << c.text;
        EXPECT_DOUBLE_EQ(*v, c.value) << c.text;
    }
}

TEST(NumberText, RejectedForms) {
    for (const char* t : {"", " ", "-", "+", ".", "-.", "e5", "1e", "1e+", "1.2.3", "1,5", "12,5", "inf", "-inf",
                          "nan", "NaN", "0x10", "1e309", "--1", "+-1", "1 2", "12a", "a12", "١٢", "1_000"}) {
        EXPECT_FALSE(parseDouble(t).has_value()) << '"' << t << '"';
    }
    // Beyond single range is an error where the value is taken as a single.
    EXPECT_FALSE(parseSingle("3.5e38").has_value());
    EXPECT_TRUE(parseSingle("3.4e38").has_value());
    EXPECT_THROW(toSingle("1e39"), ConversionError);
    EXPECT_THROW(toDouble("abc"), ConversionError);
}

TEST(NumberText, IndependentOfTheUserLocale) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale here";
    EXPECT_EQ(parseDouble("12.5"), 12.5);
    EXPECT_FALSE(parseDouble("12,5").has_value());
    EXPECT_EQ(formatFixed(12.5, 1, 10), "12.5000000000");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(NumberText, RoundsHalfToEven) {
    struct { double in, out; } cases[] = {{12.5, 12}, {13.5, 14}, {-0.5, 0}, {-1.5, -2}, {4095.7, 4096},
                                          {2.4999, 2}, {0.5, 0}, {1.5, 2}, {32767.5, 32768}};
    for (auto& c : cases) EXPECT_EQ(roundHalfEven(c.in), c.out) << c.in;
}

TEST(NumberText, SixteenBitRange) {
    EXPECT_EQ(toInt16(-32768), -32768);
    EXPECT_EQ(toInt16(32767), 32767);
    EXPECT_THROW(toInt16(32768), ConversionError);
    EXPECT_THROW(toInt16(-32769), ConversionError);
    EXPECT_THROW(toInt16(NAN), ConversionError);
}

TEST(NumberText, DisplayPatterns) {
    struct { double v; int intDigits, decimals; const char* shown; } cases[] = {
        {0, 1, 10, "0.0000000000"}, {12.5, 1, 10, "12.5000000000"}, {25, 1, 10, "25.0000000000"},
        {50, 0, 6, "50.000000"}, {0.5, 0, 6, ".500000"}, {150, 0, 6, "150.000000"}, {-0.5, 0, 6, "-.500000"},
        {0, 0, 6, ".000000"}, {5, 2, 10, "05.0000000000"}, {5, 2, 8, "05.00000000"}, {123, 2, 8, "123.00000000"},
        {-1e-12, 1, 10, "0.0000000000"}, {0.99999999999, 1, 10, "1.0000000000"},
    };
    for (auto& c : cases) EXPECT_EQ(formatFixed(c.v, c.intDigits, c.decimals), c.shown) << c.v;
    // A single shows from its shortest decimal form, not its binary expansion.
    EXPECT_EQ(formatFixedSingle(1.1f, 1, 10), "1.1000000000");
    EXPECT_EQ(formatFixedSingle(1.5f, 2, 10), "01.5000000000");
    EXPECT_EQ(format_clock(60.0f), "60.000000");
}

TEST(NumberText, GeneralForm) {
    struct { float v; const char* shown; } cases[] = {
        {1, "1"}, {2.5f, "2.5"}, {100000, "100000"}, {2.75f, "2.75"}, {0, "0"}, {-1, "-1"}, {1234567, "1234567"},
        {0.1f, "0.1"}, {1.0000001f, "1"}};
    for (auto& c : cases) EXPECT_EQ(formatGeneral(c.v), c.shown) << c.v;
}

// The grammar written once more, as a regular expression, as an oracle.
static const std::regex kGrammar(R"(^[ \t]*[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?[ \t]*$)");

static std::optional<double> oracle(const std::string& t) {
    if (!std::regex_match(t, kGrammar)) return std::nullopt;
    std::string body = t.substr(t.find_first_not_of(" \t"));
    body = body.substr(0, body.find_last_not_of(" \t") + 1);
    if (body[0] == '+') body.erase(0, 1);
    double v = 0;
    auto r = std::from_chars(body.data(), body.data() + body.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v)) return std::nullopt;
    return v;
}

TEST(NumberTextProperty, AgreesWithFromCharsOnRandomTexts) {
    std::mt19937 rng(4471);
    const std::string alphabet = "0123456789+-.eE \t,x";
    auto pick = [&](const std::string& from) { return from[rng() % from.size()]; };
    for (int i = 0; i < 50000; ++i) {
        std::string t;
        if (i % 2) {
            // Mostly well formed: sign, digits, point, exponent, blanks.
            if (rng() % 3 == 0) t += pick(" \t");
            if (rng() % 2) t += pick("+-");
            for (int n = rng() % 6; n > 0; --n) t += pick("0123456789");
            if (rng() % 2) t += '.';
            for (int n = rng() % 6; n > 0; --n) t += pick("0123456789");
            if (rng() % 3 == 0) {
                t += pick("eE");
                if (rng() % 2) t += pick("+-");
                for (int n = rng() % 4; n > 0; --n) t += pick("0123456789");
            }
            if (rng() % 3 == 0) t += pick(" \t");
        } else {
            for (int n = rng() % 10; n > 0; --n) t += pick(alphabet);
        }
        const auto got = parseDouble(t), want = oracle(t);
        ASSERT_EQ(got.has_value(), want.has_value()) << '"' << t << '"';
        if (got) {
            ASSERT_EQ(*got, *want) << '"' << t << '"';
        }
    }
}

TEST(NumberTextProperty, FormattingThenParsingGivesTheValueBack) {
    std::mt19937 rng(2026);
    std::uniform_real_distribution<float> singles(0.01f, 1e7f);
    std::uniform_int_distribution<int> thousandths(-1000000, 1000000);
    for (int i = 0; i < 20000; ++i) {
        const float f = singles(rng);
        EXPECT_EQ(parseSingle(formatFixedSingle(f, 1, 10)), f) << f;
        EXPECT_EQ(parseSingle(formatFixedSingle(f, 2, 10)), f) << f;
        const float clock = static_cast<float>(thousandths(rng)) / 1000.0f;
        EXPECT_EQ(parseSingle(format_clock(clock)), clock) << clock;
        const double d = std::ldexp(static_cast<double>(rng() % (1u << 30)), -10);  // 2^-10 needs ten decimals
        EXPECT_EQ(parseDouble(formatFixed(d, 1, 10)), d) << d;
    }
}
