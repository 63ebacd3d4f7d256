#pragma once
// The runs of the line's recent window, kept between reads of the line: a
// read fetches only the runs that moved since the one before (those that took
// a key, those not ended at either read), so that a page watching a line
// that records flat out does not have the server read the whole day's runs
// again at every change. Every run of the window is read afresh at a set pace
// all the same: a run whose start and end both land at once from a station's
// spool, under a key taken before the newest one read, is otherwise missed.
//
// The runs keyed after SettledKeys::LandedAfter are read again at each read,
// and the window whole while it tells none.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "base/Result.h"
#include "domain/TestVerdict.h"
#include "reading/FailureReasons.h"
#include "reading/RunPick.h"
#include "reading/SettledKeys.h"
#include "reading/Yield.h"
#include "records/SqlConnection.h"

namespace orvalt {

// A run's cells: first the columns yield counts (YieldColumnsSql by model),
// then these.
enum LineRunColumn : std::size_t {
    kLineRunModel = 0,
    kLineRunSerial = 1,
    kLineRunStarted = 2,
    kLineRunEnded = 3,
    kLineRunEndedHow = 4,
    kLineRunVerdict = 5,
    kLineRunTestsBegun = 6,
    kLineRunKey = kYieldColumns,
    kLineRunUuid,
    kLineRunHost,
    kLineRunFixture,
    kLineRunPlan,
};

struct LineRun {
    SqlRow cells;
    // The unit's verdict, read from its cell; none without one, or for a word
    // of no kind.
    std::optional<VerdictKind> verdict;
    RunReasons failureReasons;  // what it counts in the Pareto

    std::string Text(LineRunColumn column) const { return CellText(cells.at(column)); }
};

using LineRuns = std::map<std::string, LineRun>;  // by run uuid

class LineRunsReader {
  public:
    using Clock = std::chrono::steady_clock;

    explicit LineRunsReader(std::chrono::seconds readAllEvery = std::chrono::seconds(30),
                            std::chrono::seconds keysSettle = std::chrono::seconds(5));

    // The runs started since `since` (the records' form) as the records
    // hold them now.
    Result<const LineRuns*> Read(SqlConnection& connection, const std::string& since,
                                 Clock::time_point now = Clock::now());
    // The next read reads every run of the window (another connection, maybe
    // another database).
    void Forget();

  private:
    Result<void> ReadAll(SqlConnection& connection, const std::string& since,
                         Clock::time_point now);
    Result<void> ReadMoved(SqlConnection& connection, const std::string& since,
                           Clock::time_point now);
    Result<void> Take(SqlConnection& connection, const RunPick& pick, const std::string& since,
                      std::set<std::string>* open);
    void LeaveOutStartedBefore(const std::string& since);

    std::chrono::seconds readAllEvery_;
    std::optional<Clock::time_point> readAllAt_;
    std::string since_;  // the window's start at the last read
    SettledKeys keys_;
    std::set<std::string> open_;  // the runs of the window not ended at the last read
    LineRuns runs_;
};

}  // namespace orvalt
