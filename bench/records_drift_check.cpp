// The station's end-of-run drift check over a model with a long history: the
// unit a run just measured held against the model's first 25 units and its
// last ones, read from a generated database, as the station's checker thread
// does it (its connection to read only kept open from one check to the next).
//
// usage: bench_records_drift_check [UNITS] [DATABASE] [--postgres]
// UNITS units of model X100 (100 000 by default), each of TESTS tests with
// FIGURES measurements, one a minute; a given DATABASE file is kept (and
// reused when it exists). --postgres also times it on a throw-away server.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "RecordsBench.h"
#include "platform/UtcTime.h"
#include "records/RecordsToRead.h"
#include "spc/SpcCheck.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTests = 3;
constexpr int kFigures = 10;
constexpr int kChecks = 21;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

std::string FigureName(int figure) {
    return std::string("F").append(std::to_string(figure));  // not "lit" + string: -Wrestrict
}

// A figure's value at unit `u`: noise around its level, the last units of
// the first figure risen above the centre.
double FigureValue(long u, long units, int test, int figure) {
    const double noise = std::sin(static_cast<double>(u * 7 + test * 3 + figure)) * 0.05;
    const double risen = test == 0 && figure == 0 && u >= units - 7 ? 0.03 : 0.0;
    return 1.0 + figure * 0.1 + noise + risen;
}

void Generate(orvalt::SqlConnection& db, long units) {
    const auto first = std::chrono::system_clock::time_point(std::chrono::seconds(1767225600));
    std::vector<orvalt::RowWrite> rows;
    for (long u = 0; u < units; ++u) {
        orvalt::RunStart run;
        run.uuid = "unit-" + std::to_string(u);
        run.startedAt = orvalt::UtcIsoTime(first + std::chrono::minutes(u));
        run.unit.model = "X100";
        run.unit.serial = "SN" + std::to_string(u);
        orvalt::RunTally tally;
        for (int t = 0; t < kTests; ++t) {
            std::vector<orvalt::NamedMeasurement> figures;
            for (int f = 0; f < kFigures; ++f) {
                figures.push_back({FigureName(f), FigureValue(u, units, t, f), "V", 2});
            }
            orvalt::TestFinish finish{orvalt::RecordEnd::Completed, "",
                                      orvalt::RecordMeasurements(std::move(figures), {}),
                                      std::nullopt, run.startedAt};
            orvalt::AppendEventRows(
                orvalt::TestEnded{run.uuid, {t, {}, "cycle", run.startedAt}, finish}, rows);
            ++tally.begun;
            orvalt::CountTestEnd(tally, finish);
        }
        orvalt::AppendEventRows(
            orvalt::RunEnded{
                run, {orvalt::RecordEnd::Completed, "", run.startedAt, std::nullopt}, tally},
            rows);
        if (rows.size() > 50000) {
            [[maybe_unused]] const auto written = orvalt::WriteRows(db, rows);
            rows.clear();
        }
    }
    [[maybe_unused]] const auto written = orvalt::WriteRows(db, rows);
}

// The unit the run that just ended measured: not in the records yet.
orvalt::FinishedUnit NewestUnit(long units) {
    orvalt::FinishedUnit unit{"X100", "the-run-just-ended", {}, {}};
    for (int t = 0; t < kTests; ++t) {
        for (int f = 0; f < kFigures; ++f) {
            unit.figures.push_back({t, {FigureName(f), FigureValue(units, units, t, f), "V", 2}});
        }
    }
    return unit;
}

bool TimeChecks(const std::string& target, long units, const char* what) {
    const auto opening = Clock::now();
    auto opened = orvalt::OpenRecordsToRead(target);
    const double openMs = Ms(opening);
    if (!opened || !*opened) {
        std::fprintf(stderr, "%s\n", opened ? "nothing recorded" : opened.Error().c_str());
        return false;
    }
    const orvalt::FinishedUnit unit = NewestUnit(units);
    std::vector<double> times;
    orvalt::SpcCheckResult last;
    for (int i = 0; i < kChecks; ++i) {
        const auto start = Clock::now();
        const auto checked = orvalt::CheckFinishedUnit(**opened, unit);
        times.push_back(Ms(start));
        if (!checked) {
            std::fprintf(stderr, "%s\n", checked.Error().c_str());
            return false;
        }
        last = *checked;
    }
    std::printf(
        "%s: end-of-run check over %ld units of X100 (%d series): median %.2f ms, p95 %.2f ms, "
        "max %.2f ms of %d checks; %zu series checked, %zu alarms",
        what, units, kTests * kFigures, Median(times), Percentile(times, 0.95),
        *std::max_element(times.begin(), times.end()), kChecks, last.seriesChecked,
        last.alarms.size());
    std::printf("%s%s\n", last.alarms.empty() ? "" : ": ",
                last.alarms.empty() ? "" : last.alarms.front().line.c_str());
    std::printf("%s: opening the connection to read only (once, and after a failure): %.2f ms\n",
                what, openMs);
    return true;
}

bool Prepare(const std::string& target, long units, bool fresh, const char* what) {
    auto opened = orvalt::OpenRecordDatabase(target);
    if (!opened) {
        std::fprintf(stderr, "%s\n", opened.Error().c_str());
        return false;
    }
    if (fresh) {
        const auto start = Clock::now();
        Generate(**opened, units);
        std::printf("%s: generated %ld units (%ld measurements) in %.1f s\n", what, units,
                    units * kTests * kFigures, Ms(start) / 1000.0);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    long units = 100000;
    std::string path;
    bool postgres = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--postgres") == 0) {
            postgres = true;
        } else if (std::isdigit(static_cast<unsigned char>(argv[i][0]))) {
            units = std::atol(argv[i]);
        } else {
            path = argv[i];
        }
    }
    orvalt::test::TempFolder folder;
    if (path.empty()) {
        path = (folder / "drift.sqlite").string();
    }
    const bool fresh = !std::filesystem::exists(path);
    if (!Prepare(path, units, fresh, "SQLite") || !TimeChecks(path, units, "SQLite")) {
        return 1;
    }
    if (postgres) {
        orvalt::test::PgCluster cluster;
        if (!cluster.Ready()) {
            std::fprintf(stderr, "%s\n", cluster.Problem().c_str());
            return 1;
        }
        if (!Prepare(cluster.Url(), units, true, "PostgreSQL") ||
            !TimeChecks(cluster.Url(), units, "PostgreSQL")) {
            return 1;
        }
    }
    return 0;
}
