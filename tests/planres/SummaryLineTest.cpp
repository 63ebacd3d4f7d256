#include "results/SummaryLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "results/CsvField.h"
#include "results/TotalsLine.h"

namespace orvalt {
namespace {

const UnitDescription kUnit{"Acme", "X100", "Linear", "40W", "4ft", "DrvCo", "D-200"};
const LocalDate kDecember6{2026, 12, 6};
const std::string kHead = "12-06-26, 1, 0, Acme, X100, Linear, 40W, 4ft, DrvCo, D-200, ";

// The test of "Cycle 2 @ Level 4" with its Time-to-OFF step done.
TestMeasurements Cycle2Level4() {
    TestMeasurements m;
    m.V1 = {1.0, 2.514, 9.0, 9.0};
    m.V2 = {1.0, 3.02, 9.0, 9.0};
    m.V3 = {1.0, 4.5, 9.0, 9.0};
    m.V4 = {1.0, 5.1, 9.0, 9.0};
    m.CT = 12.345;
    m.timeToOn = 1.2;
    m.timeToOffA[3] = 0.451;
    m.timeToOffB[3] = 0.612;
    m.timeToOffA[1] = 7.0;  // levels 2 and 3 never show
    m.timeToOffDone = 1;
    m.delay = 512;
    m.priorCount = 3;
    m.diagValue = 2;
    return m;
}

std::vector<std::string> SplitFields(std::string_view line) {
    std::vector<std::string> fields;
    do {
        fields.emplace_back(TakeCsvField(line));
    } while (!line.empty());
    return fields;
}

TEST(SummaryLine, CondensesATest) {
    EXPECT_EQ(BuildSummaryLine(kUnit, 2, Cycle2Level4(), kDecember6),
              kHead + "2.51, 3.02, 4.50, 5.10, 12.35, 1.20, 0.00, 0.00, 0.45, 0.61, 512, 0, 3, 2");
}

TEST(SummaryLine, ShowsOnlyZerosForAUnitThatDidNotCycle) {
    TestMeasurements m = Cycle2Level4();
    m.notCycling = 1;
    EXPECT_EQ(BuildSummaryLine(kUnit, 2, m, kDecember6),
              "12-06-26, 1, 1, Acme, X100, Linear, 40W, 4ft, DrvCo, D-200, "
              "0.00, 0.00, 0.00, 0.00, 0.00, 0.00, 0.00, 0.00, 0.00, 0.00, 0, 0, 0, 0");
}

TEST(SummaryLine, ShowsTheJudgementOnlyWhenTheTimeToOffStepRan) {
    TestMeasurements m = Cycle2Level4();
    m.timeToOffDone = 0;
    m.saveNotAsExpected = 1;
    EXPECT_EQ(BuildSummaryLine(kUnit, 2, m, kDecember6),
              kHead + "2.51, 3.02, 4.50, 5.10, 12.35, 1.20, 0.00, 0.00, 0.45, 0.61, 0, 0, 0, 0");
}

TEST(SummaryLine, ShowsATimeToOffPairOnlyWhenItsATimeIsNotZero) {
    TestMeasurements m = Cycle2Level4();
    m.timeToOffB[0] = 0.8;
    m.timeToOffA[3] = 0.0;
    m.saveNotAsExpected = 1;
    EXPECT_EQ(BuildSummaryLine(kUnit, 1, m, kDecember6),
              kHead + "1.00, 1.00, 1.00, 1.00, 12.35, 1.20, 0.00, 0.00, 0.00, 0.00, 512, 1, 3, 2");
}

TEST(SummaryLine, ShowsATimeThatWasNeverReached) {
    TestMeasurements m = Cycle2Level4();
    m.timeToOffA[0] = kTimeNotReached;
    m.timeToOffB[0] = kTimeNotReached;
    m.timeToOn = kTimeNotReached;
    EXPECT_EQ(BuildSummaryLine(kUnit, 4, m, {2031, 1, 9}),
              "01-09-31, 1, 0, Acme, X100, Linear, 40W, 4ft, DrvCo, D-200, "
              "9.00, 9.00, 9.00, 9.00, 12.35, -1.00, -1.00, -1.00, 0.45, 0.61, 512, 0, 3, 2");
}

// A comma in a description must not move the figures out of place, neither in
// the summary line nor in the totals line made from it; a text without one is
// written as typed, double quotes and all.
TEST(SummaryLine, QuotesOnlyADescriptionThatWouldSplit) {
    UnitDescription unit = kUnit;
    unit.manufacturer = "A,\"B\"";
    unit.model = "5\" \"Lamp\"";
    unit.fixtureSize = "4\"";
    unit.type = "\"Premium\" linear";
    const std::string line = BuildSummaryLine(unit, 2, Cycle2Level4(), kDecember6);
    const std::string head =
        "12-06-26, 1, 0, \"A,\"\"B\"\"\", 5\" \"Lamp\", \"Premium\" linear, 40W, 4\", DrvCo, ";
    EXPECT_EQ(line.substr(0, head.size()), head);
    const std::vector<std::string> fields = SplitFields(line);
    ASSERT_EQ(fields.size(), 24u);
    EXPECT_EQ(fields[4], " 5\" \"Lamp\"");
    EXPECT_EQ(fields[5], " \"Premium\" linear");
    EXPECT_EQ(fields[7], " 4\"");
    EXPECT_EQ(fields[10], " 2.51");
    EXPECT_EQ(fields[23], " 2");

    for (const char* manufacturer : {"Zeta, Inc", "\"Zeta\" Inc", "Zeta 4\""}) {
        const std::string totals = FormatTotalsLine(manufacturer, line);
        const std::string totalsHead = "12-06-26, 1, 0," + QuoteCsvField(manufacturer) +
                                       ", 5\" \"Lamp\", \"Premium\" linear, ";
        EXPECT_EQ(totals.substr(0, totalsHead.size()), totalsHead);
        EXPECT_EQ(SplitFields(totals).size(), 24u) << totals;
    }
}

TEST(CsvField, AnUnclosedQuoteEndsAtTheNextComma) {
    std::string_view rest = " \"Big, next";
    EXPECT_EQ(TakeCsvField(rest), " \"Big");
    EXPECT_EQ(rest, " next");
    rest = " \"a \"\"b\"\" c\"d, e";  // closed after c: the comma ends it
    EXPECT_EQ(TakeCsvField(rest), " \"a \"\"b\"\" c\"d");
    EXPECT_EQ(TakeCsvField(rest), " e");
    EXPECT_TRUE(rest.empty());
}

struct TotalsCase {
    const char* manufacturer;
    const char* summary;
    const char* totals;
};

class TotalsLine : public ::testing::TestWithParam<TotalsCase> {};

TEST_P(TotalsLine, ReplacesTheFourthField) {
    EXPECT_EQ(FormatTotalsLine(GetParam().manufacturer, GetParam().summary), GetParam().totals);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TotalsLine,
    ::testing::Values(TotalsCase{"Acme", "12-06-26, 1, 0, Acme, X100, Linear",
                                 "12-06-26, 1, 0,Acme, X100, Linear"},
                      TotalsCase{"NewCo", "12-06-26, 1, 0, Old, X100",
                                 "12-06-26, 1, 0,NewCo, X100"},
                      TotalsCase{"M", "no commas at all", "no commas at all,,,M,"},
                      TotalsCase{"M", "a, b", "a, b,,M,"},
                      TotalsCase{"", "a, b, c, d", "a, b, c,,"},
                      TotalsCase{"M\"x", "a,\"b,c\",d,\"e,f\",\"g,h\"", "a,\"b,c\",d,M\"x,\"g,h\""},
                      TotalsCase{"M,\"x", "a, b, c, d\", e", "a, b, c,\"M,\"\"x\", e"}));

}  // namespace
}  // namespace orvalt
