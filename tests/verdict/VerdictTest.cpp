// A test's figures as named measurements, the verdict against limits, the
// unit's verdict, and the lines that carry them.

#include "verdict/Verdict.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "domain/NamedMeasurements.h"
#include "verdict/MeasurementCatalogue.h"
#include "verdict/OperatorWords.h"
#include "verdict/RunVerdicts.h"

namespace orvalt {
namespace {

using Figures = std::map<std::string, double>;

Figures AsMap(const std::vector<NamedMeasurement>& list) {
    Figures figures;
    for (const NamedMeasurement& m : list) {
        EXPECT_TRUE(figures.emplace(m.name, m.value).second) << "twice: " << m.name;
    }
    return figures;
}

// Cycle 1 reads 1, 2, 3, 4.5 V; cycle 2 is cut at level 1.
TestMeasurements TwoCyclesCutAtLevelOne() {
    TestMeasurements m;
    m.V1 = {1.0, 1.1, 0, 0};
    m.V2 = {2.0, 0, 0, 0};
    m.V3 = {3.0, 0, 0, 0};
    m.V4 = {4.5, 0, 0, 0};
    m.CT = 12.345;
    m.timeToOn = 1.2;
    m.timeToOffA = {0.45, 0, 0, 0};
    m.timeToOffB = {0.61, 0, 0, 0};
    m.timeToOffDone = 1;
    m.delay = 512;
    m.diagValue = 2;
    m.priorCount = 3;
    m.diagReceived = true;
    return m;
}

TEST(NamedMeasurements, ACycledTestGivesItsSummaryFiguresCyclesAndStatistics) {
    const Figures f = AsMap(NameMeasurements(TwoCyclesCutAtLevelOne(), {true, 2, 1}));
    EXPECT_EQ(f.at("NotCycling"), 0.0);
    EXPECT_EQ(f.at("V1"), 1.1);  // the summary line shows cycle N
    EXPECT_EQ(f.at("V2"), 0.0);
    EXPECT_EQ(f.at("V1.c1"), 1.0);
    EXPECT_EQ(f.at("V4.c2"), 0.0);
    EXPECT_EQ(f.count("V1.c3"), 0u);
    EXPECT_EQ(f.at("V2.max"), 2.0);
    EXPECT_EQ(f.at("V2.min"), 0.0);  // the level not read after the cut counts
    EXPECT_EQ(f.at("V2.avg"), 1.0);
    EXPECT_EQ(f.at("CT"), 12.345);
    EXPECT_EQ(f.at("TimeToOn"), 1.2);
    EXPECT_EQ(f.at("TimeToOffA"), 0.45);
    EXPECT_EQ(f.at("TimeToOffB"), 0.61);
    EXPECT_EQ(f.at("Delay"), 512.0);
    EXPECT_EQ(f.at("SaveNotAsExpected"), 0.0);
    EXPECT_EQ(f.at("PriorCount"), 3.0);
    EXPECT_EQ(f.at("DiagValue"), 2.0);
}

TEST(NamedMeasurements, ATestThatDidNotCycleShowsTheSummaryLinesZeros) {
    TestMeasurements m = TwoCyclesCutAtLevelOne();
    m.notCycling = 1;
    const Figures f = AsMap(NameMeasurements(m, {true, 2, 1}));
    EXPECT_EQ(f.at("NotCycling"), 1.0);
    for (const char* name : {"V1", "V2", "V3", "V4", "CT", "TimeToOn", "Delay", "DiagValue"}) {
        EXPECT_EQ(f.at(name), 0.0) << name;
    }
    EXPECT_EQ(f.count("V1.c1"), 0u);
    EXPECT_EQ(f.count("V1.max"), 0u);
    EXPECT_EQ(f.count("TimeToOffA"), 0u);
}

TEST(NamedMeasurements, TimeToOffFiguresOnlyWhenTheStepRan) {
    TestMeasurements m = TwoCyclesCutAtLevelOne();
    m.timeToOffDone = 0;
    const Figures f = AsMap(NameMeasurements(m, {true, 2, 1}));
    EXPECT_EQ(f.count("TimeToOffA"), 0u);
    EXPECT_EQ(f.at("Delay"), 0.0);
    EXPECT_EQ(f.at("PriorCount"), 0.0);
}

// The summary line's zeros of a step that heard no diagnostic line are no
// measurement, whatever the line shows.
TEST(NamedMeasurements, ATimeToOffStepWithoutDiagnosticDataGivesNoDiagnosticFigure) {
    TestMeasurements m = TwoCyclesCutAtLevelOne();
    m.diagReceived = false;
    m.delay = m.diagValue = m.priorCount = 0;
    const Figures f = AsMap(NameMeasurements(m, {true, 2, 1}));
    EXPECT_EQ(f.at("TimeToOffA"), 0.45);
    for (const char* name : {"Delay", "SaveNotAsExpected", "PriorCount", "DiagValue"}) {
        EXPECT_EQ(f.count(name), 0u) << name;
    }
}

TEST(NamedMeasurements, TimeToOffIsTakenAtTheLevelWherePowerWasCut) {
    TestMeasurements m;
    m.timeToOffA = {0, 0, 0.7, 0};
    m.timeToOffB = {0, 0, 0.9, 0};
    m.timeToOffDone = 1;
    const Figures f = AsMap(NameMeasurements(m, {true, 1, 3}));
    EXPECT_EQ(f.at("TimeToOffA"), 0.7);
    EXPECT_EQ(f.at("TimeToOffB"), 0.9);
}

TEST(NamedMeasurements, AnOnOffRepetitionTestGivesOnlyItsFailedRepetitions) {
    TestMeasurements m = TwoCyclesCutAtLevelOne();
    m.repetitionsFailed = 3;
    const Figures f = AsMap(NameMeasurements(m, {false, 2, 1}));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f.at("RepetitionsFailed"), 3.0);
    EXPECT_FALSE(AsMap(NameMeasurements(m, {true, 2, 1})).contains("RepetitionsFailed"));
}

// Whatever the record and shape, every name given is one the catalogue (and
// so a limits file) knows, and none comes twice.
TEST(NamedMeasurements, EveryNameIsInTheCatalogue) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        TestMeasurements m;
        m.notCycling = static_cast<int>(random() % 2);
        m.timeToOffDone = static_cast<int>(random() % 2);
        const TestShape shape{random() % 4 != 0, static_cast<int>(random() % 6),
                              static_cast<int>(random() % 6)};
        const std::vector<NamedMeasurement> list = NameMeasurements(m, shape);
        EXPECT_EQ(AsMap(list).size(), list.size());
        for (const NamedMeasurement& named : list) {
            const MeasurementInfo* info = FindMeasurement(named.name);
            ASSERT_NE(info, nullptr) << named.name;
            EXPECT_EQ(info->name, named.name);
        }
    }
}

