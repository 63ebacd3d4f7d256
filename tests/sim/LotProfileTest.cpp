#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/LotProfile.h"
#include "sim/LotProfileJson.h"

namespace orvalt {
namespace {

const char* const kFigureList =
    "level1, level2, level3, level4, startMs, levelMs, onRampMs, offTauMs, diagDelay";

TEST(LotProfileJson, ReadsTheBaseUnitTheDriftAndTheNoise) {
    const auto lot = ParseLotProfile(R"({
        "base": {"offTauMs": 420, "noiseMv": 2, "levels": [2.5, 3.3, 4.0, 4.7]},
        "seed": 77,
        "drift": {"figure": "level4", "perUnit": -0.001, "afterUnit": 25},
        "noise": {"offTauMs": 8, "startMs": 0}})");
    ASSERT_TRUE(lot.Ok()) << lot.Error();
    EXPECT_EQ(lot->base.offTauMs, 420);
    EXPECT_DOUBLE_EQ(lot->base.levels[0], 2.5);
    EXPECT_EQ(lot->seed, 77u);
    ASSERT_TRUE(lot->drift.has_value());
    EXPECT_EQ(lot->drift->figure, LotFigure::Level4);
    EXPECT_DOUBLE_EQ(lot->drift->perUnit, -0.001);
    EXPECT_EQ(lot->drift->afterUnit, 25);
    ASSERT_EQ(lot->noise.size(), 2u);

