// A failed limit in the words an operator reads at the fixture, for every
// measurement a limits file may bound.

#include "verdict/OperatorWords.h"

#include <gtest/gtest.h>

#include <random>

#include "domain/Joined.h"
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

// What a test's record keeps of its verdict, read back as the operator reads
// it: the reasons as the record joins them, worded again.
std::vector<std::string> RecordedWords(const TestVerdict& judged) {
    const std::optional<TestVerdict> read =
        RecordedTestVerdict(judged.testNumber, judged.kind, Joined(judged.reasons));
    EXPECT_TRUE(read) << Joined(judged.reasons);
    return read ? TestReasonWords(*read) : std::vector<std::string>{"(not read)"};
}

TEST(OperatorWords, ARecordedFailureReadsAsTheOperatorWasToldWithItsBoundAndUnit) {
    const Limits limits = LimitsOf(
        "measurement,min,max\nCT,10,\nTimeToOffA,,1\nV1.c1,2.4,2.8\nRepetitionsFailed,,0\n"
        "DiagValue,,5\n");
    const auto judged = [&](std::vector<NamedMeasurement> measured) {
        return RecordedWords(JudgeTest(2, measured, limits));
    };
    // A minimum alone, a maximum alone, and each side of a limit with both.
    EXPECT_EQ(judged({{"CT", 9.456}}),
              std::vector<std::string>{"Test 2: Cycle time 9.46 s, below the 10.00 s minimum"});
    EXPECT_EQ(judged({{"TimeToOffA", 1.25}, {"DiagValue", 2}}),
              std::vector<std::string>{"Test 2: Time to OFF (A) 1.25 s, above the 1.00 s maximum"});
    EXPECT_EQ(judged({{"V1.c1", 2.95}}),
              std::vector<std::string>{
                  "Test 2: Level 1 light in cycle 1 2.95 V, above the 2.80 V maximum"});
    EXPECT_EQ(judged({{"V1.c1", 2.3}}),
              std::vector<std::string>{
                  "Test 2: Level 1 light in cycle 1 2.30 V, below the 2.40 V minimum"});
    // A count has no unit; two breaches stay two reasons, in the limits' order.
    EXPECT_EQ(
        judged({{"RepetitionsFailed", 1}, {"CT", 9}}),
        (std::vector<std::string>{"Test 2: Cycle time 9.00 s, below the 10.00 s minimum",
                                  "Test 2: Failed on/off repetitions 1, above the 0 maximum"}));
    // The Time-to-OFF step ran without diagnostic data.
    EXPECT_EQ(judged({{"TimeToOffA", 0.5}}),
              std::vector<std::string>{
                  "Test 2: Diagnostic value not measured: no diagnostic data received"});
}

TEST(OperatorWords, AnyRecordedVerdictReadsBackToTheWordsTheStationShowed) {
    std::mt19937 random(11);
    const auto catalogue = MeasurementCatalogue();
    for (int round = 0; round < 300; ++round) {
        std::string text = "measurement,min,max\n";
        std::vector<NamedMeasurement> measured;
        for (int row = 0; row < 4; ++row) {
            const MeasurementInfo& info = catalogue[random() % catalogue.size()];
            if (text.find("\n" + info.name + ",") != std::string::npos) {
                continue;
            }
            const int low = static_cast<int>(random() % 5),
                      high = low + static_cast<int>(random() % 5);
            const bool hasMin = random() % 3 != 0, hasMax = !hasMin || random() % 2 == 0;
            text += info.name + "," + (hasMin ? std::to_string(low) : "") + "," +
                    (hasMax ? std::to_string(high) : "") + "\n";
            if (random() % 5 != 0) {
                measured.push_back({info.name, static_cast<double>(random() % 800) / 100.0});
            }
        }
        const TestVerdict judged = JudgeTest(1 + round % 6, measured, LimitsOf(text));
        EXPECT_EQ(RecordedWords(judged), TestReasonWords(judged)) << text;
    }
    EXPECT_EQ(TestReasonWords(*RecordedTestVerdict(3, VerdictKind::Error, "abandoned")),
              std::vector<std::string>{"Test 3 was abandoned"});
    EXPECT_TRUE(TestReasonWords(*RecordedTestVerdict(1, VerdictKind::Pass, "")).empty());
}

TEST(OperatorWords, AReasonThisStationNeverWritesIsNotReadAsABreach) {
    for (const char* foreign :
         {"", "V4 4.70 >= 4.50", "V4 is too high", "V4 4.70 > 4.50,CT 13.20 > 12.00",
          "V4  4.70 > 4.50", "V4 4.70 > 4.50, ", " not measured (no diagnostic data)"}) {
        EXPECT_FALSE(RecordedTestVerdict(2, VerdictKind::Fail, foreign)) << foreign;
    }
    EXPECT_FALSE(RecordedTestVerdict(2, VerdictKind::Pass, "V4 4.70 > 4.50"));
}

}  // namespace
}  // namespace orvalt
