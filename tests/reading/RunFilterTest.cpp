#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "reading/History.h"
#include "reading/RunFilter.h"
#include "recording/RecordStore.h"
#include "support/OpenedDatabase.h"

namespace orvalt {
namespace {

using test::OpenedDatabase;

// A run as the filter sees it; an absent text is NULL in the table.
struct StoredRun {
    std::string uuid, startedAt, host;
    std::optional<std::string> fixture, model, lot, serial, verdict;
};

// What each filter means, said once more as a test engineer would: the run
// started within the days (both included), and each field given matches.
bool Keeps(const RunFilter& filter, const StoredRun& run) {
    const auto day = run.startedAt.substr(0, 10);
    const auto is = [](const std::optional<std::string>& want,
                       const std::optional<std::string>& have) {
        return !want || (have && *have == *want);
    };
    if (filter.since && day < *filter.since)
        return false;
    if (filter.until && day > *filter.until)
        return false;
    if (filter.serialStart &&
        !(run.serial &&
          run.serial->compare(0, filter.serialStart->size(), *filter.serialStart) == 0 &&
          run.serial->size() >= filter.serialStart->size()))
        return false;
    if (filter.verdict) {
        if (*filter.verdict == "none") {
            if (run.verdict && !run.verdict->empty())
                return false;
        } else {
            std::string upper = *filter.verdict;
            for (char& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (run.verdict != upper)
                return false;
        }
    }
    return is(filter.model, run.model) && is(filter.lot, run.lot) && is(filter.station, run.host) &&
           is(filter.fixture, run.fixture) && is(filter.serial, run.serial);
}

template <typename T>
const T& Pick(std::mt19937& random, const std::vector<T>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
}

using Maybe = std::optional<std::string>;
const std::vector<Maybe> kModels{"X100", "Y200", "", std::nullopt};
const std::vector<Maybe> kLots{"L-1", "L-2", "", std::nullopt};
const std::vector<std::string> kHosts{"vm", "line2-pc2"};
const std::vector<Maybe> kFixtures{"", "Bay 1", "Bay 2", std::nullopt};
// Prefixes of each other, a multi-byte one, and serials a LIKE would misread.
const std::vector<Maybe> kSerials{"SN-01", "SN-010", "SN-1", "AB-01",     "Ü-7",
                                  "SN_01", "SN%01",  "",     std::nullopt};
const std::vector<Maybe> kVerdicts{"PASS", "FAIL", "ERROR", "NOT JUDGED", "", std::nullopt};
// Midnight and the last millisecond of days either side of a boundary.
const std::vector<std::string> kStarts{"2026-11-30T23:59:59.999Z", "2026-12-01T00:00:00.000Z",
                                       "2026-12-01T12:00:00.000Z", "2026-12-01T23:59:59.999Z",
                                       "2026-12-02T00:00:00.000Z", "2026-12-31T23:59:59.999Z",
                                       "2027-01-01T00:00:00.000Z"};
const std::vector<std::string> kDays{"2026-11-30", "2026-12-01", "2026-12-02", "2026-12-31",
                                     "2027-01-01"};

class RunFilterTest : public OpenedDatabase {
  protected:
    void Store(const StoredRun& run) {
        const auto cell = [](const Maybe& text) { return text ? SqlValue(*text) : SqlValue(); };
        const auto stored = db_->Run(
            "INSERT INTO runs (run_uuid, started_at, host, fixture, model, lot, serial, verdict)"
            " VALUES ($1, $2, $3, $4, $5, $6, $7, $8)",
            {run.uuid, run.startedAt, run.host, cell(run.fixture), cell(run.model), cell(run.lot),
             cell(run.serial), cell(run.verdict)});
        ASSERT_TRUE(stored.Ok()) << stored.Error();
    }

    std::set<std::string> Selected(const RunFilter& filter) {
        std::vector<SqlValue> params;
        const auto rows = db_->Run(
            "SELECT r.run_uuid FROM runs r WHERE 1 = 1" + RunFilterSql(filter, params), params);
        EXPECT_TRUE(rows.Ok()) << rows.Error();
        std::set<std::string> uuids;
        for (const auto& row : rows ? *rows : SqlRows{})
            uuids.insert(*row[0]);
        return uuids;
    }
};

TEST_P(RunFilterTest, SelectsExactlyTheRunsEachFilterMeans) {
    if (Stopped())
        return;
    std::mt19937 random(20261211);
    std::vector<StoredRun> runs;
    for (int i = 0; i < 120; ++i) {
        runs.push_back({"run-" + std::to_string(i), Pick(random, kStarts), Pick(random, kHosts),
                        Pick(random, kFixtures), Pick(random, kModels), Pick(random, kLots),
                        Pick(random, kSerials), Pick(random, kVerdicts)});
        Store(runs.back());
    }
    const auto sometimes = [&random](auto value) {
        return std::bernoulli_distribution(0.3)(random) ? std::optional(value) : std::nullopt;
    };
    const auto present = [](const std::optional<Maybe>& chosen) -> Maybe {
        return chosen && *chosen ? Maybe(**chosen) : std::nullopt;
    };
    const std::vector<std::string> verdictsAsTyped{"PASS", "fail", "Error", "not judged", "none"};
    const std::vector<std::string> starts{"SN-0", "SN-01", "SN", "S", "Ü", "SN_", "SN%", ""};
    std::size_t kept = 0;
    for (int round = 0; round < 400; ++round) {
        RunFilter filter;
        filter.since = sometimes(Pick(random, kDays));
        filter.until = sometimes(Pick(random, kDays));
        filter.model = present(sometimes(Pick(random, kModels)));
        filter.lot = present(sometimes(Pick(random, kLots)));
        filter.station = sometimes(Pick(random, kHosts));
        filter.fixture = present(sometimes(Pick(random, kFixtures)));
        filter.serial = present(sometimes(Pick(random, kSerials)));
        filter.serialStart = sometimes(Pick(random, starts));
        filter.verdict = sometimes(Pick(random, verdictsAsTyped));
        std::set<std::string> expected;
        for (const StoredRun& run : runs)
            if (Keeps(filter, run))
                expected.insert(run.uuid);
        ASSERT_EQ(Selected(filter), expected) << RunFilterText(filter);
        kept += expected.size();
    }
    // The rounds asked questions with answers, not only empty ones.
    EXPECT_GT(kept, 400u);
}

TEST_P(RunFilterTest, HistoryTakesTheFilterAndItsLimitTogether) {
    if (Stopped())
        return;
    for (int i = 0; i < 5; ++i) {
        Store({"h" + std::to_string(i), "2026-12-0" + std::to_string(i + 1) + "T08:00:00.000Z",
               "vm", "Bay 1", "X100", "L-1", "SN-" + std::to_string(i), "PASS"});
    }
    std::vector<std::string> seen;
    const auto read = EachHistoryRow(*db_, {.until = "2026-12-04", .serialStart = "SN-"}, 2,
                                     [&seen](const HistoryRow& row) { seen.push_back(row.uuid); });
    ASSERT_TRUE(read.Ok()) << read.Error();
    EXPECT_EQ(seen, (std::vector<std::string>{"h3", "h2"}));
}

INSTANTIATE_TEST_SUITE_P(SqliteAndServer, RunFilterTest, ::testing::Bool());

TEST(RunFilterWords, ATrailingStarAsksForASerialsStartAndTheTextSaysWhatIsKept) {
    RunFilter filter;
    SetSerialAsTyped(filter, "SN-*");
    EXPECT_EQ(filter.serialStart, "SN-");
    EXPECT_FALSE(filter.serial);
    SetSerialAsTyped(filter, "SN-7");
    EXPECT_EQ(filter.serial, "SN-7");
    filter.model = "X100";
    filter.until = "2026-12-31";
    EXPECT_EQ(RunFilterText(filter), "model X100, serial SN-7, serial SN-*, until 2026-12-31");
    EXPECT_EQ(RunFilterText({}), "every run");
    EXPECT_EQ(RunFilterVerdictProblem("not judged"), "");
    EXPECT_NE(RunFilterVerdictProblem("PASSED"), "");
    EXPECT_EQ(RunFilterDayProblem("2026-02-29"), "expected a date YYYY-MM-DD, got \"2026-02-29\"");
}

}  // namespace
}  // namespace orvalt
