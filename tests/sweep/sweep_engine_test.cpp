// Step rules of the sawtooth sweep, without window or timers.
#include "control/SweepGroup.h"

#include <optional>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Walk {
    float start, stop, step, loops;
    std::vector<float> values;  // one per tick until the last loop ends
};

class StepRules : public ::testing::TestWithParam<Walk> {};

TEST_P(StepRules, LoadsTheValuesOfEachTickAndEndsAfterTheLastLoop) {
    const Walk& w = GetParam();
    const auto check = sweep::checkStart({std::to_string(w.start), std::to_string(w.stop), std::to_string(w.step),
                                          std::to_string(w.loops), "1"});
    ASSERT_TRUE(check.plan);
    SweepGroup g = check.plan->params;
    auto rule = check.plan->direction == sweep::Direction::Up ? &sweep::stepUp : &sweep::stepDown;
    for (size_t i = 0; i < w.values.size(); ++i) {
        const sweep::Step s = rule(g);
        EXPECT_FLOAT_EQ(s.freq, w.values[i]) << "tick " << i;
        EXPECT_EQ(s.lastLoopDone, i + 1 == w.values.size()) << "tick " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, StepRules,
                         ::testing::Values(Walk{0, 10, 3, 1, {0, 3, 6, 9, 10}},
                                           Walk{0, 10, 5, 2, {0, 5, 10, 10, 0, 5, 10, 10}},
                                           Walk{10, 0, 3, 1, {10, 7, 4, 1, 0}},
                                           Walk{1, 2, 1, 1, {1, 2, 2}},
                                           Walk{2, 1, 1, 1, {2, 1, 1}}));

struct StartCase {
    const char *start, *stop, *step, *loops;
    std::optional<sweep::Refusal> refusal;  // none: accepted
    sweep::Direction direction;
};

class StartChecks : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartChecks, AcceptsOnlyASweepThatEnds) {
    const StartCase& c = GetParam();
    const auto check = sweep::checkStart({c.start, c.stop, c.step, c.loops, "1"});
    ASSERT_EQ(check.plan.has_value(), !c.refusal);
    if (!c.refusal) EXPECT_EQ(check.plan->direction, c.direction);
    else EXPECT_EQ(check.refusal, *c.refusal);
}

using sweep::Direction;
using sweep::Refusal;
INSTANTIATE_TEST_SUITE_P(Spans, StartChecks,
                         ::testing::Values(StartCase{"0", "10", "1", "1", {}, Direction::Up},
                                           StartCase{"10", "0", "1", "3", {}, Direction::Down},
                                           StartCase{"5", "5", "0.1", "1", Refusal::StepTooBig, {}},
                                           StartCase{"1", "2", "1", "1", {}, Direction::Up},
                                           StartCase{"1", "2", "1.5", "1", Refusal::StepTooBig, {}},
                                           // A step of 0 or loops that are no whole number never end.
                                           StartCase{"5", "5", "0", "1", Refusal::StepNotPositive, {}},
                                           StartCase{"0", "10", "0", "1", Refusal::StepNotPositive, {}},
                                           StartCase{"0", "10", "1", "2.5", Refusal::LoopsNotWhole, {}},
                                           StartCase{"0", "10", "1", "1e6", {}, Direction::Up}));

TEST(StartChecks, RefusesATextThatIsNoNumber) {
    for (int empty = 0; empty < 5; ++empty) {
        sweep::FieldTexts t{"0", "10", "1", "1", "1"};
        std::string* fields[] = {&t.start, &t.stop, &t.step, &t.loops, &t.delay};
        *fields[empty] = "";
        const auto check = sweep::checkStart(t);
        EXPECT_FALSE(check.plan) << "field " << empty;
        EXPECT_EQ(check.refusal, sweep::Refusal::NotANumber);
    }
    EXPECT_FALSE(sweep::checkStart({"0", "1e39", "1", "1", "1"}).plan) << "beyond single range";
}

TEST(Periods, RoundHalvesToEven) {
    const std::pair<float, int> cases[] = {{2.5f, 2}, {3.5f, 4}, {2.75f, 3}, {0.5f, 0}, {1.5f, 2},
                                           {0, 0},    {1, 1},    {100000, 100000}, {-1, 0}};
    for (auto [delay, period] : cases) EXPECT_EQ(sweep::periodFor(delay), period) << delay;
}

TEST(StepIndex, KeepsCountingPastTwoToTheTwentyFour) {
    SweepGroup g{0, 40, 1e-6f, 1, 1, 16777215, 0};
    std::vector<float> f;
    for (int tick = 0; tick < 4; ++tick) {
        f.push_back(sweep::stepUp(g).freq);
        EXPECT_EQ(f.back(), static_cast<float>(static_cast<double>(16777215 + tick) * 1e-6f)) << "tick " << tick;
    }
    EXPECT_LT(f.front(), f.back()) << "the frequency keeps advancing";
    EXPECT_EQ(g.StepIndex, 16777219);
}

}  // namespace
