// The export as its readers take it: the JSON checked against the schema in
// docs/ by Python's jsonschema, the JUnit XML by xmllint, and both read back.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "cli/ExitStatus.h"
#include "cli/RecordsCommands.h"
#include "output/RunExport.h"
#include "output/XmlEscaped.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSchema = fs::path(ORVALT_SOURCE_DIR) / "docs" / "export.schema.json";

// 0.1 + 0.2: a double whose shortest decimal form needs all 17 digits.
const double kAwkward = 0.1 + 0.2;

RunStart JudgedRun(const std::string& uuid, const std::string& serial,
                   const std::string& startedAt) {
    RunStart run = SampleRun("X100", serial);
    run.uuid = uuid;
    run.startedAt = startedAt;
    run.operatorName = "Ann \"QA\" <shift 2> & co";
    run.login = "ann";
    run.lot = "WO-77";
    run.limitsName = "limits-fail.csv";
    run.limitsSha256 = std::string(64, 'a');
    run.limitsText = "Name,Min,Max\r\nV4,,4.50\r\n";
    run.programVersion = "1.0.61";
    run.u3Serial = "320012345";
    run.u3Firmware = "1.46";
    return run;
}

MeasurementRecord Figure(std::string name, double value, std::string unit, int decimals,
                         std::optional<double> min, std::optional<double> max,
                         MeasurementOutcome outcome) {
    return {{std::move(name), value, std::move(unit), decimals}, min, max, outcome};
}

void RecordTest(RunRecorder& recorder, int index, std::optional<Verdict> verdict,
                std::vector<MeasurementRecord> figures, RecordEnd how = RecordEnd::Completed) {
    RecordedCounts counts;
    recorder.BeginTest(SampleTest(index));
    RecordTrace(recorder, 30, counts);
    recorder.EndTest({how, "12-08-26, 1, 0, Acme", std::move(figures), std::move(verdict), {}});
}

// Three runs: one that failed (a FAIL, an ERROR, a PASS test), one not judged
// and stopped, and a retest without limits whose serial holds what XML and
// JSON must escape, and a byte that is not UTF-8.
class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RunRecorder recorder({db_, folder_ / "spool.sqlite", std::chrono::milliseconds(0), {}});
        recorder.BeginRun(JudgedRun("run-a", "SN-1", "2026-12-01T08:00:00.000Z"));
        RecordTest(recorder, 0, Verdict{VerdictKind::Fail, "V4 4.70 > 4.50"},
                   {Figure("V4", 4.7049, "V", 2, std::nullopt, 4.5, MeasurementOutcome::Fail),
                    Figure("NotCycling", 0, "", 0, std::nullopt, 0, MeasurementOutcome::Pass),
                    Figure("CT", kAwkward, "s", 2, {}, {}, MeasurementOutcome::NotJudged)});
        RecordTest(recorder, 1, Verdict{VerdictKind::Error, "V1 not measured"}, {});
        RecordTest(recorder, 2, Verdict{VerdictKind::Pass, ""},
                   {Figure("V1", 2.6, "V", 2, 2.5, 2.7, MeasurementOutcome::Pass)});
        recorder.EndRun({RecordEnd::Completed, "", {}, VerdictKind::Fail});

        RunStart unjudged = SampleRun("X100", "SN-2");
        unjudged.uuid = "run-b";
        unjudged.startedAt = "2026-12-02T08:00:00.000Z";
        recorder.BeginRun(unjudged);
        RecordTest(recorder, 0, std::nullopt, {Figure("V1", 2.6, "", 2, {}, {}, {})});
        RecordTest(recorder, 1, std::nullopt, {}, RecordEnd::Stopped);
        recorder.EndRun({RecordEnd::Stopped, "Stop pressed", {}, std::nullopt});

        RunStart odd = SampleRun("X<100>", "SN-\"3\" & 'x' \x01 \xff");
        odd.uuid = "run-c";
        odd.startedAt = "2026-12-03T08:00:00.000Z";
        recorder.BeginRun(odd);
        RecordTest(recorder, 0, Verdict{VerdictKind::Fail, "V4 <low> & \"odd\"\nsecond line"}, {});
        recorder.EndRun({RecordEnd::Completed, "", {}, VerdictKind::Fail});
    }

    // The command's exit status; its output in `out_`, `err_`.
    int Export(std::vector<std::string> args) {
        args.insert(args.begin(), "export");
        args.insert(args.end(), {"--db", db_});
        out_.str("");
        err_.str("");
        return RunRecordsCommand(args, out_, err_).value_or(-1);
    }

    fs::path Written(const std::string& name, const std::string& text) {
        const fs::path file = folder_ / name;
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }

    // Python's jsonschema, draft 2020-12: 0 when the document is valid.
    int SchemaCheck(const fs::path& document) {
        const std::string command =
            "python3 -c 'import json,sys,jsonschema; "
            "schema=json.load(open(sys.argv[1])); "
            "jsonschema.Draft202012Validator.check_schema(schema); "
            "jsonschema.validate(json.load(open(sys.argv[2])), schema, "
            "cls=jsonschema.Draft202012Validator)' " +
            kSchema.string() + " " + document.string() + " 2>" + (folder_ / "why.txt").string();
        return std::system(command.c_str());
    }

    TempFolder folder_;
    std::string db_ = (folder_ / "results.sqlite").string();
    std::ostringstream out_, err_;
};