Limits LimitsOf(const std::string& rows) {
    const Result<Limits> loaded = ParseLimits("measurement,min,max\n" + rows);
    EXPECT_TRUE(loaded.Ok()) << loaded.Error();
    return *loaded;
}

TEST(Verdict, NamesEachMeasurementOutsideItsBoundsWithValueAndBound) {
    const std::vector<NamedMeasurement> measured{
        {"V4", 4.7}, {"V1", 1.2}, {"CT", 12.0}, {"Delay", 512}};
    const Limits limits = LimitsOf("V4,4.2,4.5\nCT,,12\nV1,2,\nDelay,,500\n");
    const TestVerdict verdict = JudgeTest(2, measured, limits);
    EXPECT_EQ(verdict.kind, VerdictKind::Fail);
    EXPECT_EQ(TestVerdictLine(verdict),
              "VERDICT TEST 2: FAIL V4 4.70 > 4.50, V1 1.20 < 2.00, Delay 512 > 500");
    const TestVerdict single = JudgeTest(2, measured, LimitsOf("V4,,4.5\n"));
    EXPECT_EQ(TestVerdictLine(single), "VERDICT TEST 2: FAIL V4 4.70 > 4.50");
    EXPECT_EQ(TestVerdictLine(JudgeTest(7, measured, LimitsOf("V4,4.7,4.7\n"))),
              "VERDICT TEST 7: PASS");
}

