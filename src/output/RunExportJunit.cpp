#include "output/RunExport.h"
#include "output/XmlEscaped.h"
#include "verdict/ShownNumber.h"

namespace orvalt {

namespace {

std::string Attribute(const char* name, const std::string& value) {
    return std::string(" ").append(name).append("=\"") + XmlEscaped(value) + "\"";
}

std::string Property(const char* name, const std::string& value) {
    return std::string("    <property") + Attribute("name", name) + Attribute("value", value) +
           "/>\n";
}

std::string SuiteName(const RecordedUnit& unit) {
    return unit.serial + "/" + unit.model;
}

// The class a viewer groups the tests under: the model, then the unit.
std::string ClassName(const RecordedUnit& unit) {
    return unit.model + "." + unit.serial;
}

std::string Properties(const LoadedRun& run) {
    const RunStart& start = run.start;
    const RecordedUnit& unit = start.unit;
    std::string xml = "  <properties>\n";
    xml += Property("run_uuid", start.uuid);
    xml += Property("serial", unit.serial);
    xml += Property("manufacturer", unit.manufacturer);
    xml += Property("model", unit.model);
    xml += Property("driver", unit.driverManufacturer + " " + unit.driverModel);
    xml += Property("unit_verdict", run.unitVerdict ? run.unitVerdict->Word() : "not judged");
    xml += Property("ended_how", run.endedHow.empty() ? "in progress" : run.endedHow);
    xml += Property("attempt", run.attempt ? std::to_string(*run.attempt) : std::string());
    xml += Property("operator", start.operatorName);
    xml += Property("login", start.login);
    xml += Property("lot", start.lot);
    xml += Property("limits_name", start.limitsName.empty() ? "not judged" : start.limitsName);
    xml += Property("limits_sha256", start.limitsSha256);
    xml += Property("plan_name", start.planName);
    xml += Property("plan_sha256", start.planSha256);
    xml += Property("program_version", start.programVersion);
    xml += Property("u3_serial", start.u3Serial);
    xml += Property("u3_firmware", start.u3Firmware);
    xml += Property("fixture", start.fixture);
    return xml + "  </properties>\n";
}

// The kind of the test's verdict; none without one, or for a word of no kind.
std::optional<VerdictKind> KindOf(const LoadedTest& test) {
    return test.verdict ? test.verdict->outcome.Kind() : std::nullopt;
}

// The figures that failed, as the station showed them against their bounds.
std::string FailedFigures(const LoadedTest& test) {
    std::string text;
    for (const MeasurementRecord& record : test.measurements) {
        if (record.outcome != MeasurementOutcome::Fail) {
            continue;
        }
        const NamedMeasurement& figure = record.figure;
        text += figure.name + " " + ShownText(figure.value, figure.decimals) +
                (figure.unit.empty() ? "" : " " + figure.unit) + " (min " +
                (record.min ? ShownText(*record.min, figure.decimals) : std::string("-")) +
                ", max " +
                (record.max ? ShownText(*record.max, figure.decimals) : std::string("-")) + ")\n";
    }
    return text;
}

// What the test's verdict makes of its <testcase>: nothing for a pass; a
// failure or an error with the reasons; skipped for a test that ran without
// limits, or did not run to its end, since a viewer counts a bare testcase as
// passed and the record proves no pass there.
// A verdict word of no known kind is skipped too: it proves no pass either.
std::string Outcome(const LoadedTest& test) {
    const std::optional<VerdictKind> kind = KindOf(test);
    if (kind == VerdictKind::Pass) {
        return {};
    }
    if (kind == VerdictKind::Fail || kind == VerdictKind::Error) {
        const char* tag = kind == VerdictKind::Fail ? "failure" : "error";
        return std::string("    <").append(tag) + Attribute("message", test.verdict->reasons) +
               Attribute("type", test.verdict->outcome.Word()) + ">" +
               XmlEscaped(test.verdict->reasons + "\n" + FailedFigures(test)) + "</" + tag + ">\n";
    }
    return "    <skipped" + Attribute("message", TestVerdictWord(test)) + "/>\n";
}

std::string TestCase(const LoadedRun& run, const LoadedTest& test) {
    const std::string outcome = Outcome(test);
    const std::string open = "  <testcase" +
                             Attribute("name", "TEST " + std::to_string(test.start.index + 1)) +
                             Attribute("classname", ClassName(run.start.unit));
    if (outcome.empty() && test.summaryLine.empty()) {
        return open + "/>\n";
    }
    return open + ">\n" + outcome +
           (test.summaryLine.empty()
                ? std::string()
                : "    <system-out>" + XmlEscaped(test.summaryLine) + "</system-out>\n") +
           "  </testcase>\n";
}

struct SuiteCounts {
    int tests = 0, failures = 0, errors = 0, skipped = 0;
};

SuiteCounts CountsOf(const LoadedRun& run) {
    SuiteCounts counts;
    for (const LoadedTest& test : run.tests) {
        ++counts.tests;
        const std::optional<VerdictKind> kind = KindOf(test);
        counts.failures += kind == VerdictKind::Fail;
        counts.errors += kind == VerdictKind::Error;
        counts.skipped += !kind || *kind == VerdictKind::NotJudged;
    }
    return counts;
}

}  // namespace

std::string RunJunitSuite(const LoadedRun& run) {
    const SuiteCounts counts = CountsOf(run);
    std::string xml = " <testsuite" + Attribute("name", SuiteName(run.start.unit)) +
                      Attribute("tests", std::to_string(counts.tests)) +
                      Attribute("failures", std::to_string(counts.failures)) +
                      Attribute("errors", std::to_string(counts.errors)) +
                      Attribute("skipped", std::to_string(counts.skipped)) +
                      Attribute("timestamp", run.start.startedAt) +
                      Attribute("hostname", run.start.host) + Attribute("id", run.start.uuid) +
                      ">\n" + Properties(run);
    for (const LoadedTest& test : run.tests) {
        xml += TestCase(run, test);
    }
    return xml + " </testsuite>\n";
}

}  // namespace orvalt
