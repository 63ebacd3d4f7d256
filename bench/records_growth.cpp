// How much the results database grows per test of the example plan, in SQLite
// and PostgreSQL, and what recording adds to a run's wall time. Until the
// recorder is wired into the station session, the run's events are taken from
// the headless runner's trace: each reading, each output switch, and the
// simulated driver's diagnostic lines at their usual rate, with the plan's
// summary lines and the full plan text.
//
// usage: bench_records_growth [PLAN.csv] [RUNS] [KEEP.sqlite] [SCALE_TESTS]
// With KEEP.sqlite one more run is recorded into that file and kept (the
// report screenshot is made from it). With SCALE_TESTS, a SQLite file of that
// many tests is built from copies of one recorded run (each its own UUID and
// start), and its size and the times of history, yield and report printed.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>

#include "RecordsBench.h"
#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "cli/RecordsCommands.h"
#include "domain/MeasurementNames.h"
#include "platform/HostIdentity.h"
#include "recording/RunRecorder.h"
#include "recording/SettingsPairs.h"
#include "recording/Spool.h"
#include "records/Sha256.h"
#include "station/ProgramVersion.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"
#include "verdict/LimitsFile.h"
#include "verdict/Verdict.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TraceEvent {
    int row = 0;
    double waitSeconds = 0.0;  // a wait announced: the clock moves on by it
    bool reading = false;
    bool on = false;
    double volts = 0.0;
    std::string text;
    std::optional<orvalt::NamedMeasurement> figure;  // a measured time the log reports
    std::string summaryLine;
};

// The log lines that carry a test's figures and its summary line.
bool ReadResultLine(const std::string& line, TraceEvent& e, bool& secondOff) {
    double value = 0, threshold = 0;
    int level = 0, month = 0, day = 0, year = 0;
    if (std::sscanf(line.c_str(), "Time To ON seconds, %lf", &value) == 1) {
        e.figure = orvalt::NamedMeasurement{"TimeToOn", value};
    } else if (std::sscanf(line.c_str(), "Time To OFF (to %lf) seconds from level %d, %lf",
                           &threshold, &level, &value) == 3) {
        e.figure = orvalt::NamedMeasurement{secondOff ? "TimeToOffB" : "TimeToOffA", value};
        secondOff = !secondOff;
    } else if (std::sscanf(line.c_str(), "%d-%d-%d, 1, ", &month, &day, &year) == 3) {
        e.summaryLine = line;
    } else {
        return false;
    }
    return true;
}

std::vector<TraceEvent> TraceOf(const std::string& log) {
    std::vector<TraceEvent> events;
    std::istringstream lines(log);
    std::string line;
    bool secondOff = false;
    while (std::getline(lines, line)) {
        TraceEvent e;
        if (ReadResultLine(line, e, secondOff)) {
            e.row = -1;
            events.push_back(e);
            continue;
        }
        double volts = 0;
        double wait = 0;
        if (std::sscanf(line.c_str(), "wait[%d]: Wait %lf secs", &e.row, &wait) == 2) {
            e.waitSeconds = wait;
            events.push_back(e);
            continue;
        }
        if (std::sscanf(line.c_str(), "status[%d]: Reading voltage = %lf", &e.row, &volts) == 2) {
            e.reading = true;
            e.volts = volts;
        } else if (std::sscanf(line.c_str(), "status[%d]: Setting output", &e.row) == 1) {
            e.on = line.find(" ON") != std::string::npos;
        } else {
            continue;
        }
        e.text = line.substr(line.find(": ") + 2);
        events.push_back(e);
    }
    return events;
}

// Replays one run into the recorder: each device access 10 ms after the one
// before, each announced wait in full, and a diagnostic line every 500 ms as
// the simulated driver sends them.
// The limits a run is judged by, as the station keeps them with its record.
struct JudgedBy {
    std::string name, text;
    orvalt::Limits limits;
};

JudgedBy ReadLimits(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    JudgedBy judged{file.filename().string(), {std::istreambuf_iterator<char>(in), {}}, {}};
    if (auto parsed = orvalt::ParseLimits(judged.text))
        judged.limits = *parsed;
    return judged;
}

// A test's end as the station records it: each figure with its unit and
// shown decimals, judged against the run's limits.
orvalt::TestFinish Finished(int row, std::vector<orvalt::NamedMeasurement> figures,
                            std::string summaryLine, const JudgedBy& judged) {
    for (auto& figure : figures) {
        if (const auto* name = orvalt::FindMeasurementName(figure.name)) {
            figure.unit = name->unit;
            figure.decimals = name->decimals;
        }
    }
    const orvalt::TestVerdict verdict = orvalt::JudgeTest(row + 1, figures, judged.limits);
    orvalt::TestFinish finish;
    finish.summaryLine = std::move(summaryLine);
    finish.measurements = orvalt::RecordMeasurements(std::move(figures), verdict.checks);
    finish.verdict = orvalt::Verdict{orvalt::VerdictWord(verdict.kind), ""};
    return finish;
}

