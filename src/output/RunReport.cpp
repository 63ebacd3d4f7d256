#include "output/RunReport.h"

#include "domain/Crossing.h"
#include "domain/Joined.h"
#include "domain/VerdictWord.h"
#include "output/HtmlEscaped.h"
#include "output/HtmlParts.h"
#include "output/PageStyle.h"
#include "output/TraceSvg.h"
#include "reading/StoredTrace.h"
#include "verdict/OperatorWords.h"
#include "verdict/ShownNumber.h"
#include "verdict/Verdict.h"

namespace orvalt {

namespace {

// Printed, the page is A4 and holds what a quality engineer signs: the
// verdict with its reasons, what judged it, the settings, each test's trace
// and the approval block; the plan's and limits' texts, the figures and the
// diagnostic lines stay on screen (class "onscreen"). No plot or table row is
// cut in two.
const std::string& ReportStyle() {
    static const std::string style =
        std::string(
            "@page{size:A4;margin:10mm 11mm}body{font-family:sans-serif;margin:24px;"
            "color:#222}") +
        TableRules() +
        WithVerdictColours(
            "pre{background:#f6f6f6;padding:8px;"
            "font-size:12px;overflow-x:auto;white-space:pre-wrap}section.test{margin-top:28px}"
            "tr,svg,.plot,.approval{break-inside:avoid;page-break-inside:avoid}"
            "header.verdict{border:4px solid #888;border-radius:8px;padding:10px 18px;"
            "margin-bottom:12px;display:flex;justify-content:space-between;align-items:center}"
            "header .serial{font-size:30px;font-weight:bold}header .model{font-size:18px}"
            "header .word{font-size:56px;font-weight:bold;letter-spacing:2px}"
            "header .note{font-size:14px}"
            ".pass{color:$pass}.fail{color:$fail}.error{color:$error}.notjudged{color:#555}"
            ".inprogress{color:#1f5fbf}header.pass{border-color:$pass}"
            "header.fail{border-color:$fail}header.error{border-color:$error}"
            "header.inprogress{border-color:#1f5fbf;background:#eef4ff}"
            "td.pass,td.fail,td.error{font-weight:bold}"
            "ul.reasons{margin:6px 0 10px;padding-left:22px;font-size:15px}"
            "p.reference{font-size:13px;color:#444}"
            "table.identity td,table.identity th{font-size:12px;padding:2px 8px}"
            "dl.settings{column-count:3;column-gap:18px;font-size:12px;margin:6px 0}"
            "dl.settings div{break-inside:avoid}dl.settings dt{display:inline;font-weight:bold}"
            "dl.settings dd{display:inline;margin:0 0 0 6px}"
            "svg.plot{max-width:100%;height:auto}"
            ".approval{margin-top:28px;border:2px solid #444;padding:8px 14px}"
            ".approval h2{margin:0 0 4px;font-size:16px}.signing{display:flex;gap:24px}"
            ".signing div{flex:1}.signing .line{border-bottom:1px solid #222;height:30px}"
            ".signing .what{font-size:12px;color:#444}"
            "@media print{body{margin:0;font-size:11px}.onscreen{display:none}"
            "header.verdict{padding:4px 12px;margin-bottom:4px;border-width:3px}"
            "header .serial{font-size:20px}header .model{font-size:13px}"
            "header .word{font-size:30px}ul.reasons{font-size:12px;margin:2px 0 4px}"
            "h2{font-size:13px;margin:8px 0 2px}table{margin:2px 0}"
            "td,th,table.identity td,table.identity th{font-size:9.5px;padding:1px 5px}"
            "dl.settings{font-size:8.5px;margin:2px 0}p.reference{font-size:10px;margin:2px 0}"
            "section.test{margin-top:4px;break-inside:avoid}section.test "
            "h2{font-size:11px;margin:2px 0 0}"
            "svg.plot{width:100%}.approval{margin-top:8px;padding:4px 12px}"
            ".approval h2{font-size:12px}}");
    return style;
}

// A test without a verdict shows why it has none, in the colour of what it
// shows: a how-it-ended word is of no kind; only a damaged record's ended_how
// holding a verdict word has one, and it is coloured as it always was.
std::optional<VerdictKind> ShownKind(const LoadedTest& test) {
    return test.verdict ? test.verdict->outcome.Kind() : VerdictKindFromWord(TestVerdictWord(test));
}

std::string Pairs(const std::vector<std::pair<std::string, std::string>>& rows,
                  const char* tableClass = nullptr) {
    std::string html = tableClass ? std::string("<table class=\"").append(tableClass).append("\">")
                                  : std::string("<table>");
    for (const auto& [name, value] : rows) {
        html += "<tr>" + HeadCell(name) + Cell(value) + "</tr>";
    }
    return html + "</table>";
}

// The word at the top of the page: the unit's verdict, or that there is none
// yet.
struct Headline {
    std::string word;
    const char* look;
};

Headline HeadlineOf(const LoadedRun& run) {
    if (run.endedHow.empty()) {
        return {"IN PROGRESS", "inprogress"};
    }
    // A verdict of no known kind heads the page as not judged, as none does.
    const VerdictKind kind = run.unitVerdict
                                 ? run.unitVerdict->Kind().value_or(VerdictKind::NotJudged)
                                 : VerdictKind::NotJudged;
    return {VerdictKindWord(kind), VerdictLook(kind)};
}

std::string HeadlineNote(const LoadedRun& run) {
    if (run.endedHow.empty()) {
        return "The run is still going: this page shows it as recorded so far.";
    }
    if (run.endedHow == "completed") {
        return {};
    }
    return "Run " + run.endedHow + (run.endReason.empty() ? "" : ": " + run.endReason);
}

std::string Header(const LoadedRun& run) {
    const RecordedUnit& unit = run.start.unit;
    const Headline headline = HeadlineOf(run);
    const std::string note = HeadlineNote(run);
    const std::string model =
        unit.manufacturer.empty() ? unit.model : unit.manufacturer + " " + unit.model;
    return std::string("<header class=\"verdict ").append(headline.look).append("\"><div>") +
           "<div class=\"serial\">" + HtmlEscaped(unit.serial.empty() ? "no serial" : unit.serial) +
           "</div><div class=\"model\">" + HtmlEscaped(model) + "</div>" +
           (note.empty() ? "" : "<div class=\"note\">" + HtmlEscaped(note) + "</div>") +
           "</div><div class=\"word\">" + HtmlEscaped(headline.word) + "</div></header>";
}

std::string LimitsText(const RunStart& start) {
    if (start.limitsSha256.empty() && start.limitsName.empty()) {
        return "not judged";
    }
    return start.limitsName + " (SHA-256 " + start.limitsSha256 + ")";
}

std::string OperatorText(const RunStart& start) {
    if (start.login.empty() || start.login == start.operatorName) {
        return start.operatorName;
    }
    return start.operatorName + " (login " + start.login + ")";
}

std::string U3Text(const RunStart& start) {
    if (start.u3Firmware.empty()) {
        return start.u3Serial;
    }
    return start.u3Serial + " (firmware " + start.u3Firmware + ")";
}

std::string EndText(const LoadedRun& run) {
    if (run.endedHow.empty()) {
        return "not ended yet";
    }
    return run.endedAt + " (" + run.endedHow + ")";
}

std::string IdentitySection(const LoadedRun& run) {
    const RunStart& start = run.start;
    const RecordedUnit& unit = start.unit;
    return Pairs({{"Limits", LimitsText(start)},
                  {"Plan", start.planName + " (SHA-256 " + start.planSha256 + ")"},
                  {"Attempt", run.attempt ? std::to_string(*run.attempt) : std::string("-")},
                  {"Operator", OperatorText(start)},
                  {"Lot", start.lot},
                  {"Station", start.host},
                  {"Fixture", start.fixture},
                  {"U3 serial", U3Text(start)},
                  {"Program version", start.programVersion},
                  {"Started", start.startedAt},
                  {"Ended", EndText(run)},
                  {"Unit", unit.type + " " + unit.power + " " + unit.size},
                  {"Driver", unit.driverManufacturer + " " + unit.driverModel},
                  {"Run", start.uuid}},
                 "identity");
}

// The test's reasons as the station told the operator of them; a record's
// reasons of no form this station writes are shown as they stand.
std::vector<std::string> ReasonWords(const LoadedTest& test) {
    const int number = test.start.index + 1;
    if (!test.verdict || test.verdict->outcome.Kind() == VerdictKind::Pass) {
        return {};
    }
    if (const std::optional<VerdictKind> kind = test.verdict->outcome.Kind()) {
        if (const auto verdict = RecordedTestVerdict(number, *kind, test.verdict->reasons)) {
            return TestReasonWords(*verdict);
        }
    }
    return {"Test " + std::to_string(number) + ": " + test.verdict->outcome.Word() + " " +
            test.verdict->reasons};
}

std::string ReasonList(const LoadedRun& run) {
    std::string list;
    for (const LoadedTest& test : run.tests) {
        for (const std::string& reason : ReasonWords(test)) {
            list += "<li>" + HtmlEscaped(reason) + "</li>";
        }
    }
    return list.empty() ? list : "<ul class=\"reasons\">" + list + "</ul>";
}

std::string TestSummaryTable(const LoadedRun& run) {
    if (run.tests.empty()) {
        return "<p>No test began.</p>";
    }
    std::string html =
        "<table class=\"tests\"><tr><th>Test</th><th>Mode</th><th>Ended</th><th>Verdict</th>"
        "</tr>";
    for (const LoadedTest& test : run.tests) {
        html += "<tr>" + Cell("TEST " + std::to_string(test.start.index + 1)) +
                Cell(test.start.mode) + Cell(test.endedHow.empty() ? "-" : test.endedHow) +
                Cell(TestVerdictWord(test), VerdictLook(ShownKind(test))) + "</tr>";
    }
    return html + "</table>";
}

std::string ReferenceNote(const TraceReference& reference) {
    if (!reference.run) {
        return reference.missing.empty()
                   ? std::string()
                   : "<p class=\"reference\">" + HtmlEscaped(reference.missing) + "</p>";
    }
    const LoadedRun& run = *reference.run;
    const std::string& serial = run.start.unit.serial;
    const std::string attempt = run.attempt ? " #" + std::to_string(*run.attempt) : "";
    return "<p class=\"reference\">In grey beneath each trace: passed unit " +
           HtmlEscaped(serial.empty() ? std::string("without a serial") : serial + attempt) +
           ", run " + HtmlEscaped(run.start.uuid) + ", started " +
           HtmlEscaped(UtcText(run.start.startedAt)) + ".</p>";
}

// The drift alarms the run's unit raised: they judge nothing, so they stand
// apart from the verdicts.
std::string AlarmSection(const LoadedRun& run) {
    if (run.alarms.empty()) {
        return {};
    }
    std::string html =
        "<h2>Drift alarms</h2><table class=\"alarms\"><tr><th>Test</th><th>Measurement</th>"
        "<th>Rule</th><th>Alarm</th><th>Raised</th></tr>";
    for (const AlarmRecord& alarm : run.alarms) {
        html += "<tr>" + Cell("TEST " + std::to_string(alarm.testIndex + 1)) +
                Cell(alarm.measurement) + Cell(std::to_string(alarm.rule)) + Cell(alarm.text) +
                Cell(alarm.raisedAt) + "</tr>";
    }
    return html + "</table>";
}

std::string PlanSection(const LoadedRun& run) {
    return "<div class=\"onscreen\"><h2>Plan " + HtmlEscaped(run.start.planName) +
           "</h2><p>SHA-256 " + HtmlEscaped(run.start.planSha256) + "</p><pre>" +
           HtmlEscaped(run.start.planText) + "</pre>" +
           (run.start.limitsText.empty()
                ? std::string()
                : "<h2>Limits " + HtmlEscaped(run.start.limitsName) + "</h2><pre>" +
                      HtmlEscaped(run.start.limitsText) + "</pre>") +
           "</div>";
}

std::string SettingsSection(const LoadedRun& run) {
    std::string list;
    for (const auto& [name, value] : run.start.settings) {
        list += "<div><dt>" + HtmlEscaped(name) + "</dt><dd>" + HtmlEscaped(value) + "</dd></div>";
    }
    return "<section class=\"settings\"><h2>Settings at Start</h2><dl class=\"settings\">" + list +
           "</dl></section>";
}

// Where the quality engineer signs, on screen and on paper.
std::string ApprovalSection() {
    std::string fields;
    for (const char* what : {"Reviewed by", "Date", "Signature"}) {
        fields += std::string("<div><div class=\"line\"></div><div class=\"what\">") + what +
                  "</div></div>";
    }
    return "<section class=\"approval\"><h2>Approval</h2><div class=\"signing\">" + fields +
           "</div></section>";
}

std::string Bound(const std::optional<double>& bound, int decimals) {
    return bound ? ShownText(*bound, decimals) : std::string();
}

// Each figure with the digits the station showed and judged, its unit, the
// bounds it was held to and how it came out.
std::string MeasurementTable(const LoadedTest& test) {
    std::string html =
        "<table class=\"measurements\"><tr><th>Measurement</th><th>Value</th><th>Unit</th>"
        "<th>Min</th><th>Max</th><th>Outcome</th></tr>";
    for (const MeasurementRecord& record : test.measurements) {
        const NamedMeasurement& figure = record.figure;
        if (IsSwitchRow(figure.name)) {
            continue;
        }
        html +=
            "<tr>" + Cell(figure.name) + Cell(ShownText(figure.value, figure.decimals)) +
            Cell(figure.unit) + Cell(Bound(record.min, figure.decimals)) +
            Cell(Bound(record.max, figure.decimals)) +
            Cell(MeasurementOutcomeWord(record.outcome), VerdictLook(OutcomeKind(record.outcome))) +
            "</tr>";
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

const LoadedTest* TestOfIndex(const TraceReference& reference, int index) {
    if (!reference.run) {
        return nullptr;
    }
    for (const LoadedTest& test : reference.run->tests) {
        if (test.start.index == index) {
            return &test;
        }
    }
    return nullptr;
}

std::string TestPlot(const LoadedRun& run, const LoadedTest& test,
                     const TraceReference& reference) {
    const ThresholdLevels levels = StoredLevels(run);
    const LoadedTest* other = TestOfIndex(reference, test.start.index);
    const std::optional<TestTrace> otherTrace =
        other ? std::optional(StoredTrace(*other, levels)) : std::nullopt;
    return "<div class=\"plot\"><h3 class=\"onscreen\">Trace (" +
           std::to_string(test.readings.size()) + " readings)</h3>" +
           TraceSvg(StoredTrace(test, levels), levels, otherTrace ? &*otherTrace : nullptr) +
           "</div>";
}

std::string TestSection(const LoadedRun& run, const LoadedTest& test,
                        const TraceReference& reference) {
    const std::string plan = Joined(test.start.planTexts);
    return "<section class=\"test\"><h2>Test " + std::to_string(test.start.index + 1) + " (" +
           HtmlEscaped(test.start.mode) + ", " +
           HtmlEscaped(test.endedHow.empty() ? "in progress" : test.endedHow) + ", " +
           HtmlEscaped(TestVerdictWord(test)) + ")</h2><div class=\"onscreen\">" +
           Pairs({{"Plan row", plan},
                  {"Started", test.start.startedAt},
                  {"Ended", test.endedAt},
                  {"Summary line", test.summaryLine},
                  {"Verdict", test.verdict
                                  ? test.verdict->outcome.Word() + " " + test.verdict->reasons
                                  : TestVerdictWord(test)}}) +
           MeasurementTable(test) + "</div>" + TestPlot(run, test, reference) +
           "<div class=\"onscreen\"><h3>Diagnostic lines</h3>" + DiagTable(test.diagLines) +
           "</div></section>";
}

}  // namespace

std::string RunReportHtml(const LoadedRun& run, const TraceReference& reference) {
    std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Orvalt run " +
                       HtmlEscaped(run.start.uuid) + "</title><style>" + ReportStyle() +
                       "</style></head><body><div class=\"summary\">" + Header(run) +
                       ReasonList(run) + IdentitySection(run) + "<h2>Tests</h2>" +
                       TestSummaryTable(run) + AlarmSection(run) + "</div>" + SettingsSection(run) +
                       "<div class=\"details\">" + PlanSection(run) + ReferenceNote(reference);
    for (const auto& test : run.tests) {
        html += TestSection(run, test, reference);
    }
    if (!run.diagLinesBetweenTests.empty()) {
        html += "<div class=\"onscreen\"><h2>Diagnostic lines between tests</h2>" +
                DiagTable(run.diagLinesBetweenTests) + "</div>";
    }
    return html + "</div>" + ApprovalSection() + "</body></html>\n";
}

}  // namespace orvalt