// An on/off test has no V1: the limit passes it by. With nothing else judged
// the test is NOT JUDGED, never a pass resting on nothing.
TEST(Verdict, ALimitOnAFigureTheTestDidNotGiveIsNotJudged) {
    const std::vector<NamedMeasurement> onOff{{"RepetitionsFailed", 0}};
    const TestVerdict judged = JudgeTest(5, onOff, LimitsOf("V1,2,3\nRepetitionsFailed,,0\n"));
    EXPECT_EQ(judged.kind, VerdictKind::Pass);
    EXPECT_TRUE(judged.reasons.empty());
    ASSERT_EQ(judged.checks.size(), 1u);

    const TestVerdict nothing = JudgeTest(5, onOff, LimitsOf("V1,2,3\nNotCycling,,0\n"));
    EXPECT_EQ(nothing.kind, VerdictKind::NotJudged);
    EXPECT_EQ(TestVerdictLine(nothing),
              "VERDICT TEST 5: NOT JUDGED no limit applies to its measurements");
    RunVerdicts run;
    run.Start(2);
    run.Add(JudgeTest(1, onOff, LimitsOf("RepetitionsFailed,,0\n")));
    run.Add(nothing);
    EXPECT_EQ(run.Unit(), VerdictKind::NotJudged);
    EXPECT_EQ(
        OperatorReasons(run, true),
        std::vector<std::string>{"Test 5 was not judged: no limit applies to what it measured"});
}

// A test whose Time-to-OFF step ran (TimeToOffA) without a diagnostic line
// has no diagnostic figures: a limit on one fails it as not measured, where
// the summary line's zeros used to pass it. Limits without a diagnostic
// figure judge it as before.
TEST(Verdict, ADiagnosticFigureNotMeasuredFailsTheTestThatShouldHaveGivenIt) {
    const std::vector<NamedMeasurement> noDiag{{"V4", 4.7}, {"TimeToOffA", 0.5}};
    const TestVerdict verdict =
        JudgeTest(2, noDiag, LimitsOf("V4,,4.9\nDelay,,1000\nSaveNotAsExpected,,0\n"));
    EXPECT_EQ(verdict.kind, VerdictKind::Fail);
    EXPECT_EQ(TestVerdictLine(verdict),
              "VERDICT TEST 2: FAIL Delay not measured (no diagnostic data), "
              "SaveNotAsExpected not measured (no diagnostic data)");
    RunVerdicts run;
    run.Start(1);
    run.Add(verdict);
    EXPECT_EQ(OperatorReasons(run, true).front(),
              "Test 2: Diagnostic delay not measured: no diagnostic data received");
    ASSERT_EQ(verdict.checks.size(), 3u);
    EXPECT_FALSE(verdict.checks[1].passed);

    EXPECT_EQ(JudgeTest(2, noDiag, LimitsOf("V4,,4.9\n")).kind, VerdictKind::Pass);
    // A test that never reached its Time-to-OFF step is not held to it.
    const std::vector<NamedMeasurement> noStep{{"V4", 4.7}};
    EXPECT_EQ(JudgeTest(2, noStep, LimitsOf("V4,,4.9\nDelay,,1000\n")).kind, VerdictKind::Pass);
}

