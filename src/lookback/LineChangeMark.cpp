// The change mark of the line view: a few figures the records' indexes give
// at once, which together move with every run started or ended, every test
// begun or ended and every alarm recorded.

#include <cinttypes>
#include <cstdio>

#include "lookback/LineView.h"

namespace orvalt {

namespace {

// A run that starts takes a new key, and a run's start forwarded late from a
// station's spool takes one when it lands. An alarm is kept with its run,
// which may be older than the newest run that alarmed, so the alarms are
// counted: their primary key holds them in few pages.
constexpr const char* kNewestSql =
    "SELECT (SELECT MAX(run_id) FROM run_keys), (SELECT MAX(ended_at) FROM runs),"
    " (SELECT COUNT(*) FROM alarms), (SELECT MAX(run_id) FROM alarms)";

// The runs not ended (from the index by end) with their tally and their
// tests that ended, so that a test that begins or ends moves the mark, and a
// run whose end arrives late with an older end than the newest leaves them.
// A test that ends without moving the tally (abandoned, the run going on)
// still adds an end.
constexpr const char* kOpenRunsSql =
    "SELECT r.run_uuid, r.tests_begun, r.tests_completed, r.tests_passed, r.tests_failed,"
    " (SELECT COUNT(*) FROM tests t WHERE t.run_id = k.run_id AND t.ended_how IS NOT NULL)"
    " FROM runs r JOIN run_keys k ON k.run_uuid = r.run_uuid WHERE r.ended_at IS NULL";

std::uint64_t Fnv1a(const SqlRow& row) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const SqlCell& cell : row) {
        for (const char c : cell.value_or("\x01NULL")) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        hash = (hash ^ 0xFFu) * 1099511628211ull;  // between cells
    }
    return hash;
}

std::string Shown(const SqlCell& cell) {
    return cell.value_or("-");
}

}  // namespace

std::vector<std::string> LineChangeMarkStatements() {
    return {kNewestSql, kOpenRunsSql};
}

Result<std::string> LineChangeMark(SqlConnection& connection) {
    const Result<SqlRows> newest = connection.Run(kNewestSql);
    if (!newest) {
        return Fail(newest.Error());
    }
    // Summed, so that the runs' order in the answer does not matter.
    std::uint64_t openSum = 0, openCount = 0;
    const Result<void> open = connection.RunRowByRow(kOpenRunsSql, {}, [&](SqlRow row) {
        openSum += Fnv1a(row);
        ++openCount;
    });
    if (!open) {
        return Fail(open.Error());
    }
    const SqlRow& figures = newest->at(0);
    char openText[48];
    std::snprintf(openText, sizeof openText, "%" PRIu64 ":%016" PRIx64, openCount, openSum);
    return std::string("runs ")
        .append(Shown(figures[0]))
        .append(", ended ")
        .append(Shown(figures[1]))
        .append(", open ")
        .append(openText)
        .append(", alarms ")
        .append(Shown(figures[2]))
        .append("/")
        .append(Shown(figures[3]));
}

}  // namespace orvalt
