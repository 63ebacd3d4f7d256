#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <random>
#include <vector>

#include "spc/Baseline.h"
#include "spc/Capability.h"
#include "spc/ControlRules.h"
#include "spc/ShownValue.h"
#include "spc/Spread.h"

namespace orvalt {
namespace {

Capability CapabilityOfValues(const std::vector<double>& values, std::optional<double> min,
                              std::optional<double> max, Resolution shown = {2}) {
    return CapabilityOf(values, SpreadOf(values, shown), min, max, shown);
}

// 1, 2, 3, 4, 5 against 0 .. 6, worked by hand:
//   mean 3; moving ranges 1, 1, 1, 1, their mean 1; d2 for ranges of two is
//   1.128 (the table of control chart constants, e.g. Montgomery, Statistical
//   Quality Control, Appendix VI), so sigma within = 1 / 1.128 = 0.886525;
//   squares about the mean 4 + 1 + 0 + 1 + 4 = 10, over n - 1 = 4: 2.5, so
//   sigma overall = sqrt(2.5) = 1.581139.
//   Cp  = (6 - 0) / (6 * 0.886525) = 1.128;  Cpk = min(6 - 3, 3 - 0) / (3 * 0.886525) = 1.128
//   Pp  = (6 - 0) / (6 * 1.581139) = 0.632456
//   Against 0 .. 5.5: Cpk = (5.5 - 3) / (3 * 0.886525) = 0.94 (the nearer side).
//   Against a maximum of 6 alone: Ppk = (6 - 3) / (3 * 1.581139) = 0.632456.
TEST(SpcStatistics, SpreadAndCapabilityOfAKnownSeries) {
    constexpr double kNear = 1e-6;
    const std::vector<double> values{1, 2, 3, 4, 5};
    const Spread spread = SpreadOf(values, {2});
    EXPECT_NEAR(spread.mean, 3.0, kNear);
    EXPECT_NEAR(spread.sigmaWithin, 0.886525, kNear);
    EXPECT_NEAR(spread.sigmaOverall, 1.581139, kNear);
    EXPECT_FALSE(spread.WithinTooCoarse());

    const Capability both = CapabilityOfValues(values, 0.0, 6.0);
    EXPECT_NEAR(both.cp->value, 1.128, kNear);
    EXPECT_NEAR(both.cpk->value, 1.128, kNear);
    EXPECT_NEAR(both.pp->value, 0.632456, kNear);
    EXPECT_NEAR(both.ppk->value, 0.632456, kNear);
    EXPECT_FALSE(both.cp->capped);
    EXPECT_EQ(both.outside.Count(), 0u);
    EXPECT_NEAR(CapabilityOfValues(values, 0.0, 5.5).cpk->value, 0.94, kNear);

    const Capability upperOnly = CapabilityOfValues(values, std::nullopt, 6.0);
    EXPECT_FALSE(upperOnly.cp);
    EXPECT_NEAR(upperOnly.ppk->value, 0.632456, kNear);
    EXPECT_FALSE(CapabilityOfValues(values, std::nullopt, std::nullopt).cpk);
    EXPECT_FALSE(CapabilityOfValues({2, 2, 2}, 0.0, 6.0).cpk);

    // Flagged only once enough units are in, on Cpk or on Ppk.
    EXPECT_FALSE(CapabilityFlagged(spread, both));
    std::vector<double> many;
    for (int i = 0; i < 30; ++i) {
        many.push_back(i % 2 == 0 ? 1.0 : 5.0);
    }
    const Spread wide = SpreadOf(many, {2});
    EXPECT_TRUE(CapabilityFlagged(wide, CapabilityOfValues(many, 0.0, 6.0)));
    EXPECT_FALSE(CapabilityFlagged(wide, CapabilityOfValues(many, -100.0, 100.0)));
    // A steady creep: the moving ranges see little of it, so Cpk passes and
    // Ppk alone is low.
    std::vector<double> creep;
    for (int i = 0; i < 30; ++i) {
        creep.push_back(0.1 * i);
    }
    const Spread creeping = SpreadOf(creep, {2});
    const Capability drifted = CapabilityOfValues(creep, -1.0, 3.9);
    EXPECT_FALSE(IndexLow(creeping, drifted.cpk));
    EXPECT_TRUE(IndexLow(creeping, drifted.ppk));
    EXPECT_TRUE(CapabilityFlagged(creeping, drifted));
}

// Units are held to their limits as the verdict holds them: as shown.
TEST(SpcStatistics, UnitsOutsideTheLimitsAreCountedAsShownAndFlagged) {
    const Capability few = CapabilityOfValues({0.5, 1.004, 1.006, -0.006, -0.004}, 0.0, 1.0);
    EXPECT_EQ(few.outside.above, 1u);
    EXPECT_EQ(few.outside.below, 1u);
    EXPECT_TRUE(CapabilityFlagged(SpreadOf(std::vector<double>(5), {2}), few));  // whatever n
    EXPECT_EQ(CapabilityOfValues({0.5, NAN}, std::nullopt, 1.0).outside.above, 1u);
    EXPECT_EQ(CapabilityOfValues({0.5, 7.0}, std::nullopt, std::nullopt).outside.Count(), 0u);

    // One unit in a thousand just over: the spread alone would promise a
    // Cpk of 10; it is reported no higher than the ceiling.
    std::vector<double> values(1000, 0.0);
    values[500] = 1.01;
    const Capability one = CapabilityOfValues(values, -1.0, 1.0);
    for (const auto& index : {one.cp, one.cpk, one.pp, one.ppk}) {
        ASSERT_TRUE(index);
        EXPECT_TRUE(index->capped);
        EXPECT_DOUBLE_EQ(index->value, 1.0);
        EXPECT_FALSE(IndexLow(SpreadOf(values, {2}), index));  // the units outside tell it
    }
}

// The drifting lot's Time To OFF: 0.25 s steps, a unit mostly reading as
// the one before; its moving ranges say 0.010 where the values span a second.
TEST(SpcStatistics, SigmaWithinTooCoarseGivesWayToSigmaOverall) {
    std::vector<double> steps;
    for (const auto& [value, units] : {std::pair{0.5, 40}, {0.75, 60}, {1.0, 60}, {1.25, 40}}) {
        steps.insert(steps.end(), units, value);
    }
    const Spread coarse = SpreadOf(steps, {2});
    EXPECT_EQ(coarse.flatRanges, 196u);
    EXPECT_DOUBLE_EQ(coarse.step, 0.25);
    EXPECT_TRUE(coarse.WithinTooCoarse());
    EXPECT_LT(coarse.sigmaWithin, coarse.step / std::sqrt(12.0));
    EXPECT_DOUBLE_EQ(coarse.SigmaForWithin(), coarse.sigmaOverall);
    const Capability capability = CapabilityOfValues(steps, 0.0, 1.5);
    EXPECT_DOUBLE_EQ(capability.cp->value, capability.pp->value);
    EXPECT_DOUBLE_EQ(capability.cpk->value, capability.ppk->value);
    EXPECT_LT(capability.cpk->value, 1.0);

    // Exactly half the ranges flat is not most; equal as shown is flat.
    const Spread half = SpreadOf(std::vector<double>{1.0, 1.0, 2.0}, {2});
    EXPECT_FALSE(half.WithinTooCoarse());
    const Spread shownAlike = SpreadOf(std::vector<double>{1.001, 0.999, 1.0, 2.0}, {2});
    EXPECT_EQ(shownAlike.flatRanges, 2u);
    EXPECT_TRUE(shownAlike.WithinTooCoarse());
    EXPECT_DOUBLE_EQ(shownAlike.step, 1.0);
    EXPECT_DOUBLE_EQ(SpreadOf(std::vector<double>{3.0, 3.0}, {0}).step, 0.0);
    EXPECT_DOUBLE_EQ(SpreadOf(std::vector<double>{1e300, 0.0}, {2}).step, 0.01);

    // A fine series with its values apart from unit to unit keeps its own.
    std::mt19937 random(11);
    std::normal_distribution<double> normal(0.5, 0.05);
    std::vector<double> fine(200);
    for (double& v : fine) {
        v = normal(random);
    }
    const Spread spread = SpreadOf(fine, {3});
    EXPECT_FALSE(spread.WithinTooCoarse());
    EXPECT_DOUBLE_EQ(spread.SigmaForWithin(), spread.sigmaWithin);
    EXPECT_DOUBLE_EQ(spread.step, 0.001);
}

// Whatever a series looks like (its length, digits and steps, a drift, a
// lone spike, one limit or two), once one of its units lies outside a limit
// no index is reported above 1 and the series is flagged; and a series
// inside its limits is reported as its spread says, never held down.
TEST(SpcStatistics, NoIndexAboveOneWhileAUnitLiesOutsideItsLimits) {
    std::mt19937_64 random(39);
    const auto uniform = [&random](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    std::size_t capped = 0;
    for (int round = 0; round < 20000; ++round) {
        const Resolution shown{static_cast<int>(random() % 4)};
        const double step = shown.Step() * std::array<double, 4>{1, 2, 5, 25}[random() % 4];
        const std::size_t units = 1 + random() % 300;
        const double sigma = std::exp(uniform(std::log(1e-4), std::log(10.0)));
        const double drift = random() % 3 == 0 ? uniform(-0.05, 0.05) * sigma : 0.0;
        std::normal_distribution<double> noise(0.0, sigma);
        std::vector<double> values(units);
        for (std::size_t i = 0; i < units; ++i) {
            values[i] = std::round((noise(random) + drift * i) / step) * step;
        }
        const auto [low, high] = std::minmax_element(values.begin(), values.end());
        const double reach = std::max(*high - *low, shown.Step());
        std::optional<double> min = shown.Shown(*low - uniform(-0.2, 3.0) * reach);
        std::optional<double> max = shown.Shown(*high + uniform(-0.2, 3.0) * reach);
        if (random() % 4 == 0) {
            (random() % 2 == 0 ? min : max).reset();
        }
        if (random() % 3 == 0) {  // a lone unit just outside
            const std::size_t at = random() % units;
            values[at] = max ? *max + shown.Step() : *min - shown.Step();
        }
        const Spread spread = SpreadOf(values, shown);
        const Capability capability = CapabilityOf(values, spread, min, max, shown);
        const bool outside = std::any_of(values.begin(), values.end(), [&](double v) {
            return (min && shown.Shown(v) < *min) || (max && shown.Shown(v) > *max);
        });
        SCOPED_TRACE(::testing::Message() << "round " << round << ", " << units << " units");
        ASSERT_EQ(capability.outside.Count() > 0, outside);
        for (const auto& index : {capability.cp, capability.cpk, capability.pp, capability.ppk}) {
            if (!index) {
                continue;
            }
            if (outside) {
                ASSERT_LE(index->value, 1.0);
                capped += index->capped ? 1 : 0;
            } else {
                ASSERT_FALSE(index->capped);
            }
        }
        if (outside) {
            ASSERT_TRUE(CapabilityFlagged(spread, capability));
        }
    }
    EXPECT_GT(capped, 100u);  // the ceiling was reached, not only met by chance
}

// A baseline takes the first 25 units, as the model page tells the engineer.
TEST(SpcStatistics, ABaselineNeedsItsUnitsAndNeverResolvesBelowTheShownDigit) {
    EXPECT_FALSE(BaselineOf(std::vector<double>(24, 1.0), {2}));
    const auto flat = BaselineOf(std::vector<double>(25, 0.4), {2});
    ASSERT_TRUE(flat);
    EXPECT_DOUBLE_EQ(flat->sigma, 0.01);
    EXPECT_EQ(flat->units, 25u);
}

struct RuleCase {
    std::vector<double> values;  // in sigmas from a centre of 0
    int rule;                    // 0: no hit at all
    std::size_t unit;
    RuleSide side;
};

TEST(SpcStatistics, EachRuleFiresOnItsPatternAndOnlyThere) {
    const Baseline baseline{0.0, 1.0, kBaselineUnits};
    const std::vector<RuleCase> cases{
        {{0.2, 3.5}, 1, 1, RuleSide::Above},
        {{-3.004, 0.0}, 0, 0, RuleSide::Below},  // shows as 3.00: on the edge, not beyond
        {{-2.5, 0.1, -2.5}, 2, 2, RuleSide::Below},
        {{-2.5, -2.5, 0.1}, 0, 0, RuleSide::Below},  // the newest is not part of it
        {{2.5, 0.5, -2.5}, 0, 0, RuleSide::Below},   // one each side
        {{1.5, 1.5, -0.1, 1.5, 1.5}, 3, 4, RuleSide::Above},
        {{1.5, 1.5, -0.1, -0.1, 1.5}, 0, 0, RuleSide::Above},
        {std::vector<double>(8, -0.5), 4, 7, RuleSide::Below},
        {{0.5, 0.5, 0.5, 0.0, 0.5, 0.5, 0.5, 0.5, 0.5}, 0, 0, RuleSide::Above},  // 0 breaks it
        {{0.004, 0.004, 0.004, 0.004, 0.004, 0.004, 0.004, 0.004}, 0, 0, RuleSide::Above},
    };
    for (const RuleCase& c : cases) {
        const std::vector<RuleHit> hits = FindRuleHits(c.values, baseline, {2});
        SCOPED_TRACE(::testing::PrintToString(c.values));
        if (c.rule == 0) {
            EXPECT_TRUE(hits.empty());
            continue;
        }
        ASSERT_EQ(hits.size(), 1u);
        EXPECT_EQ(hits[0].rule, c.rule);
        EXPECT_EQ(hits[0].unit, c.unit);
        EXPECT_EQ(hits[0].side, c.side);
        EXPECT_FALSE(hits[0].continued);
    }

    // A centre near a rounding edge: its units show as the two values around
    // it, at random, and that is no run on one side; a step beyond them is.
    const Baseline edge{2.476, 0.02, kBaselineUnits};
    std::mt19937 random(3);
    std::vector<double> flips(2000);
    for (double& v : flips) {
        v = random() % 2 == 0 ? 2.47 : 2.48;
    }
    EXPECT_TRUE(FindRuleHits(flips, edge, {2}).empty());
    const std::vector<RuleHit> beyondFlips = FindRuleHits(std::vector<double>(8, 2.49), edge, {2});
    ASSERT_EQ(beyondFlips.size(), 1u);
    EXPECT_EQ(beyondFlips[0].rule, 4);

    const std::vector<RuleHit> run = FindRuleHits(std::vector<double>(10, 0.5), baseline, {2});
    ASSERT_EQ(run.size(), 3u);
    EXPECT_TRUE(run[1].continued && run[2].continued);
    EXPECT_EQ(RuleHitText(run[0]), "8 units in a row above the centre (rule 4)");
    EXPECT_EQ(RuleHitText({2, 0, RuleSide::Below, false}),
              "2 of 3 units beyond 2 sigma below the centre (rule 2)");
}

// In control, the four rules together signal about once in 92 units (their
// in-control average run length); a shift of 1.5 sigma is caught within a
// few units.
TEST(SpcStatistics, InControlSignalsAtTheRulesRateAndAShiftIsCaughtSoon) {
    std::mt19937_64 random(7);
    std::normal_distribution<double> normal(0.0, 1.0);
    const Baseline baseline{0.0, 1.0, kBaselineUnits};
    std::vector<double> values(200000);
    for (double& v : values) {
        v = normal(random);
    }
    std::size_t fresh = 0;
    for (const RuleHit& hit : FindRuleHits(values, baseline, {3})) {
        fresh += hit.continued ? 0 : 1;
    }
    const double unitsPerSignal = static_cast<double>(values.size()) / static_cast<double>(fresh);
    RecordProperty("UnitsPerSignal", std::to_string(unitsPerSignal));
    EXPECT_GT(unitsPerSignal, 60.0);
    EXPECT_LT(unitsPerSignal, 130.0);

    for (int shifted = 0; shifted < 20; ++shifted) {
        std::vector<double> shift(40);
        for (double& v : shift) {
            v = normal(random) + 1.5;
        }
        const std::vector<RuleHit> hits = FindRuleHits(shift, baseline, {3});
        ASSERT_FALSE(hits.empty());
        EXPECT_LT(hits.front().unit, 20u);
    }
}

}  // namespace
}  // namespace orvalt