// Replays one run into the recorder: each device access 10 ms after the one
// before, each announced wait in full, and a diagnostic line every 500 ms as
// the simulated driver sends them.
void Replay(orvalt::RunRecorder& recorder, const std::vector<TraceEvent>& trace,
            const std::string& planText, const JudgedBy& judged) {
    orvalt::RunStart run;
    run.planName = "TestCfg.csv";
    run.planText = planText;
    run.settings = orvalt::SettingsPairs(orvalt::DefaultSettings());
    run.unit = {"Acme", "X100", "Linear", "40W", "4ft", "DrvCo", "D-200", "SN-123456"};
    run.host = orvalt::StationHostName();
    run.operatorName = orvalt::OperatorLoginName();
    run.login = run.operatorName;
    run.lot = "WO-2026-0042";
    run.planSha256 = orvalt::Sha256Hex(planText);
    run.limitsName = judged.name;
    run.limitsText = judged.text;
    run.limitsSha256 = orvalt::Sha256Hex(judged.text);
    run.programVersion = orvalt::kVersionNumber;
    run.u3Serial = "320012345";
    run.u3Firmware = "1.46";
    recorder.BeginRun(run);
    int row = -1;
    std::uint32_t tick = 0;
    std::vector<orvalt::NamedMeasurement> figures;
    std::string summaryLine;
    for (const TraceEvent& e : trace) {
        if (e.figure)
            figures.push_back(*e.figure);
        if (!e.summaryLine.empty())
            summaryLine = e.summaryLine;
        if (e.row < 0)
            continue;
        if (e.row > row) {  // some steps post under row 0: a test is the highest row so far
            if (row >= 0)
                recorder.EndTest(Finished(row, std::exchange(figures, {}),
                                          std::exchange(summaryLine, {}), judged));
            row = e.row;
            recorder.BeginTest({row, {"1", "1.5", "2", "0.25", "3", "7", "", "", ""}, "cycle", {}});
        }
        const std::uint32_t before = tick;
        if (e.waitSeconds > 0) {
            tick += static_cast<std::uint32_t>(e.waitSeconds * 1000);
        } else {
            tick += 10;
            if (e.reading)
                recorder.RecordReading(tick, e.volts, e.text);
            else
                recorder.RecordSwitch(tick, 4, e.on);
        }
        if (tick / 500 != before / 500)
            recorder.RecordDiagLine(tick, "1F4 3 2", {500, 3, 2});
    }
    recorder.EndTest(Finished(row, std::move(figures), std::move(summaryLine), judged));
    recorder.EndRun({orvalt::RecordEnd::Completed, {}, {}, "PASS"});
}

