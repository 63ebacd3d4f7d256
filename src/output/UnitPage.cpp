#include "output/UnitPage.h"

#include "output/HtmlEscaped.h"
#include "output/HtmlParts.h"

namespace orvalt {

namespace {

std::string HowItEnded(const HistoryRow& row) {
    return row.endedHow.empty() ? std::string("in progress") : row.endedHow;
}

std::string VerdictCell(const HistoryRow& row) {
    if (!row.verdict) {
        return Cell(row.endedHow.empty() ? "-" : "not judged");
    }
    const std::string word = HtmlEscaped(row.verdict->Word());
    return std::string("<td class=\"verdict-")
        .append(word)
        .append("\">")
        .append(word)
        .append("</td>");
}

// "#2"; built piece by piece: GCC 12 at -O3 takes "lit" + text for an
// overlapping copy (-Wrestrict).
std::string AttemptText(const HistoryRow& row) {
    return row.attempt ? std::string("#").append(std::to_string(*row.attempt)) : "-";
}

std::string RunLine(const HistoryRow& row) {
    return std::string("<tr>")
        .append(Cell(AttemptText(row), "num"))
        .append("<td>")
        .append(TimeElement(row.startedAt))
        .append("</td>")
        .append(Cell(row.host))
        .append(Cell(row.fixture))
        .append("<td>")
        .append(ModelLink(row.model))
        .append("</td>")
        .append(Cell(std::to_string(row.completedTests) + "/" + std::to_string(row.tests), "num"))
        .append(VerdictCell(row))
        .append(Cell(HowItEnded(row)))
        .append("<td>")
        .append(Link(RunUrl(row.uuid), "report"))
        .append("</td></tr>");
}

}  // namespace

std::string UnitPageMain(const std::string& serial, const std::vector<HistoryRow>& runs) {
    if (serial.empty()) {
        return "<h1>Unit</h1><p class=\"note\">Type a serial number in the box above.</p>";
    }
    std::string html = std::string("<h1>Unit <span class=\"serial\">")
                           .append(HtmlEscaped(serial))
                           .append("</span></h1>");
    if (runs.empty()) {
        return html.append("<p class=\"note\">No run of this unit is recorded.</p>");
    }
    html.append(
        "<table id=\"attempts\"><thead><tr><th>Attempt</th><th>Started</th><th>Station</th>"
        "<th>Fixture</th><th>Model</th><th>Tests</th><th>Verdict</th><th>How it ended</th>"
        "<th>Report</th></tr></thead><tbody>");
    for (const HistoryRow& row : runs) {
        html += RunLine(row);
    }
    html += "</tbody></table>";
    if (runs.size() >= kUnitRunsShown) {
        html.append("<p class=\"note\">The newest ")
            .append(std::to_string(kUnitRunsShown))
            .append(" runs; orvalt-cli history lists them all.</p>");
    }
    return html;
}

}  // namespace orvalt
