#include "results/SummaryLine.h"

#include <array>

#include "domain/CsvField.h"
#include "domain/Format.h"
#include "domain/FormatFixed.h"

namespace orvalt {

namespace {

std::string DescriptionFields(const UnitDescription& text) {
    std::string fields;
    for (const std::string* field : DescriptionTexts(text)) {
        fields += QuoteCsvField(*field);
        fields += ", ";
    }
    return fields;
}

// V1..V4 of cycle N, CT, time to ON, then the Time-to-OFF pairs of levels 1
// and 4, each pair shown only when its A time is not 0. A test that did not
// cycle shows nothing but zeros.
std::array<double, 10> Figures(int cycleN, const TestMeasurements& m) {
    std::array<double, 10> figures{};
    if (m.notCycling) {
        return figures;
    }
    if (cycleN >= 1 && cycleN <= 4) {
        const auto cycle = static_cast<std::size_t>(cycleN - 1);
        figures[0] = m.V1[cycle];
        figures[1] = m.V2[cycle];
        figures[2] = m.V3[cycle];
        figures[3] = m.V4[cycle];
    }
    figures[4] = m.CT;
    figures[5] = m.timeToOn;
    for (const std::size_t level : {std::size_t{0}, std::size_t{3}}) {
        if (m.timeToOffA[level] != 0.0) {
            const std::size_t slot = level == 0 ? 6 : 8;
            figures[slot] = m.timeToOffA[level];
            figures[slot + 1] = m.timeToOffB[level];
        }
    }
    return figures;
}

// The diagnostic judgement counts only when the Time-to-OFF step ran.
std::string Judgement(const TestMeasurements& m) {
    if (m.notCycling || !m.timeToOffDone) {
        return "0, 0, 0, 0";
    }
    return Format("%d, %d, %d, %d", m.delay, m.saveNotAsExpected, m.priorCount, m.diagValue);
}

}  // namespace

std::string SummaryFields::Marks() const {
    return Format("%s, %d, %d", date.c_str(), 1, notCycling ? 1 : 0);
}

std::string SummaryFields::Text() const {
    std::string line = Marks();
    line += ", ";
    line += DescriptionFields(unit);
    line += figures;
    return line;
}

SummaryFields SummarizeTest(const UnitDescription& text, int cycleN, const TestMeasurements& m,
                            const LocalDate& date) {
    SummaryFields summary{Format("%02d-%02d-%02d", date.month, date.day, date.year - 2000),
                          m.notCycling != 0, text, std::string()};
    for (const double figure : Figures(cycleN, m)) {
        summary.figures += FormatFixed(figure, 2);
        summary.figures += ", ";
    }
    summary.figures += Judgement(m);
    return summary;
}

std::string BuildSummaryLine(const UnitDescription& text, int cycleN, const TestMeasurements& m,
                             const LocalDate& date) {
    return SummarizeTest(text, cycleN, m, date).Text();
}

}  // namespace orvalt