    const auto plain = ParseLotProfile("{}");
    ASSERT_TRUE(plain.Ok()) << plain.Error();
    EXPECT_EQ(plain->base, UnitProfile{});
    EXPECT_FALSE(plain->drift.has_value());
    EXPECT_TRUE(plain->noise.empty());
}

// Every refusal names the key at fault and where it stands; the base's keys
// are refused in the unit profile's own words.
TEST(LotProfileJson, EveryErrorNamesItsKey) {
    struct Case {
        std::string json;
        std::string error;
    };
    const std::string figures = kFigureList;
    const std::vector<Case> cases{
        {"{\"base\": {", "not valid JSON"},
        {"[]", "must be a JSON object"},
        {R"({"units": 5})", "unknown key \"units\""},
        {R"({"base": 3})", "\"base\" must be a unit profile (a JSON object)"},
        {R"({"base": {"levels": [1, 2]}})", "\"base\": \"levels\" must be an array of 4 voltages"},
        {R"({"base": {"offTau": 300}})", "\"base\": unknown key \"offTau\""},
        {R"({"seed": -1})", "\"seed\" must be a whole number from 0 to 4294967295"},
        {R"({"seed": 4294967296})", "\"seed\" must be a whole number from 0 to 4294967295"},
        {R"({"drift": [1]})", "\"drift\" must be a JSON object with \"figure\" and \"perUnit\""},
        {R"({"drift": {"perUnit": 1}})", "\"drift\": \"figure\" is missing"},
        {R"({"drift": {"figure": "offTauMs"}})", "\"drift\": \"perUnit\" is missing"},
        {R"({"drift": {"figure": "tau", "perUnit": 1}})",
         "\"drift\": \"figure\" must name one of " + figures},
        {R"({"drift": {"figure": 3, "perUnit": 1}})",
         "\"drift\": \"figure\" must name one of " + figures},
        {R"({"drift": {"figure": "startMs", "perUnit": "1"}})",
         "\"drift\": \"perUnit\" must be a number"},
        {R"({"drift": {"figure": "startMs", "perUnit": 1, "afterUnit": -3}})",
         "\"drift\": \"afterUnit\" must be a whole number of units, 0 or more"},
        {R"({"drift": {"figure": "startMs", "perUnit": 1, "afterUnit": 2.5}})",
         "\"drift\": \"afterUnit\" must be a whole number of units, 0 or more"},
        {R"({"drift": {"figure": "startMs", "perUnit": 1, "every": 2}})",
         "\"drift\": unknown key \"every\""},
        {R"({"noise": 0.1})",
         "\"noise\" must be a JSON object of figures and their standard deviations"},
        {R"({"noise": {"level5": 0.1}})", "\"noise\": \"level5\" must name one of " + figures},
        {R"({"noise": {"level1": -0.1}})",
         "\"noise\": \"level1\" must be a standard deviation, 0 or more"},
        {R"({"noise": {"level1": "wide"}})",
         "\"noise\": \"level1\" must be a standard deviation, 0 or more"},
        {"{\"noise\": {\"" + std::string(200, 'k') + "\": 1}}",
         "\"noise\": \"" + std::string(80, 'k') + "...\" must name one of " + figures},
    };
    for (const Case& c : cases) {
        const auto lot = ParseLotProfile(c.json);
        ASSERT_FALSE(lot.Ok()) << c.json;
        EXPECT_EQ(lot.Error(), "lot profile: " + c.error) << c.json;
    }
    const auto missing = LoadLotProfile("/no/such/lot.json");
    ASSERT_FALSE(missing.Ok());
    EXPECT_TRUE(missing.Error().starts_with("lot profile: can't open /no/such/lot.json: "))
        << missing.Error();
}

LotProfile NoisyLot(std::uint32_t seed) {
    LotProfile lot;
    lot.seed = seed;
    lot.noise = {{LotFigure::OffTauMs, 8.0}, {LotFigure::Level2, 0.004}, {LotFigure::StartMs, 5}};
    return lot;
}

// Unit n is the same unit however the lot is walked, and only the figures
// with noise differ from unit to unit.
TEST(LotProfile, UnitNIsTheSameUnitWhicheverUnitsCameBefore) {
    for (const std::uint32_t seed : {1u, 2u, 2026u, 4294967295u}) {
        const LotProfile lot = NoisyLot(seed);
        std::vector<UnitProfile> forwards;
        for (std::int64_t n = 1; n <= 50; ++n) {
            forwards.push_back(UnitOfLot(lot, n));
        }
        for (std::int64_t n = 50; n >= 1; --n) {
            EXPECT_EQ(UnitOfLot(NoisyLot(seed), n), forwards[static_cast<std::size_t>(n - 1)])
                << "seed " << seed << " unit " << n;
        }
        EXPECT_FALSE(forwards[0].offTauMs == forwards[1].offTauMs &&
                     forwards[0].levels[1] == forwards[1].levels[1]);
        EXPECT_NE(forwards[0].seed, forwards[1].seed);  // each reads with its own noise
        for (const UnitProfile& unit : forwards) {
            EXPECT_DOUBLE_EQ(unit.levels[0], UnitProfile{}.levels[0]);  // no noise there
            EXPECT_EQ(unit.levelMs, UnitProfile{}.levelMs);
        }
    }
    // Another lot seed makes other units; noise on one more figure leaves the
    // draws of the others as they were.
    EXPECT_NE(UnitOfLot(NoisyLot(1), 3).offTauMs, UnitOfLot(NoisyLot(2), 3).offTauMs);
    LotProfile more = NoisyLot(1);
    more.noise.push_back({LotFigure::Level4, 0.01});
    EXPECT_EQ(UnitOfLot(more, 3).offTauMs, UnitOfLot(NoisyLot(1), 3).offTauMs);
    EXPECT_NE(UnitOfLot(more, 3).levels[3], UnitOfLot(NoisyLot(1), 3).levels[3]);
}

// The noise is normal with the sigma asked for: over 4000 units the sample's
// mean and standard deviation are within a few standard errors of it, and
// about 95 % of the units lie within two sigma.
TEST(LotProfile, TheNoiseHasTheStandardDeviationAsked) {
    LotProfile lot;
    lot.noise = {{LotFigure::Level3, 0.01}};
    constexpr int kUnits = 4000;
    double sum = 0.0, squares = 0.0;
    int withinTwo = 0;
    for (int n = 1; n <= kUnits; ++n) {
        const double d = UnitOfLot(lot, n).levels[2] - lot.base.levels[2];
        sum += d;
        squares += d * d;
        withinTwo += std::abs(d) <= 0.02 ? 1 : 0;
    }
    const double mean = sum / kUnits;
    const double sd = std::sqrt(squares / kUnits - mean * mean);
    EXPECT_NEAR(mean, 0.0, 4 * 0.01 / std::sqrt(kUnits));
    EXPECT_NEAR(sd, 0.01, 0.01 * 0.05);
    EXPECT_NEAR(withinTwo / double(kUnits), 0.9545, 0.015);
}

// With or without noise, the drift adds its step with every unit after
// `afterUnit`: the drifting lot less the same lot without its drift is a
// straight line (within the whole millisecond a figure is rounded to), flat
// up to afterUnit.
TEST(LotProfile, TheDriftRisesStepByStepAfterItsUnit) {
    struct Case {
        LotFigure figure;
        double perUnit;
        std::int64_t afterUnit;
        double roundedTo;
    };
    for (const Case c :
         {Case{LotFigure::OffTauMs, 3.5, 30, 1.0}, Case{LotFigure::StartMs, 0.3, 0, 1.0},
          Case{LotFigure::Level1, 0.0012, 10, 1e-9}, Case{LotFigure::Level4, -0.002, 5, 1e-9}}) {
        for (const bool noisy : {false, true}) {
            LotProfile still = noisy ? NoisyLot(9) : LotProfile{};
            still.noise.push_back({c.figure, noisy ? 0.5 * std::abs(c.perUnit) * 10 : 0.0});
            LotProfile drifting = still;
            drifting.drift = LotDrift{c.figure, c.perUnit, c.afterUnit};
            double last = FigureOf(UnitOfLot(drifting, 1), c.figure);
            for (std::int64_t n = 1; n <= 200; ++n) {
                const double rise = FigureOf(UnitOfLot(drifting, n), c.figure) -
                                    FigureOf(UnitOfLot(still, n), c.figure);
                const double expected =
                    c.perUnit * static_cast<double>(std::max<std::int64_t>(0, n - c.afterUnit));
                ASSERT_NEAR(rise, expected, c.roundedTo) << "unit " << n;
                if (!noisy) {
                    const double figure = FigureOf(UnitOfLot(drifting, n), c.figure);
                    ASSERT_TRUE(c.perUnit > 0 ? figure >= last : figure <= last) << "unit " << n;
                    last = figure;
                }
            }
        }
    }
}

// However far the noise or the drift would take a figure, the unit stays one
// the simulator can run.
TEST(LotProfile, FiguresStayWithinWhatAUnitProfileAllows) {
    LotProfile lot;
    lot.noise = {{LotFigure::Level1, 100.0}, {LotFigure::OnRampMs, 1e6}};
    lot.drift = LotDrift{LotFigure::OffTauMs, -1e12, 0};
    for (std::int64_t n = 1; n <= 100; ++n) {
        const UnitProfile unit = UnitOfLot(lot, n);
        EXPECT_GE(unit.levels[0], 0.0);
        EXPECT_GE(unit.onRampMs, 0);
        EXPECT_EQ(unit.offTauMs, 1);
    }
    lot.drift = LotDrift{LotFigure::StartMs, 1e12, 0};
    EXPECT_EQ(UnitOfLot(lot, 5).startMs, 2147483647);
}

}  // namespace
}  // namespace orvalt
