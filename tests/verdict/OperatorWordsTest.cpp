// A failed limit in the words an operator reads at the fixture, for every
// measurement a limits file may bound.

#include "verdict/OperatorWords.h"

#include <gtest/gtest.h>

#include "verdict/LimitsFile.h"
#include "verdict/MeasurementCatalogue.h"

namespace orvalt {
namespace {

Limits LimitsOf(const std::string& text) {
    Result<Limits> parsed = ParseLimits(text);
    EXPECT_TRUE(parsed) << parsed.Error();
    return parsed ? *parsed : Limits{};
}

TEST(OperatorWords, ABreachReadsAsASentenceWithItsUnitOnBothNumbers) {
    const Limits limits = LimitsOf("measurement,min,max\nV4,,4.5\nCT,10,\nDelay,,3\n");
    const std::vector<NamedMeasurement> measured{{"V4", 4.7}, {"CT", 9.456}, {"Delay", 7.0}};
    const TestVerdict verdict = JudgeTest(4, measured, limits);
    ASSERT_EQ(verdict.breaches.size(), 3u);
    EXPECT_EQ(BreachWords(verdict.breaches[0]), "Level 4 light 4.70 V, above the 4.50 V maximum");
    EXPECT_EQ(BreachWords(verdict.breaches[1]), "Cycle time 9.46 s, below the 10.00 s minimum");
    EXPECT_EQ(BreachWords(verdict.breaches[2]), "Diagnostic delay 7, above the 3 maximum");
    // The runner's terse reasons are unchanged beside them.
    EXPECT_EQ(verdict.reasons[0], "V4 4.70 > 4.50");
}

TEST(OperatorWords, EveryCatalogueNameHasWordsOfItsOwn) {
    std::vector<std::string> seen;
    for (const MeasurementInfo& info : MeasurementCatalogue()) {
        const std::string words = MeasurementWords(info.name);
        EXPECT_NE(words, info.name) << "no words for " << info.name;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), words), 0) << words;
        seen.push_back(words);
    }
    EXPECT_EQ(MeasurementWords("V2.c3"), "Level 2 light in cycle 3");
    EXPECT_EQ(MeasurementWords("V1.max"), "Highest level 1 light");
    EXPECT_EQ(MeasurementWords("TimeToOffB"), "Time to OFF (B)");
}

TEST(OperatorWords, ARunsReasonsNameTheirTestAndTheTestsNeverRun) {
    const Limits limits = LimitsOf("measurement,min,max\nTimeToOn,,1\n");
    RunVerdicts run;
    run.Start(4);
    run.Add(JudgeTest(1, std::vector<NamedMeasurement>{{"TimeToOn", 0.5}}, limits));
    run.Add(JudgeTest(2, std::vector<NamedMeasurement>{{"TimeToOn", 1.25}}, limits));
    run.Add(ErrorVerdict(3, "stopped"));
    EXPECT_EQ(OperatorReasons(run, false).size(), 2u);  // the last test may still come
    EXPECT_EQ(OperatorReasons(run, true),
              (std::vector<std::string>{"Test 2: Time to ON 1.25 s, above the 1.00 s maximum",
                                        "Test 3 was stopped", "1 test was not run"}));
}

}  // namespace
}  // namespace orvalt
