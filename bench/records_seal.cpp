// What sealing costs: a shift of judged runs (support/JudgedRunsKit.h) is
// recorded once, then each run's rows are written into two databases alike,
// one run a transaction as a station writes a run's end, once without
// sealing and once sealed with a station key; the difference per run is
// the cost of its seal (digesting the run as stored, taking the chain's
// head, signing, writing the seal). Then every seal of the sealed database
// is checked as `orvalt-cli verify` checks them.
//
// usage: bench_records_seal [RUNS] [server]
// RUNS defaults to 10000; "server" also measures on a PostgreSQL server.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RecordsBench.h"
#include "recording/RecordStore.h"
#include "recording/RunRecorder.h"
#include "recording/Spool.h"
#include "seal/SealCheck.h"
#include "seal/StationKeyFiles.h"
#include "support/JudgedRunsKit.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration elapsed) {
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

std::vector<std::vector<orvalt::RowWrite>> RecordedRuns(const std::filesystem::path& folder,
                                                        long runs) {
    const std::string source = (folder / "source.sqlite").string();
    {
        orvalt::RunRecorder recorder(
            {source, folder / "spool.sqlite", std::chrono::milliseconds(0), {}},
            {std::chrono::milliseconds(500), orvalt::WriterBehind::Wait});
        orvalt::test::RecordJudgedShift(recorder, runs);
    }
    auto db = orvalt::OpenSqlConnection(source);
    std::vector<std::vector<orvalt::RowWrite>> rows;
    const auto uuids = db.Value()->Run("SELECT run_uuid FROM runs ORDER BY started_at, run_uuid");
    for (const orvalt::SqlRow& row : uuids.Value()) {
        rows.push_back(orvalt::SpooledRows(**db, orvalt::CellText(row[0])).Value());
    }
    return rows;
}

// Writes every run into both, alternating which goes first; the times per
// run, plain and sealed.
bool WriteBoth(orvalt::SqlConnection& plain, orvalt::SqlConnection& sealed,
               const orvalt::RunSealer& sealer,
               const std::vector<std::vector<orvalt::RowWrite>>& runs, std::vector<double>& plainMs,
               std::vector<double>& sealedMs) {
    for (std::size_t i = 0; i < runs.size(); ++i) {
        for (int pass = 0; pass < 2; ++pass) {
            const bool seal = (pass == 0) == (i % 2 == 0);
            const auto start = Clock::now();
            const auto written =
                orvalt::WriteRows(seal ? sealed : plain, runs[i], seal ? &sealer : nullptr);
            (seal ? sealedMs : plainMs).push_back(Ms(Clock::now() - start));
            if (!written) {
                std::fprintf(stderr, "%s\n", written.Error().why.c_str());
                return false;
            }
        }
    }
    return true;
}

double Mean(const std::vector<double>& values) {
    double sum = 0.0;
    for (double value : values) {
        sum += value;
    }
    return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

bool Measure(const char* what, const std::string& plainTarget, const std::string& sealedTarget,
             const orvalt::StationKey& key,
             const std::vector<std::vector<orvalt::RowWrite>>& runs) {
    auto plain = orvalt::OpenRecordDatabase(plainTarget);
    auto sealed = orvalt::OpenRecordDatabase(sealedTarget);
    if (!plain || !sealed) {
        std::fprintf(stderr, "%s\n", (plain ? sealed.Error() : plain.Error()).c_str());
        return false;
    }
    const orvalt::RunSealer sealer(key);
    std::vector<double> plainMs, sealedMs;
    if (!WriteBoth(**plain, **sealed, sealer, runs, plainMs, sealedMs)) {
        return false;
    }
    std::printf(
        "%s: a run's rows in one transaction: %.3f ms unsealed, %.3f ms sealed (median "
        "%.3f, %.3f): sealing costs %.3f ms a run (p95 of the sealed write %.3f ms)\n",
        what, Mean(plainMs), Mean(sealedMs), Median(plainMs), Median(sealedMs),
        Mean(sealedMs) - Mean(plainMs), Percentile(sealedMs, 0.95));
    orvalt::TrustedKeys keys;
    keys.keys.push_back(key);
    auto reader = orvalt::OpenSqlConnectionToRead(sealedTarget);  // as verify opens it
    long said = 0;
    const auto start = Clock::now();
    const auto tally =
        orvalt::CheckSeals(**reader, keys, {}, [&said](const std::string&) { ++said; });
    const double seconds = Ms(Clock::now() - start) / 1000.0;
    if (!tally) {
        std::fprintf(stderr, "%s\n", tally.Error().c_str());
        return false;
    }
    std::printf("%s: %s\n%s: verify over %lld runs: %.2f s, %.0f runs/s\n", what,
                orvalt::SealSummary(*tally).c_str(), what, static_cast<long long>(tally->runs),
                seconds, static_cast<double>(tally->runs) / seconds);
    return tally->Held() && said == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const long runs = argc > 1 ? std::atol(argv[1]) : 10000;
    const bool server = argc > 2 && std::string(argv[2]) == "server";
    orvalt::test::TempFolder folder;
    const auto key = orvalt::StationKey::Make();
    const auto start = Clock::now();
    const auto recorded = RecordedRuns(folder.Path(), runs);
    std::printf("recorded %zu judged runs in %.1f s\n", recorded.size(),
                Ms(Clock::now() - start) / 1000.0);
    bool ok = Measure("SQLite", (folder / "plain.sqlite").string(),
                      (folder / "sealed.sqlite").string(), *key, recorded);
    if (server) {
        orvalt::test::PgCluster cluster;
        if (!cluster.Ready()) {
            std::fprintf(stderr, "%s\n", cluster.Problem().c_str());
            return 1;
        }
        cluster.Query("CREATE DATABASE plain");
        std::string url = cluster.Url();
        std::string plainUrl = url;
        plainUrl.replace(plainUrl.find("/postgres?"), 10, "/plain?");
        ok = Measure("PostgreSQL", plainUrl, url, *key, recorded) && ok;
    }
    return ok ? 0 : 1;
}
