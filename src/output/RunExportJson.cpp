#include <cmath>
#include <nlohmann/json.hpp>

#include "output/RunExport.h"
#include "verdict/ShownNumber.h"

namespace orvalt {

namespace {

// Ordered: the fields come in the order a reader of the record expects them.
using json = nlohmann::ordered_json;

// An empty text is the record's "none": null in the export.
json TextOrNull(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

// JSON has no NaN or infinity: such a figure is null, and its shown text says
// what it was.
json Number(double value) {
    return std::isfinite(value) ? json(value) : json(nullptr);
}

json BoundOrNull(const std::optional<double>& bound) {
    return bound ? Number(*bound) : json(nullptr);
}

json UnitJson(const RecordedUnit& unit) {
    return {{"manufacturer", unit.manufacturer},
            {"model", unit.model},
            {"type", unit.type},
            {"power", unit.power},
            {"size", unit.size},
            {"driver_manufacturer", unit.driverManufacturer},
            {"driver_model", unit.driverModel},
            {"serial", unit.serial}};
}

json LimitsJson(const RunStart& start) {
    if (start.limitsName.empty() && start.limitsSha256.empty()) {
        return nullptr;
    }
    return {{"name", start.limitsName}, {"sha256", start.limitsSha256}, {"text", start.limitsText}};
}

json SettingsJson(const RunStart& start) {
    json settings = json::array();
    for (const auto& [name, value] : start.settings) {
        settings.push_back({{"name", name}, {"value", value}});
    }
    return settings;
}

json MeasurementJson(const MeasurementRecord& record) {
    const NamedMeasurement& figure = record.figure;
    return {{"name", figure.name},
            {"value", Number(figure.value)},
            {"shown", ShownText(figure.value, figure.decimals)},
            {"unit", figure.unit},
            {"decimals", figure.decimals},
            {"min", BoundOrNull(record.min)},
            {"max", BoundOrNull(record.max)},
            {"outcome", MeasurementOutcomeWord(record.outcome)}};
}

json DiagLinesJson(const std::vector<DiagLineRecord>& lines) {
    json out = json::array();
    for (const DiagLineRecord& line : lines) {
        out.push_back({{"ms", line.ms}, {"raw", line.raw}, {"fields", line.fields}});
    }
    return out;
}

json TraceJson(const LoadedTest& test) {
    json readings = json::array();
    for (const Reading& reading : test.readings) {
        readings.push_back(
            {{"ms", reading.ms}, {"volts", Number(reading.volts)}, {"status", reading.status}});
    }
    json switches = json::array();
    for (const LineSwitch& change : test.switches) {
        switches.push_back({{"ms", change.ms}, {"line", change.line}, {"on", change.on}});
    }
    return {{"readings", readings},
            {"switches", switches},
            {"diag_lines", DiagLinesJson(test.diagLines)}};
}

json TestJson(const LoadedTest& test, bool trace) {
    json measurements = json::array();
    for (const MeasurementRecord& record : test.measurements) {
        measurements.push_back(MeasurementJson(record));
    }
    json out = {{"index", test.start.index},
                {"number", test.start.index + 1},
                {"plan_texts", test.start.planTexts},
                {"mode", test.start.mode},
                {"started_at", test.start.startedAt},
                {"ended_at", TextOrNull(test.endedAt)},
                {"ended_how", TextOrNull(test.endedHow)},
                {"summary_line", test.summaryLine},
                {"verdict", test.verdict ? json{{"outcome", test.verdict->outcome.Word()},
                                                {"reasons", test.verdict->reasons}}
                                         : json(nullptr)},
                {"measurements", measurements}};
    if (trace) {
        out["trace"] = TraceJson(test);
    }
    return out;
}

json AlarmsJson(const std::vector<AlarmRecord>& alarms) {
    json out = json::array();
    for (const AlarmRecord& alarm : alarms) {
        out.push_back({{"test_index", alarm.testIndex},
                       {"measurement", alarm.measurement},
                       {"rule", alarm.rule},
                       {"side", alarm.side},
                       {"text", alarm.text},
                       {"raised_at", alarm.raisedAt}});
    }
    return out;
}

json RunObject(const LoadedRun& run, bool trace) {
    const RunStart& start = run.start;
    json tests = json::array();
    for (const LoadedTest& test : run.tests) {
        tests.push_back(TestJson(test, trace));
    }
    json out = {
        {"uuid", start.uuid},
        {"started_at", start.startedAt},
        {"ended_at", TextOrNull(run.endedAt)},
        {"ended_how", TextOrNull(run.endedHow)},
        {"end_reason", run.endReason},
        {"host", start.host},
        {"fixture", start.fixture},
        {"operator", start.operatorName},
        {"login", start.login},
        {"lot", start.lot},
        {"program_version", start.programVersion},
        {"u3", {{"serial", start.u3Serial}, {"firmware", start.u3Firmware}}},
        {"plan",
         {{"name", start.planName}, {"sha256", start.planSha256}, {"text", start.planText}}},
        {"limits", LimitsJson(start)},
        {"settings", SettingsJson(start)},
        {"unit", UnitJson(start.unit)},
        {"attempt", run.attempt ? json(*run.attempt) : json(nullptr)},
        {"unit_verdict", run.unitVerdict ? json(run.unitVerdict->Word()) : json(nullptr)},
        {"tests", tests},
        {"alarms", AlarmsJson(run.alarms)}};
    if (trace) {
        out["diag_lines_between_tests"] = DiagLinesJson(run.diagLinesBetweenTests);
    }
    return out;
}

// Operator text may hold bytes that are not UTF-8: they become U+FFFD rather
// than end the export.
std::string Dumped(const json& value, int indent) {
    return value.dump(indent, ' ', false, json::error_handler_t::replace);
}

}  // namespace

std::string RunJson(const LoadedRun& run, bool trace) {
    return Dumped(RunObject(run, trace), 2);
}

std::string ExportedRun(const LoadedRun& run, const ExportChoice& choice, bool first) {
    if (choice.format == ExportFormat::Junit) {
        return RunJunitSuite(run);
    }
    return std::string(first ? "\n" : ",\n") + Dumped(RunObject(run, choice.trace), -1);
}

std::string ExportOpening(const ExportChoice& choice) {
    if (choice.format == ExportFormat::Junit) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"orvalt\">\n";
    }
    return "{\"format\":\"orvalt-runs\",\"format_version\":1,\"runs\":[";
}

std::string ExportClosing(const ExportChoice& choice) {
    if (choice.format == ExportFormat::Junit) {
        return "</testsuites>\n";
    }
    return "\n]}\n";
}

}  // namespace orvalt
