#pragma once
// Which attempt on its unit a run is: 1 for the first run of a serial number,
// 2 for its first retest, and so on, counted in the order the runs started.
// The results database numbers a run as its first row arrives, so runs that
// waited in a spool are numbered among all the others, not among the spool's;
// one that arrives after later runs of its unit were numbered moves those on.
// Stations numbering runs of one unit at once take turns.

#include <string>

#include "records/SqlConnection.h"

namespace orvalt {

// Numbers the run the first time it is seen here, and renumbers the runs of
// its unit that started after it. A run already numbered, or without a serial
// number, is left as it is.
Result<SqlRows> NumberAttempt(SqlConnection& connection, const std::string& uuid);

// A run's attempt: the runs of its serial started before it, and it (two
// started at once are taken in the order of their UUIDs).
#define ORVALT_ATTEMPT_COUNT(serial, started, uuid)                                         \
    "(SELECT COUNT(*) FROM runs o WHERE o.serial = " serial " AND (o.started_at < " started \
    " OR (o.started_at = " started " AND o.run_uuid <= " uuid ")))"

// Sets each run's attempt; the runs it applies to are named after it.
#define ORVALT_SET_ATTEMPT                                                              \
    "UPDATE runs SET attempt = " ORVALT_ATTEMPT_COUNT("runs.serial", "runs.started_at", \
                                                      "runs.run_uuid")

// The attempt a run of serial $1 started at $2 with UUID $3 has, counted
// again from the runs as they stand.
inline constexpr const char* kCountAttemptSql = "SELECT " ORVALT_ATTEMPT_COUNT("$1", "$2", "$3");

// Numbers every run not numbered yet (a database recorded before attempts).
inline constexpr const char* kNumberEveryAttemptSql =
    ORVALT_SET_ATTEMPT " WHERE attempt IS NULL AND serial IS NOT NULL AND serial <> ''";

}  // namespace orvalt