double RecordRuns(const std::string& target, const orvalt::test::TempFolder& folder, int runs,
                  const std::vector<TraceEvent>& trace, const std::string& plan,
                  const JudgedBy& judged) {
    const auto start = Clock::now();
    orvalt::RunRecorder recorder({target, folder / "spool.sqlite", std::chrono::seconds(2), {}});
    for (int i = 0; i < runs; ++i)
        Replay(recorder, trace, plan, judged);
    recorder.Flush();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::uintmax_t SqliteBytes(const std::filesystem::path& file) {
    std::uintmax_t bytes = std::filesystem::file_size(file);
    std::error_code none;
    const auto wal = std::filesystem::file_size(file.string() + "-wal", none);
    return bytes + (none ? 0 : wal);
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The rows of `copies` runs like `model`, each under its own UUID and start.
void WriteCopies(orvalt::SqlConnection& db, const std::vector<orvalt::RowWrite>& model,
                 long copies) {
    std::vector<orvalt::RowWrite> rows;
    for (long n = 0; n < copies; ++n) {
        char uuid[48], when[48];
        std::snprintf(uuid, sizeof uuid, "00000000-0000-4000-8000-%012ld", n);
        std::snprintf(when, sizeof when, "2026-%02ld-%02ldT%02ld:00:00.000Z", 1 + n % 12,
                      1 + n / 12 % 28, n / 336 % 24);
        for (orvalt::RowWrite row : model) {
            row.values[0] = std::string(uuid);
            if (row.table == &orvalt::RunsTable())
                row.values[1] = std::string(when);
            rows.push_back(std::move(row));
        }
        if (rows.size() > 20000 || n + 1 == copies) {
            if (const auto written = orvalt::WriteRows(db, rows); !written)
                std::fprintf(stderr, "%s\n", written.Error().why.c_str());
            rows.clear();
        }
    }
}

double CommandSeconds(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const auto start = Clock::now();
    [[maybe_unused]] const auto status = orvalt::RunRecordsCommand(args, out, err);
    const double seconds = Seconds(start);
    if (!err.str().empty())
        std::fprintf(stderr, "%s", err.str().c_str());
    return seconds;
}

void MeasureAtScale(const orvalt::test::TempFolder& folder, const std::vector<TraceEvent>& trace,
                    const std::string& plan, const JudgedBy& judged, int testsPerRun, long tests) {
    const auto one = folder / "one.sqlite";
    RecordRuns(one.string(), folder, 1, trace, plan, judged);
    auto source = orvalt::OpenRecordDatabase(one.string());
    const std::string uuid =
        orvalt::CellText((*source)->Run("SELECT run_uuid FROM runs")->at(0)[0]);
    const auto model = orvalt::SpooledRows(**source, uuid);
    const auto big = folder / "scale.sqlite";
    auto db = orvalt::OpenRecordDatabase(big.string());
    const long runs = tests / testsPerRun;
    const auto start = Clock::now();
    WriteCopies(**db, *model, runs);
    db->reset();
    std::printf("%ld tests (%ld runs): built in %.0f s, file %.1f MB (%.2f KB per test)\n",
                runs * testsPerRun, runs, Seconds(start), SqliteBytes(big) / 1e6,
                SqliteBytes(big) / 1024.0 / static_cast<double>(runs * testsPerRun));
    const std::string file = big.string();
    std::printf("  history %.2f s, yield --by model %.2f s, report --last %.3f s\n",
                CommandSeconds({"history", "--db", file}),
                CommandSeconds({"yield", "--db", file, "--by", "model"}),
                CommandSeconds(
                    {"report", "--db", file, "--last", "--out", (folder / "last.html").string()}));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string plan = argc > 1 ? argv[1] : "examples/TestCfg.csv";
    // Enough runs that a server's few pages per table and index made once
    // (free-space and visibility maps) weigh little against what each test adds.
    const int runs = argc > 2 ? std::atoi(argv[2]) : 200;
    orvalt::test::TempFolder folder;
    ::setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);  // default settings, never the user's
    ::setenv("XDG_DATA_HOME", folder.Path().c_str(), 1);    // run records, never the user's
    auto parsed = orvalt::ParseCliOptions({"--simulate", "--fast", "--trace", plan});
    std::ostringstream out, err;
    orvalt::StopRequest stop;
    const auto runStart = Clock::now();
    orvalt::RunHeadless(*parsed.options, out, err, stop, nullptr);
    const double runWall = std::chrono::duration<double>(Clock::now() - runStart).count();
    const auto trace = TraceOf(out.str());
    std::ifstream planFile(plan);
    const std::string planText((std::istreambuf_iterator<char>(planFile)), {});
    const JudgedBy judged =
        ReadLimits(std::filesystem::path(plan).parent_path() / "limits-pass.csv");
    int tests = 0, readings = 0, switches = 0;
    for (std::size_t i = 0; i < trace.size(); ++i) {
        tests = std::max(tests, trace[i].row + 1);
        readings += trace[i].reading;
        switches += !trace[i].reading && trace[i].waitSeconds == 0;
    }
    std::printf("example plan: %d tests, %d readings, %d switches per run; run wall %.3f s\n",
                tests, readings, switches, runWall);
    if (argc > 3)
        RecordRuns(argv[3], folder, 1, trace, planText, judged);

    const auto sqlite = folder / "growth.sqlite";
    // Created with its schema and closed again: the growth is measured from there.
    [[maybe_unused]] const bool created = orvalt::OpenRecordDatabase(sqlite.string()).Ok();
    const auto before = SqliteBytes(sqlite);
    const double sqliteWall = RecordRuns(sqlite.string(), folder, runs, trace, planText, judged);
    const double perTest = static_cast<double>(SqliteBytes(sqlite) - before) / (runs * tests);
    std::printf(
        "SQLite:     %.1f KB (%.0f bytes) per test, recording one run %.3f s wall (writer "
        "thread)\n",
        perTest / 1024, perTest, sqliteWall / runs);
    if (argc > 4)
        MeasureAtScale(folder, trace, planText, judged, tests, std::atol(argv[4]));

    if (!orvalt::test::PostgresInstalled())
        return 0;
    orvalt::test::PgCluster cluster;
    if (!cluster.Ready())
        return 0;
    auto server = orvalt::OpenRecordDatabase(cluster.Url());
    const char* kSize =
        "SELECT SUM(pg_total_relation_size(c.oid)) FROM pg_class c JOIN pg_namespace n"
        " ON n.oid = c.relnamespace WHERE n.nspname = 'public' AND c.relkind = 'r'";
    const double pgBefore = orvalt::CellNumber((*server)->Run(kSize)->at(0).at(0));
    const double pgWall = RecordRuns(cluster.Url(), folder, runs, trace, planText, judged);
    [[maybe_unused]] const auto vacuumed = (*server)->Run("VACUUM");
    const double pgAfter = orvalt::CellNumber((*server)->Run(kSize)->at(0).at(0));
    const double pgPerTest = (pgAfter - pgBefore) / (runs * tests);
    std::printf(
        "PostgreSQL: %.1f KB (%.0f bytes) per test, recording one run %.3f s wall (writer"
        " thread)\n",
        pgPerTest / 1024, pgPerTest, pgWall / runs);
    return 0;
}
