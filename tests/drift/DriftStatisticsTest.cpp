#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "drift/Baseline.h"
#include "drift/Capability.h"
#include "drift/ControlRules.h"
#include "drift/Spread.h"

namespace orvalt {
namespace {

TEST(DriftStatistics, SpreadAndCapabilityOfAKnownSeries) {
    const std::vector<double> values{1, 2, 3, 4, 5};
    const Spread spread = SpreadOf(values);
    EXPECT_DOUBLE_EQ(spread.mean, 3.0);
    EXPECT_DOUBLE_EQ(spread.sigmaWithin, 1.0 / kMovingRangeD2);
    EXPECT_DOUBLE_EQ(spread.sigmaOverall, std::sqrt(2.5));

    const Capability both = CapabilityOf(spread, 0.0, 6.0);
    EXPECT_DOUBLE_EQ(*both.cp, 6.0 / (6.0 * spread.sigmaWithin));
    EXPECT_DOUBLE_EQ(*both.cpk, 3.0 / (3.0 * spread.sigmaWithin));
    EXPECT_DOUBLE_EQ(*both.pp, 6.0 / (6.0 * spread.sigmaOverall));
    // Nearer the upper limit: the centred index takes the nearer side.
    EXPECT_DOUBLE_EQ(*CapabilityOf(spread, 0.0, 4.0).cpk, 1.0 / (3.0 * spread.sigmaWithin));

    const Capability upperOnly = CapabilityOf(spread, std::nullopt, 6.0);
    EXPECT_FALSE(upperOnly.cp);
    EXPECT_DOUBLE_EQ(*upperOnly.ppk, 3.0 / (3.0 * spread.sigmaOverall));
    EXPECT_FALSE(CapabilityOf(spread, std::nullopt, std::nullopt).cpk);
    EXPECT_FALSE(CapabilityOf(SpreadOf(std::vector<double>{2, 2, 2}), 0.0, 6.0).cpk);

    // Flagged only once enough units are in.
    EXPECT_FALSE(CapabilityFlagged(spread, both));
    std::vector<double> many;
    for (int i = 0; i < 30; ++i) {
        many.push_back(i % 2 == 0 ? 1.0 : 5.0);
    }
    const Spread wide = SpreadOf(many);
    EXPECT_TRUE(CapabilityFlagged(wide, CapabilityOf(wide, 0.0, 6.0)));
    EXPECT_FALSE(CapabilityFlagged(wide, CapabilityOf(wide, -100.0, 100.0)));
}

TEST(DriftStatistics, ABaselineNeedsItsUnitsAndNeverResolvesBelowTheShownDigit) {
    EXPECT_FALSE(BaselineOf(std::vector<double>(kBaselineUnits - 1, 1.0), {2}));
    const auto flat = BaselineOf(std::vector<double>(kBaselineUnits, 0.4), {2});
    ASSERT_TRUE(flat);
    EXPECT_DOUBLE_EQ(flat->sigma, 0.01);
    EXPECT_EQ(flat->units, kBaselineUnits);
}

struct RuleCase {
    std::vector<double> values;  // in sigmas from a centre of 0
    int rule;                    // 0: no hit at all
    std::size_t unit;
    DriftSide side;
};

TEST(DriftStatistics, EachRuleFiresOnItsPatternAndOnlyThere) {
    const Baseline baseline{0.0, 1.0, kBaselineUnits};
    const std::vector<RuleCase> cases{
        {{0.2, 3.5}, 1, 1, DriftSide::Above},
        {{-3.004, 0.0}, 0, 0, DriftSide::Below},  // shows as 3.00: on the edge, not beyond
        {{-2.5, 0.1, -2.5}, 2, 2, DriftSide::Below},
        {{-2.5, -2.5, 0.1}, 0, 0, DriftSide::Below},  // the newest is not part of it
        {{2.5, 0.5, -2.5}, 0, 0, DriftSide::Below},   // one each side
        {{1.5, 1.5, -0.1, 1.5, 1.5}, 3, 4, DriftSide::Above},
        {{1.5, 1.5, -0.1, -0.1, 1.5}, 0, 0, DriftSide::Above},
        {std::vector<double>(8, -0.5), 4, 7, DriftSide::Below},
        {{0.5, 0.5, 0.5, 0.0, 0.5, 0.5, 0.5, 0.5, 0.5}, 0, 0, DriftSide::Above},  // 0 breaks it
        {{0.004, 0.004, 0.004, 0.004, 0.004, 0.004, 0.004, 0.004}, 0, 0, DriftSide::Above},
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
    EXPECT_EQ(RuleHitText({2, 0, DriftSide::Below, false}),
              "2 of 3 units beyond 2 sigma below the centre (rule 2)");
}

// In control, the four rules together signal about once in 92 units (their
// in-control average run length); a shift of 1.5 sigma is caught within a
// few units.
TEST(DriftStatistics, InControlSignalsAtTheRulesRateAndAShiftIsCaughtSoon) {
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
