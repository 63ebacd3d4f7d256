#include "results/TotalsLine.h"

#include "results/CsvField.h"

namespace orvalt {

std::string FormatTotalsLine(std::string_view manufacturer, std::string_view summaryLine) {
    std::string_view rest = summaryLine;
    std::string line;
    for (int field = 1; field <= 3; ++field) {
        line += TakeCsvField(rest);
        line += ',';
    }
    TakeCsvField(rest);  // the manufacturer at the time of the run
    line += QuoteCsvField(manufacturer);
    line += ',';
    line += rest;
    return line;
}

}  // namespace orvalt
