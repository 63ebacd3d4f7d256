#include "results/TotalsLine.h"

#include "domain/CsvField.h"

namespace orvalt {

std::string FormatTotalsLine(std::string_view manufacturer, const SummaryFields& summary) {
    std::string line = summary.Marks();
    line += ',';
    line += QuoteCsvFieldStrictly(manufacturer);
    const auto texts = DescriptionTexts(summary.unit);
    for (auto text = texts.begin() + 1; text != texts.end(); ++text) {
        line += ", ";
        line += QuoteCsvFieldStrictly(**text);
    }
    line += ", ";
    line += summary.figures;
    return line;
}

}  // namespace orvalt