TEST(Verdict, AValueThatIsNotANumberIsOutsideEveryBound) {
    const std::vector<NamedMeasurement> measured{{"CT", std::nan("")}};
    EXPECT_EQ(JudgeTest(1, measured, LimitsOf("CT,1,\n")).kind, VerdictKind::Fail);
    EXPECT_EQ(JudgeTest(1, measured, LimitsOf("CT,,1\n")).kind, VerdictKind::Fail);
    EXPECT_EQ(JudgeTest(1, measured, LimitsOf("CT,,\n")).kind, VerdictKind::Pass);
}

// The operator reads "%.2f": a value judged must agree with its text. The
// oracle reads the printf text back with strtod, apart from the code under test.
TEST(Verdict, AgreesWithTheValueAsTheLogShowsIt) {
    std::mt19937 random(42);
    std::uniform_real_distribution<double> near(4.49, 4.52);
    const Limits limits = LimitsOf("V4,4.49,4.50\n");
    for (int i = 0; i < 20000; ++i) {
        const double value = near(random);
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", value);
        const double read = std::strtod(text, nullptr);
        const bool inside = read >= 4.49 - 1e-9 && read <= 4.50 + 1e-9;
        const TestVerdict verdict =
            JudgeTest(1, std::vector<NamedMeasurement>{{"V4", value}}, limits);
        ASSERT_EQ(verdict.kind == VerdictKind::Pass, inside) << text << " from " << value;
        if (!inside) {
            ASSERT_EQ(verdict.reasons.at(0),
                      std::string("V4 ") + text + (read > 4.5 ? " > 4.50" : " < 4.49"));
        }
    }
}

TEST(Verdict, ErrorCarriesItsReason) {
    EXPECT_EQ(TestVerdictLine(ErrorVerdict(3, "stopped")), "VERDICT TEST 3: ERROR stopped");
    EXPECT_EQ(UnitVerdictLine(VerdictKind::Fail), "VERDICT UNIT: FAIL");
}

TestVerdict Passed(int number) {
    return TestVerdict{number, VerdictKind::Pass, {}, {}, {}};
}

TEST(RunVerdicts, TheUnitPassesOnlyWhenEveryPlannedTestPassed) {
    RunVerdicts run;
    run.Start(2);
    run.Add(Passed(1));
    EXPECT_FALSE(run.SoFar().has_value());
    EXPECT_EQ(run.Unit(), VerdictKind::Error);  // ended here: test 2 never ran
    run.Add(Passed(2));
    EXPECT_EQ(run.SoFar(), VerdictKind::Pass);
    EXPECT_EQ(run.Unit(), VerdictKind::Pass);
    EXPECT_EQ(run.Lines(), (std::vector<std::string>{"VERDICT TEST 1: PASS", "VERDICT TEST 2: PASS",
                                                     "VERDICT UNIT: PASS"}));
    run.Start(0);
    EXPECT_TRUE(run.Tests().empty());
    EXPECT_EQ(run.Unit(), VerdictKind::Pass);
}

TEST(RunVerdicts, AFailedLimitOutweighsAnError) {
    RunVerdicts run;
    run.Start(3);
    run.Add(TestVerdict{1, VerdictKind::Fail, {"V4 4.70 > 4.50", "CT 13.00 > 12.00"}, {}, {}});
    EXPECT_EQ(run.SoFar(), VerdictKind::Fail);
    run.Add(ErrorVerdict(2, "stopped"));
    EXPECT_EQ(run.Unit(), VerdictKind::Fail);
    EXPECT_EQ(run.Reasons(),
              (std::vector<std::string>{"TEST 1: V4 4.70 > 4.50", "TEST 1: CT 13.00 > 12.00",
                                        "TEST 2: stopped"}));
    EXPECT_EQ(run.Lines().back(), "VERDICT UNIT: FAIL");

    run.Start(3);
    run.Add(Passed(1));
    run.Add(ErrorVerdict(2, "stopped"));
    EXPECT_EQ(run.SoFar(), VerdictKind::Error);
    EXPECT_EQ(run.Unit(), VerdictKind::Error);
}

