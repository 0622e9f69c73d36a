// Step rules of the sawtooth sweep, without window or timers.
#include "control/SweepGroup.h"

#include <array>
#include <cmath>
#include <cstdlib>
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


// Log and up-and-down sweeps: the values of each tick as the rules give them,
// worked out here from start, stop and the point count.
struct PointWalk {
    sweep::Spacing spacing;
    bool upDown;
    const char *start, *stop, *step, *points, *loops;
    std::vector<int> order;     // point index of each tick until the run ends
    std::vector<double> row;    // the row of points (linear: by hand; log: empty, computed)
};

float logPoint(double start, double stop, int k, int n) {
    return static_cast<float>(start * std::pow(stop / start, static_cast<double>(k) / (n - 1)));
}

class PointRules : public ::testing::TestWithParam<PointWalk> {};

TEST_P(PointRules, LoadEachPointInTurnAndEndAfterTheLastLoop) {
    const PointWalk& w = GetParam();
    sweep::FieldTexts t{w.start, w.stop, w.step, w.loops, "1"};
    t.points = w.points;
    t.spacing = w.spacing;
    t.upDown = w.upDown;
    const auto check = sweep::checkStart(t);
    ASSERT_TRUE(check.plan);
    SweepGroup g = check.plan->params;
    const int n = std::atoi(w.points);
    for (size_t i = 0; i < w.order.size(); ++i) {
        const sweep::Step s = sweep::stepPoints(g);
        const int k = w.order[i];
        const float want = w.row.empty() ? logPoint(std::atof(w.start), std::atof(w.stop), k, n)
                                         : static_cast<float>(w.row[static_cast<size_t>(k)]);
        EXPECT_EQ(s.freq, want) << "tick " << i << ", point " << k;
        EXPECT_EQ(s.lastLoopDone, i + 1 == w.order.size()) << "tick " << i;
    }
}

using sweep::Spacing;
INSTANTIATE_TEST_SUITE_P(
    Kinds, PointRules,
    ::testing::Values(
        // Log up: a sawtooth over the points.
        PointWalk{Spacing::Log, false, "1", "8", "1", "4", "2", {0, 1, 2, 3, 0, 1, 2, 3}, {}},
        PointWalk{Spacing::Log, false, "20", "0.02", "1", "5", "1", {0, 1, 2, 3, 4}, {}},
        // Up and down: a triangle, point 0 again to close the run.
        PointWalk{Spacing::Log, true, "0.1", "10", "1", "3", "2", {0, 1, 2, 1, 0, 1, 2, 1, 0}, {}},
        PointWalk{Spacing::Log, true, "1", "2", "1", "2", "3", {0, 1, 0, 1, 0, 1, 0}, {}},
        // Linear up and down: the sawtooth's values, the stop once.
        PointWalk{Spacing::Linear, true, "0", "10", "3", "11", "1", {0, 1, 2, 3, 4, 3, 2, 1, 0}, {0, 3, 6, 9, 10}},
        PointWalk{Spacing::Linear, true, "0", "10", "5", "11", "2", {0, 1, 2, 1, 0, 1, 2, 1, 0}, {0, 5, 10}},
        PointWalk{Spacing::Linear, true, "10", "0", "4", "11", "1", {0, 1, 2, 3, 2, 1, 0}, {10, 6, 2, 0}}));

struct KindCheck {
    Spacing spacing;
    const char *start, *stop, *step, *points;
    std::optional<sweep::Refusal> refusal;
};

class KindChecks : public ::testing::TestWithParam<KindCheck> {};

TEST_P(KindChecks, RefuseWhatALogSweepCannotWalk) {
    const KindCheck& c = GetParam();
    sweep::FieldTexts t{c.start, c.stop, c.step, "1", "1"};
    t.points = c.points;
    t.spacing = c.spacing;
    const auto check = sweep::checkStart(t);
    ASSERT_EQ(check.plan.has_value(), !c.refusal) << c.start << " " << c.stop << " " << c.points;
    if (c.refusal) {
        EXPECT_EQ(check.refusal, *c.refusal);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Log, KindChecks,
    ::testing::Values(KindCheck{Spacing::Log, "0", "10", "1", "11", Refusal::LogNotPositive},
                      KindCheck{Spacing::Log, "10", "0", "1", "11", Refusal::LogNotPositive},
                      // The step does not count for a log sweep, even one too big or no number.
                      KindCheck{Spacing::Log, "1", "10", "20", "11", {}},
                      KindCheck{Spacing::Log, "1", "10", "", "11", {}},
                      KindCheck{Spacing::Log, "1", "10", "1", "1", Refusal::PointsOutOfRange},
                      KindCheck{Spacing::Log, "1", "10", "1", "100001", Refusal::PointsOutOfRange},
                      KindCheck{Spacing::Log, "1", "10", "1", "2.5", Refusal::PointsOutOfRange},
                      KindCheck{Spacing::Log, "1", "10", "1", "100000", {}},
                      KindCheck{Spacing::Log, "1", "10", "1", "x", Refusal::NotANumber},
                      // Points do not count for a linear sweep.
                      KindCheck{Spacing::Linear, "0", "10", "1", "x", {}}));

TEST(PointsField, TakesTheNearestWholeCountInRange) {
    const std::pair<const char*, const char*> cases[] = {{"11", "11"}, {"1", "2"},         {"-5", "2"},
                                                         {"2.5", "2"}, {"3.5", "4"},       {"100001", "100000"},
                                                         {"7.4", "7"}, {"1e9", "100000"}};
    for (auto [typed, shown] : cases) {
        const auto e = sweep::enterField(sweep::FieldKind::Points, typed, 25);
        ASSERT_TRUE(e) << typed;
        EXPECT_EQ(e->shown, shown) << typed;
    }
    EXPECT_FALSE(sweep::enterField(sweep::FieldKind::Points, "many", 25));
}

// Step k of n in loop i of N, the last loop of an up-and-down sweep one longer.
TEST(PointProgress, CountsEveryPointOfTheRun) {
    sweep::FieldTexts t{"1", "8", "1", "2", "1"};
    t.points = "3";
    t.spacing = Spacing::Log;
    t.upDown = true;
    const auto plan = *sweep::checkStart(t).plan;
    SweepGroup g = plan.params;
    sweep::Progress p = sweep::startProgress(g, plan.direction, 1);
    EXPECT_EQ(p.steps, 4);
    const std::vector<std::array<int64_t, 3>> want = {{1, 4, 1}, {2, 4, 1}, {3, 4, 1}, {4, 4, 1}, {1, 5, 2},
                                                      {2, 5, 2}, {3, 5, 2}, {4, 5, 2}, {5, 5, 2}};
    for (size_t i = 0; i < want.size(); ++i) {
        sweep::noteStep(p, g, sweep::stepPoints(g));
        EXPECT_EQ((std::array<int64_t, 3>{p.step, p.steps, p.loop}), want[i]) << "tick " << i;
        EXPECT_EQ(p.secondsLeft(), static_cast<double>(want.size() - 1 - i) / 1000) << "tick " << i;
    }
}

}  // namespace
