#include "lookback/RunReport.h"

#include <cstdio>

#include "domain/Crossing.h"
#include "domain/HtmlEscaped.h"
#include "domain/Joined.h"
#include "lookback/StoredTrace.h"
#include "plot/TraceSvg.h"

namespace orvalt {

namespace {

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:24px;color:#222}"
    "table{border-collapse:collapse;margin:8px 0}td,th{border:1px solid #bbb;padding:3px 8px;"
    "text-align:left;font-size:13px}th{background:#eee}pre{background:#f6f6f6;padding:8px;"
    "font-size:12px;overflow-x:auto}section.test{margin-top:28px}";

std::string Cell(const std::string& text, const char* tag = "td") {
    return std::string("<") + tag + ">" + HtmlEscaped(text) + "</" + tag + ">";
}

std::string Pairs(const std::vector<std::pair<std::string, std::string>>& rows) {
    std::string html = "<table>";
    for (const auto& [name, value] : rows) {
        html += "<tr>" + Cell(name, "th") + Cell(value) + "</tr>";
    }
    return html + "</table>";
}

std::string Volts(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

std::string RunSection(const LoadedRun& run) {
    const RunStart& start = run.start;
    const RecordedUnit& unit = start.unit;
    return "<h1>Run " + HtmlEscaped(start.uuid) + "</h1>" +
           Pairs({{"Serial", unit.serial},
                  {"Manufacturer", unit.manufacturer},
                  {"Model", unit.model},
                  {"Type", unit.type},
                  {"Power", unit.power},
                  {"Size", unit.size},
                  {"Driver", unit.driverManufacturer + " " + unit.driverModel},
                  {"Started", start.startedAt},
                  {"Ended", run.endedAt},
                  {"How it ended",
                   run.endedHow + (run.endReason.empty() ? "" : ": " + run.endReason)},
                  {"Station", start.host},
                  {"Operator", start.operatorName},
                  {"Fixture", start.fixture}});
}

std::string PlanSection(const LoadedRun& run) {
    return "<h2>Plan " + HtmlEscaped(run.start.planName) + "</h2><p>SHA-256 " +
           HtmlEscaped(run.start.planSha256) + "</p><pre>" + HtmlEscaped(run.start.planText) +
           "</pre><details><summary>Settings at Start</summary>" + Pairs(run.start.settings) +
           "</details>";
}

std::string MeasurementTable(const LoadedTest& test) {
    std::string html = "<table class=\"measurements\"><tr><th>Measurement</th><th>Value</th></tr>";
    for (const MeasurementRecord& record : test.measurements) {
        const NamedMeasurement& measurement = record.figure;
        if (!IsSwitchRow(measurement.name)) {
            html += "<tr>" + Cell(measurement.name) + Cell(Volts(measurement.value)) + "</tr>";
        }
    }
    return html + "</table>";
}

std::string DiagTable(const std::vector<DiagLineRecord>& lines) {
    if (lines.empty()) {
        return "<p>No diagnostic lines.</p>";
    }
    std::string html =
        "<table class=\"diag\"><tr><th>ms</th><th>Line</th><th>Field 1</th>"
        "<th>Field 2</th><th>Field 3</th></tr>";
    for (const auto& line : lines) {
        html += "<tr>" + Cell(std::to_string(line.ms)) + Cell(line.raw) +
                Cell(std::to_string(line.fields[0])) + Cell(std::to_string(line.fields[1])) +
                Cell(std::to_string(line.fields[2])) + "</tr>";
    }
    return html + "</table>";
}

std::string TestSection(const LoadedRun& run, const LoadedTest& test) {
    const std::string plan = Joined(test.start.planTexts);
    const ThresholdLevels levels = StoredLevels(run);
    return "<section class=\"test\"><h2>Test " + std::to_string(test.start.index + 1) + " (" +
           HtmlEscaped(test.start.mode) + ", " + HtmlEscaped(test.endedHow) + ")</h2>" +
           Pairs({{"Plan row", plan},
                  {"Started", test.start.startedAt},
                  {"Ended", test.endedAt},
                  {"Summary line", test.summaryLine},
                  {"Verdict", test.verdict ? test.verdict->outcome + " " + test.verdict->reasons
                                           : std::string("none")}}) +
           MeasurementTable(test) + "<h3>Trace (" + std::to_string(test.readings.size()) +
           " readings)</h3>" + TraceSvg(StoredTrace(test, levels), levels) +
           "<h3>Diagnostic lines</h3>" + DiagTable(test.diagLines) + "</section>";
}

}  // namespace

std::string RunReportHtml(const LoadedRun& run) {
    std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Orvalt run " +
                       HtmlEscaped(run.start.uuid) + "</title><style>" + kStyle +
                       "</style></head><body>" + RunSection(run) + PlanSection(run);
    for (const auto& test : run.tests) {
        html += TestSection(run, test);
    }
    if (!run.diagLinesBetweenTests.empty()) {
        html += "<h2>Diagnostic lines between tests</h2>" + DiagTable(run.diagLinesBetweenTests);
    }
    return html + "</body></html>\n";
}

}  // namespace orvalt
