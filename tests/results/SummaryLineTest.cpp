#include "results/SummaryLine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "domain/CsvField.h"
#include "results/TotalsLine.h"
#include "support/CsvRecord.h"

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

// A comma in a description must not move the figures out of place; a text
// without one is written as typed, double quotes and all.
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

// The fields a totals line must read back as: the summary's, with `manufacturer`.
std::vector<std::string> TotalsFields(std::string_view manufacturer, const SummaryFields& test) {
    std::vector<std::string> fields{test.date, "1", test.notCycling ? "1" : "0",
                                    std::string(manufacturer)};
    const auto texts = DescriptionTexts(test.unit);
    for (auto text = texts.begin() + 1; text != texts.end(); ++text) {
        fields.push_back(**text);
    }
    std::string_view figures = test.figures;
    for (std::size_t comma = figures.find(", "); comma != std::string_view::npos;
         comma = figures.find(", ")) {
        fields.emplace_back(figures.substr(0, comma));
        figures.remove_prefix(comma + 2);
    }
    fields.emplace_back(figures);
    return fields;
}

// The totals line as it has always been made from a summary line whose fields
// hold no comma: the line up to its third comma, the manufacturer, then
// everything from the fourth comma on.
std::string TotalsBySplitting(std::string_view manufacturer, std::string_view line) {
    std::size_t third = 0;
    for (int comma = 0; comma < 3; ++comma) {
        third = line.find(',', comma == 0 ? 0 : third + 1);
    }
    const std::size_t fourth = line.find(',', third + 1);
    return std::string(line.substr(0, third + 1)) + std::string(manufacturer) +
           std::string(line.substr(fourth));
}

TEST(TotalsLine, KeepsEveryFieldOfADescriptionThatOpensWithAQuote) {
    UnitDescription unit = kUnit;
    unit.manufacturer = "\"Acme";
    unit.model = "X1";
    unit.type = "10W, dimmable";
    const SummaryFields test = SummarizeTest(unit, 2, Cycle2Level4(), kDecember6);
    const std::string totals = FormatTotalsLine("\"Acme", test);
    const std::string summaryHead = "12-06-26, 1, 0, \"Acme, X1, \"10W, dimmable\", 40W, ";
    EXPECT_EQ(test.Text().substr(0, summaryHead.size()), summaryHead);
    const std::string totalsHead = "12-06-26, 1, 0,\"\"\"Acme\", X1, \"10W, dimmable\", 40W, ";
    EXPECT_EQ(totals.substr(0, totalsHead.size()), totalsHead);
    EXPECT_EQ(test::ReadCsvRecord(totals), TotalsFields("\"Acme", test)) << totals;
}

// Texts of up to 6 characters from `alphabet`; `blankFirst` false keeps a
// blank from opening one.
std::string RandomText(std::mt19937& random, std::string_view alphabet, bool blankFirst) {
    std::string text(std::uniform_int_distribution<std::size_t>(0, 6)(random), ' ');
    for (char& c : text) {
        c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    }
    if (!blankFirst && !text.empty() && text.front() == ' ') {
        text.front() = 'B';
    }
    return text;
}

UnitDescription RandomUnit(std::mt19937& random, std::string_view alphabet, bool blankFirst) {
    UnitDescription unit;
    for (std::string* text : {&unit.manufacturer, &unit.model, &unit.type, &unit.power,
                              &unit.fixtureSize, &unit.driverManufacturer, &unit.driverModel}) {
        *text = RandomText(random, alphabet, blankFirst);
    }
    return unit;
}

// Whatever the description holds (the command line takes any text, line
// breaks included), a reader of comma-separated text gets every field back;
// and texts that need no quoting give the totals line byte for byte as it
// was made before.
TEST(TotalsLine, ReadsBackAsItsFieldsAndKeepsThePlainLineAsItWas) {
    std::mt19937 random(20);
    TestMeasurements m = Cycle2Level4();
    for (int trial = 0; trial < 3000; ++trial) {
        m.notCycling = trial % 7 == 0 ? 1 : 0;
        const UnitDescription any = RandomUnit(random, "\",\r\n \tA4\xb0", true);
        const std::string manufacturer = RandomText(random, "\",\r\n \tZ\xff", true);
        const SummaryFields test = SummarizeTest(any, 2, m, kDecember6);
        const std::string totals = FormatTotalsLine(manufacturer, test);
        ASSERT_EQ(test::ReadCsvRecord(totals), TotalsFields(manufacturer, test)) << totals;

        const UnitDescription plain = RandomUnit(random, "Az9 -/.\xb0", false);
        const std::string plainMaker = RandomText(random, "Az9 &", false);
        const SummaryFields plainTest = SummarizeTest(plain, 2, m, kDecember6);
        ASSERT_EQ(FormatTotalsLine(plainMaker, plainTest),
                  TotalsBySplitting(plainMaker, plainTest.Text()));
    }
}

}  // namespace
}  // namespace orvalt