TEST_F(ExportTest, JsonMeetsTheSchemaAndABrokenDocumentDoesNot) {
    ASSERT_EQ(Export({"--since", "2026-12-01", "--format", "json", "--trace"}), 0) << err_.str();
    const std::string document = out_.str();
    EXPECT_EQ(SchemaCheck(Written("all.json", document)), 0)
        << std::ifstream(folder_ / "why.txt").rdbuf();
    ASSERT_EQ(Export({"--run", "run-b", "--format", "json"}), 0) << err_.str();
    EXPECT_EQ(SchemaCheck(Written("one.json", out_.str())), 0)
        << std::ifstream(folder_ / "why.txt").rdbuf();

    // The check must be able to fail: an outcome the schema does not know.
    nlohmann::json broken = nlohmann::json::parse(document);
    broken["runs"][0]["tests"][0]["measurements"][0]["outcome"] = "passed";
    EXPECT_NE(SchemaCheck(Written("broken.json", broken.dump())), 0);
    broken = nlohmann::json::parse(document);
    broken["runs"][1].erase("limits");
    EXPECT_NE(SchemaCheck(Written("broken.json", broken.dump())), 0);
}

// The measurement named `name` of an exported test.
nlohmann::json Named(const nlohmann::json& test, const std::string& name) {
    for (const nlohmann::json& measurement : test["measurements"]) {
        if (measurement["name"] == name) {
            return measurement;
        }
    }
    return nullptr;
}

