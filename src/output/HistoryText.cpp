#include "output/HistoryText.h"

#include "domain/PrintableText.h"

namespace orvalt {

std::string HistoryLine(const HistoryRow& row) {
    const auto orDash = [](const std::string& text) {
        return text.empty() ? std::string("-") : PrintableText(text);
    };
    std::string unit = orDash(row.serial);
    if (!row.serial.empty() && row.attempt) {
        unit.append(" #").append(std::to_string(*row.attempt));
    }
    const bool ended = !row.endedAt.empty();
    const std::string verdict = !ended         ? "IN PROGRESS"
                                : !row.verdict ? "not judged"
                                               : PrintableText(row.verdict->Word());
    return PrintableText(row.startedAt) + "  " + PrintableText(row.uuid) + "  " +
           orDash(row.model) + "  " + unit + "  " + std::to_string(row.completedTests) + "/" +
           std::to_string(row.tests) + " tests  " + (ended ? orDash(row.endedHow) : "-") + "  " +
           verdict + "  " + orDash(row.planName) + "  " + orDash(row.host) + "/" +
           orDash(row.operatorName) + "  " + orDash(row.fixture);
}

}  // namespace orvalt
