// The change mark of the line view: a few figures the records' indexes give
// at once, which together move with every run started or ended, every test
// begun or ended and every alarm recorded or acknowledged.

#include "lineview/LineChangeMark.h"

#include <cinttypes>
#include <cstdio>

#include "reading/OpenRuns.h"

namespace orvalt {

namespace {

// A run that starts takes a new key, and a run's start forwarded late from a
// station's spool takes one when it lands. An alarm is kept with its run,
// which may be older than the newest run that alarmed, so the alarms are
// counted: their primary key holds them in few pages. So are the
// acknowledgements, fewer still.
constexpr const char* kNewestSql =
    "SELECT (SELECT MAX(run_id) FROM run_keys), (SELECT MAX(ended_at) FROM runs),"
    " (SELECT COUNT(*) FROM alarms), (SELECT MAX(run_id) FROM alarms),"
    " (SELECT COUNT(*) FROM alarm_acks)";

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

std::string Shown(const SqlCell& cell) {
    return cell.value_or("-");
}

}  // namespace

std::vector<std::string> LineChangeMarkStatements() {
    return {kNewestSql, OpenRunsStatement()};
}

Result<std::string> LineChangeMark(SqlConnection& connection) {
    const Result<SqlRows> newest = connection.Run(kNewestSql);
    if (!newest) {
        return Fail(newest.Error());
    }
    const Result<OpenRuns> open = ReadOpenRuns(connection);
    if (!open) {
        return Fail(open.Error());
    }
    // Summed, so that the runs' order does not matter. A run whose end
    // arrives late, older than the newest end, leaves them.
    std::uint64_t openSum = 0;
    for (const auto& [uuid, run] : *open) {
        openSum += Fnv1a(uuid + '\x1f' + run.tally);
    }
    const std::uint64_t openCount = open->size();
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
        .append(Shown(figures[3]))
        .append(", acknowledged ")
        .append(Shown(figures[4]));
}

}  // namespace orvalt