TEST_F(ExportTest, JsonHoldsWhatJudgedTheRunAndNumbersReadBackToTheBit) {
    ASSERT_EQ(Export({"--since", "2026-12-01", "--format", "json"}), 0) << err_.str();
    const nlohmann::json document = nlohmann::json::parse(out_.str());
    ASSERT_EQ(document["runs"].size(), 3u);
    const nlohmann::json& failed = document["runs"][0];
    EXPECT_EQ(failed["uuid"], "run-a") << "oldest first";
    EXPECT_EQ(failed["unit_verdict"], "FAIL");
    EXPECT_EQ(failed["attempt"], 1);
    EXPECT_EQ(failed["operator"], "Ann \"QA\" <shift 2> & co");
    EXPECT_EQ(failed["login"], "ann");
    EXPECT_EQ(failed["lot"], "WO-77");
    EXPECT_EQ(failed["limits"]["sha256"], std::string(64, 'a'));
    EXPECT_EQ(failed["limits"]["text"], "Name,Min,Max\r\nV4,,4.50\r\n");
    EXPECT_EQ(failed["u3"]["firmware"], "1.46");
    EXPECT_FALSE(failed["tests"][0].contains("trace")) << "the trace only when asked";

    const nlohmann::json v4 = Named(failed["tests"][0], "V4");
    EXPECT_EQ(v4["value"].get<double>(), 4.7049);
    EXPECT_EQ(v4["shown"], "4.70");
    EXPECT_EQ(v4["unit"], "V");
    EXPECT_TRUE(v4["min"].is_null());
    EXPECT_EQ(v4["max"].get<double>(), 4.5);
    EXPECT_EQ(v4["outcome"], "FAIL");
    EXPECT_EQ(Named(failed["tests"][0], "CT")["value"].get<double>(), kAwkward);
    EXPECT_EQ(failed["tests"][1]["verdict"]["outcome"], "ERROR");

    const nlohmann::json& stopped = document["runs"][1];
    EXPECT_TRUE(stopped["limits"].is_null());
    EXPECT_TRUE(stopped["unit_verdict"].is_null());
    EXPECT_EQ(stopped["ended_how"], "stopped");
    EXPECT_EQ(stopped["end_reason"], "Stop pressed");
    EXPECT_TRUE(stopped["tests"][0]["verdict"].is_null());
    EXPECT_EQ(stopped["tests"][0]["measurements"][0]["outcome"], "not judged");
    EXPECT_EQ(document["runs"][2]["unit"]["serial"], "SN-\"3\" & 'x' \x01 \xEF\xBF\xBD");
}

TEST_F(ExportTest, TheTraceGoesInWhenAskedEveryReadingOfIt) {
    ASSERT_EQ(Export({"--run", "run-a", "--format", "json", "--trace"}), 0) << err_.str();
    const nlohmann::json run = nlohmann::json::parse(out_.str())["runs"][0];
    const nlohmann::json& trace = run["tests"][2]["trace"];
    ASSERT_EQ(trace["readings"].size(), 30u);
    EXPECT_EQ(trace["readings"][29]["ms"], 290);
    EXPECT_EQ(trace["readings"][29]["status"], "reading #29");
    EXPECT_EQ(trace["switches"].size(), 3u);
    EXPECT_EQ(trace["diag_lines"][0]["fields"], nlohmann::json::array({500, 2, 3}));
}

// A run still going, as LoadRun gives it: no end, a test without one, a NaN
// reading; the document still meets the schema.
TEST_F(ExportTest, ARunStillGoingMeetsTheSchemaWithItsEndNull) {
    LoadedRun going;
    going.start = SampleRun("X100", "SN-9");
    going.start.uuid = "run-going";
    going.start.startedAt = "2026-12-04T08:00:00.000Z";
    LoadedTest test;
    test.start = SampleTest(0);
    test.start.startedAt = going.start.startedAt;
    test.measurements = {{{"V1", std::nan(""), "V", 2}}};
    test.readings = {{0, std::nan(""), "on"}};
    going.tests.push_back(test);
    const ExportChoice choice{ExportFormat::Json, true};
    const std::string document =
        ExportOpening(choice) + ExportedRun(going, choice, true) + ExportClosing(choice);
    EXPECT_EQ(SchemaCheck(Written("going.json", document)), 0)
        << std::ifstream(folder_ / "why.txt").rdbuf();
    const nlohmann::json run = nlohmann::json::parse(document)["runs"][0];
    EXPECT_TRUE(run["ended_at"].is_null());
    EXPECT_TRUE(run["tests"][0]["ended_how"].is_null());
    EXPECT_TRUE(run["tests"][0]["measurements"][0]["value"].is_null());
    EXPECT_EQ(run["tests"][0]["measurements"][0]["shown"], "nan");
}

