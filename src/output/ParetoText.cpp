#include "output/ParetoText.h"

#include <cstdio>
#include <vector>

#include "domain/CsvField.h"
#include "domain/PrintableText.h"

namespace orvalt {

namespace {

// Long enough for any reason the station words.
constexpr std::size_t kNameShownMax = 200;

// The figures of one row as both forms show them.
struct ParetoLine {
    std::string runs, share, cumulative, worst, name;
};

// "37.5" percent of `whole`, one decimal.
std::string Percent(std::int64_t part, std::int64_t whole) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f",
                  whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
    return text;
}

// Shares are of all the rows' runs, so that the cumulative share ends at
// 100 % even where a run counts under two reasons or tests.
std::vector<ParetoLine> Lines(const Pareto& pareto) {
    std::int64_t total = 0, sum = 0;
    for (const FailureReason& row : pareto.rows) {
        total += row.runs;
    }
    std::vector<ParetoLine> lines;
    for (const FailureReason& row : pareto.rows) {
        sum += row.runs;
        lines.push_back({std::to_string(row.runs), Percent(row.runs, total), Percent(sum, total),
                         row.worst ? WorstValueText(*row.worst) : "", row.reason});
    }
    return lines;
}

// "Reason", "Test", "Fixture", "Station".
std::string NameTitle(ParetoGrouping by) {
    std::string title = ParetoGroupingWord(by);
    title[0] = static_cast<char>(title[0] - 'a' + 'A');
    return title;
}

std::string TextLine(const ParetoLine& line, bool withWorst) {
    char text[128];
    std::snprintf(text, sizeof text, "%6s %8s %13s  ", line.runs.c_str(), line.share.c_str(),
                  line.cumulative.c_str());
    std::string shown = text;
    if (withWorst) {
        std::snprintf(text, sizeof text, "%-12s ", line.worst.c_str());
        shown += text;
    }
    return shown.append(line.name).append("\n");
}

}  // namespace

std::string ParetoText(const Pareto& pareto, ParetoGrouping by, const RunFilter& filter) {
    std::string text = std::string("Failure Pareto by ")
                           .append(ParetoGroupingWord(by))
                           .append(": ")
                           .append(RunFilterText(filter))
                           .append("\n")
                           .append(std::to_string(pareto.failedRuns))
                           .append(" failed runs of ")
                           .append(std::to_string(pareto.runs))
                           .append("\n");
    if (pareto.rows.empty()) {
        return text;
    }
    const bool withWorst = by == ParetoGrouping::Reason;
    text += "\n";
    text += TextLine({"Runs", "Share %", "Cumulative %", "Worst", NameTitle(by)}, withWorst);
    for (ParetoLine& line : Lines(pareto)) {
        line.name = line.name.empty() ? "-" : PrintableText(line.name, kNameShownMax);
        text += TextLine(line, withWorst);
    }
    return text;
}

std::string ParetoCsv(const Pareto& pareto, ParetoGrouping by) {
    const bool withWorst = by == ParetoGrouping::Reason;
    const auto record = [withWorst](const ParetoLine& line) {
        std::vector<std::string> fields{line.runs, line.share, line.cumulative, line.name};
        if (withWorst) {
            fields.push_back(line.worst);
        }
        return CsvRecord(fields);
    };
    std::string csv = record({"Runs", "Share %", "Cumulative %", "Worst", NameTitle(by)});
    for (const ParetoLine& line : Lines(pareto)) {
        csv += record(line);
    }
    return csv;
}

}  // namespace orvalt
