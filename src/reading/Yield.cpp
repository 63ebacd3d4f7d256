#include "reading/Yield.h"

#include <utility>

#include "domain/IsoTime.h"
#include "reading/RunLoad.h"

namespace orvalt {

namespace {

struct GroupingWord {
    const char* word;
    YieldGrouping by;
    const char* expression;
};

constexpr GroupingWord kGroupings[] = {
    {"model", YieldGrouping::Model, "r.model"},
    {"driver", YieldGrouping::Driver, "r.driver_manufacturer || ' ' || r.driver_model"},
    {"day", YieldGrouping::Day, "substr(r.started_at, 1, 10)"},
    {"lot", YieldGrouping::Lot, "r.lot"},
    {"station", YieldGrouping::Station, "r.host"},
    // A fixture's name is its station's own: Bay 1 of two hosts is two bays.
    {"fixture", YieldGrouping::Fixture,
     "CASE WHEN r.fixture IS NULL OR r.fixture = '' THEN r.host"
     " ELSE r.host || ' / ' || r.fixture END"},
};

const GroupingWord& Grouping(YieldGrouping by) {
    for (const GroupingWord& grouping : kGroupings) {
        if (grouping.by == by) {
            return grouping;
        }
    }
    return kGroupings[0];
}

// The columns YieldCounter::Add reads, in this order.
enum Column { kGroup, kSerial, kStarted, kEnded, kHow, kVerdict, kBegun, kDone, kPassed, kFailed };
static_assert(kFailed + 1 == kYieldColumns);

// Each run carries its tally of tests and its unit verdict, so yield reads
// runs only, once, in the order a unit's attempts follow each other: each
// group's units one after another, each unit's runs as they started. The
// group is a cast so that SQLite reads the table straight through and sorts
// it, rather than walking an index in group order and fetching each run's row
// from it: three times as fast over 100 000 runs. Runs since a moment are
// found by the index on their start (a day's runs in well under a
// millisecond, all of them as fast as the table read through); the moment is
// a date or a time in the records' own form, compared as text.
std::string YieldSql(YieldGrouping by, const RunFilter& filter, std::vector<SqlValue>& params) {
    return std::string("SELECT ")
        .append(YieldColumnsSql(by))
        .append(" FROM runs r WHERE 1 = 1")
        .append(RunFilterSql(filter, params))
        .append(" ORDER BY g, r.serial, r.started_at, r.run_uuid");
}

bool Lost(const std::string& how) {
    return how == "stopped" || how == "abandoned";
}

}  // namespace

const char* YieldGroupSql(YieldGrouping by) {
    return Grouping(by).expression;
}

std::string YieldColumnsSql(YieldGrouping by) {
    return std::string("CAST(")
        .append(Grouping(by).expression)
        .append(
            " AS TEXT) AS g, r.serial, r.started_at, r.ended_at, r.ended_how, r.verdict,"
            " COALESCE(r.tests_begun, 0), COALESCE(r.tests_completed, 0),"
            " COALESCE(r.tests_passed, 0), COALESCE(r.tests_failed, 0)");
}

const char* YieldGroupingWord(YieldGrouping by) {
    return Grouping(by).word;
}

std::optional<YieldGrouping> YieldGroupingFromWord(const std::string& word) {
    for (const GroupingWord& grouping : kGroupings) {
        if (word == grouping.word) {
            return grouping.by;
        }
    }
    return std::nullopt;
}

std::optional<std::int64_t> MillisecondsBetween(const std::string& from, const std::string& to) {
    const auto start = ParseUtcIsoTime(from), end = ParseUtcIsoTime(to);
    if (!start || !end) {
        return std::nullopt;
    }
    return (*end - *start).count();
}

void YieldCounter::CloseUnit() {
    if (serial_ && judgedRuns_ > 0) {
        ++current_.judgedUnits;
        current_.firstPass += firstPassed_ ? 1 : 0;
        current_.finalPass += lastPassed_ ? 1 : 0;
        current_.stillFailing += lastPassed_ ? 0 : 1;
        current_.retests += judgedRuns_ - 1;
    }
    serial_.reset();
    judgedRuns_ = 0;
}

void YieldCounter::CloseGroup() {
    CloseUnit();
    if (group_) {
        rows_.push_back(std::move(current_));
    }
    current_ = YieldRow{};
}

void YieldCounter::Add(const SqlRow& run) {
    if (!group_ || *group_ != run[kGroup]) {
        CloseGroup();
        group_ = run[kGroup];
        current_.group = CellText(run[kGroup]);
    }
    // A run without a serial number is a unit of its own.
    const std::string serial = CellText(run[kSerial]);
    if (!serial_ || serial.empty() || *serial_ != serial) {
        CloseUnit();
        serial_ = serial;
        ++current_.units;
    }
    const std::int64_t begun = CellInteger(run[kBegun]), done = CellInteger(run[kDone]);
    current_.tests += begun;
    current_.completed += done;
    current_.abandoned += begun - done;
    current_.passed += CellInteger(run[kPassed]);
    current_.failed += CellInteger(run[kFailed]);
    const std::string how = CellText(run[kHow]);
    if (Lost(how)) {
        ++current_.lostRuns;
        const auto ms = MillisecondsBetween(CellText(run[kStarted]), CellText(run[kEnded]));
        current_.lostMs += ms && *ms > 0 ? *ms : 0;
    } else if (how == "completed" && run[kVerdict]) {
        // Any verdict kept makes the run judged; only a pass passes it.
        lastPassed_ = VerdictKindOfCell(run[kVerdict]) == VerdictKind::Pass;
        firstPassed_ = judgedRuns_ == 0 ? lastPassed_ : firstPassed_;
        ++judgedRuns_;
    }
}

std::vector<YieldRow> YieldCounter::Finish() {
    CloseGroup();
    group_.reset();
    return std::exchange(rows_, {});
}

Result<std::vector<YieldRow>> QueryYield(SqlConnection& connection, YieldGrouping by,
                                         const RunFilter& filter) {
    YieldCounter counter;
    std::vector<SqlValue> params;
    const std::string sql = YieldSql(by, filter, params);
    const Result<void> read =
        connection.RunRowByRow(sql, params, [&counter](const SqlRow& run) { counter.Add(run); });
    if (!read) {
        return Fail(read.Error());
    }
    return counter.Finish();
}

}  // namespace orvalt