int Count(const std::string& text, const std::string& pattern) {
    const std::regex re(pattern);
    return static_cast<int>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

TEST_F(ExportTest, JunitIsWellFormedWithATestcasePerTestAndReasonsInTheFailure) {
    const fs::path file = folder_ / "runs.xml";
    ASSERT_EQ(Export({"--since", "2026-12-01", "--format", "junit", "-o", file.string()}), 0)
        << err_.str();
    EXPECT_EQ(out_.str(), "") << "to the file alone";
    EXPECT_EQ(std::system(("xmllint --noout " + file.string()).c_str()), 0);
    std::stringstream read;
    read << std::ifstream(file).rdbuf();
    const std::string xml = read.str();
    EXPECT_EQ(Count(xml, "<testsuite "), 3);
    EXPECT_EQ(Count(xml, "<testcase "), 6);
    EXPECT_EQ(Count(xml, "<failure "), 2);
    EXPECT_EQ(Count(xml, "<error "), 1);
    EXPECT_EQ(Count(xml, "<skipped "), 2) << "not judged and stopped";
    EXPECT_NE(xml.find("<failure message=\"V4 4.70 &gt; 4.50\" type=\"FAIL\">"), std::string::npos);
    EXPECT_NE(xml.find("V4 4.70 V (min -, max 4.50)"), std::string::npos);
    EXPECT_NE(xml.find("<testsuite name=\"SN-1/X100\" tests=\"3\" failures=\"1\" errors=\"1\""),
              std::string::npos);
    EXPECT_NE(xml.find("name=\"limits_sha256\" value=\"" + std::string(64, 'a') + "\""),
              std::string::npos);
    EXPECT_NE(xml.find("name=\"lot\" value=\"WO-77\""), std::string::npos);
    EXPECT_NE(xml.find("name=\"attempt\" value=\"1\""), std::string::npos);
    EXPECT_NE(xml.find("message=\"V4 &lt;low&gt; &amp; &quot;odd&quot;&#10;second line\""),
              std::string::npos);
}

TEST(XmlEscaped, KeepsUtf8AndReplacesWhatXmlCannotHold) {
    EXPECT_EQ(XmlEscaped("a<b>&\"'\t\r\n"), "a&lt;b&gt;&amp;&quot;&apos;&#9;&#13;&#10;");
    EXPECT_EQ(XmlEscaped("Gr\xC3\xBC\xC3\x9F \xE2\x9C\x93"), "Gr\xC3\xBC\xC3\x9F \xE2\x9C\x93");
    EXPECT_EQ(XmlEscaped(std::string("x\x01y\0z\xC3", 6)),
              "x\xEF\xBF\xBDy\xEF\xBF\xBDz\xEF\xBF\xBD");
}

TEST_F(ExportTest, NothingToExportIsAClearErrorWithTheRecordsStatus) {
    EXPECT_EQ(Export({"--run", "no-such-run", "--format", "json"}), kExitRecordsUnreadable);
    EXPECT_EQ(err_.str(), "No run no-such-run is recorded.\n");
    EXPECT_EQ(out_.str(), "") << "no half document";
    EXPECT_EQ(Export({"--since", "2027-01-01", "--format", "junit"}), kExitRecordsUnreadable);
    EXPECT_EQ(err_.str(), "No run was recorded since 2027-01-01.\n");
    EXPECT_EQ(Export({"--run", "run-a", "--format", "junit", "--trace"}), kExitUsage);
    EXPECT_EQ(Export({"--run", "run-a", "--since", "2026-12-01", "--format", "json"}), kExitUsage);
    EXPECT_EQ(Export({"--run", "run-a", "--format", "csv"}), kExitUsage);
    EXPECT_EQ(Export({"--run", "run-a", "--format", "json", "-o",
                      (folder_ / "missing" / "out.json").string()}),
              kExitNotSaved);

    const fs::path garbage = Written("garbage.sqlite", std::string(4096, 'x'));
    std::ostringstream out, err;
    EXPECT_EQ(RunRecordsCommand(
                  {"export", "--since", "2026-01-01", "--format", "json", "--db", garbage.string()},
                  out, err),
              kExitRecordsUnreadable);
    EXPECT_NE(err.str().find("not a database"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace orvalt::test