std::string SourceFile(const std::string& relative) {
    std::ifstream file(std::string(ORVALT_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(LimitsDocumentation, TheExampleLimitFilesLoad) {
    for (const char* name : {"examples/limits-pass.csv", "examples/limits-fail.csv"}) {
        const Result<Limits> result = ParseLimits(SourceFile(name));
        EXPECT_TRUE(result.Ok()) << name << ": " << result.Error();
        EXPECT_FALSE(result->rows.empty()) << name;
    }
}

// The healthy simulated unit's figures in the example plan, as its log shows
// them: levels 2.60, 3.30, 4.00, 4.70 V, Time To ON 3.10 s, Time To OFF 0.50
// and 0.75 s (0.25 and 0.50 s from level 1), delay 512.
struct ExampleTest {
    TestShape shape;
    TestMeasurements measured;
};

std::vector<ExampleTest> HealthyExampleRun() {
    const auto healthy = [](int cycles, int level, double ct) {
        TestMeasurements m;
        for (int c = 0; c < cycles; ++c) {
            m.V1[c] = 2.6;
            m.V2[c] = 3.3;
            m.V3[c] = 4.0;
            m.V4[c] = 4.7;
        }
        const int last = cycles - 1;
        const std::array<std::array<double, 4>*, 4> levels{&m.V1, &m.V2, &m.V3, &m.V4};
        for (int after = level; after < 4; ++after) {
            (*levels[after])[last] = 0.0;  // not read after the switch-off
        }
        m.CT = ct;
        m.timeToOn = 3.1;
        m.timeToOffA[level - 1] = level == 1 ? 0.25 : 0.5;
        m.timeToOffB[level - 1] = level == 1 ? 0.5 : 0.75;
        m.timeToOffDone = 1;
        m.delay = 512;
        m.diagValue = 2;
        m.priorCount = 4;
        m.diagReceived = true;
        return ExampleTest{{true, cycles, level}, m};
    };
    return {healthy(1, 3, 0.0), healthy(2, 4, 19.0), healthy(3, 3, 35.0), healthy(4, 1, 51.0),
            ExampleTest{{false, 4, 1}, {}}};
}

std::vector<std::string> JudgeExampleRun(const char* limitsFile) {
    const Result<Limits> limits = ParseLimits(SourceFile(limitsFile));
    EXPECT_TRUE(limits.Ok()) << limits.Error();
    RunVerdicts run;
    const auto tests = HealthyExampleRun();
    run.Start(tests.size());
    for (std::size_t i = 0; i < tests.size(); ++i) {
        run.Add(JudgeTest(static_cast<int>(i) + 1,
                          NameMeasurements(tests[i].measured, tests[i].shape), *limits));
    }
    return run.Lines();
}

TEST(LimitsDocumentation, TheHealthyUnitPassesOneExampleAndFailsTheOther) {
    const auto summaryV4 =
        AsMap(NameMeasurements(HealthyExampleRun()[1].measured, HealthyExampleRun()[1].shape))
            .at("V4");
    EXPECT_EQ(summaryV4, 4.7);
    EXPECT_EQ(JudgeExampleRun("examples/limits-pass.csv"),
              (std::vector<std::string>{"VERDICT TEST 1: PASS", "VERDICT TEST 2: PASS",
                                        "VERDICT TEST 3: PASS", "VERDICT TEST 4: PASS",
                                        "VERDICT TEST 5: PASS", "VERDICT UNIT: PASS"}));
    EXPECT_EQ(
        JudgeExampleRun("examples/limits-fail.csv"),
        (std::vector<std::string>{"VERDICT TEST 1: PASS", "VERDICT TEST 2: FAIL V4 4.70 > 4.50",
                                  "VERDICT TEST 3: PASS", "VERDICT TEST 4: PASS",
                                  "VERDICT TEST 5: PASS", "VERDICT UNIT: FAIL"}));
}

}  // namespace
}  // namespace orvalt
