#include "lineview/LineRuns.h"

#include <algorithm>
#include <iterator>

#include "reading/RunLoad.h"
#include "reading/SettledKeys.h"
#include "reading/Yield.h"

namespace orvalt {

namespace {

// More runs than this gone from the runs not ended since the last read (a
// line back from a long break), and the window is read whole instead.
constexpr std::size_t kEndedReadByName = 500;

std::string LineRunsSql(const RunPick& pick) {
    return std::string("SELECT ")
        .append(YieldColumnsSql(YieldGrouping::Model))
        .append(
            ", k.run_id, r.run_uuid, r.host, r.fixture, r.plan_sha256"
            " FROM runs r LEFT JOIN run_keys k ON k.run_uuid = r.run_uuid WHERE ")
        .append(pick.where);
}

RunPick RunsNotEnded() {
    return {"r.ended_at IS NULL", {}};
}

RunPick RunsNamed(const std::set<std::string>& uuids) {
    RunPick pick{"r.run_uuid IN (", {}};
    for (const std::string& uuid : uuids) {
        pick.where.append(pick.params.empty() ? "" : ", ")
            .append(NumberedName('$', pick.params.size() + 1));
        pick.params.emplace_back(uuid);
    }
    pick.where.push_back(')');
    return pick;
}

}  // namespace

LineRunsReader::LineRunsReader(std::chrono::seconds readAllEvery, std::chrono::seconds keysSettle)
    : readAllEvery_(readAllEvery), keys_(keysSettle) {}

Result<const LineRuns*> LineRunsReader::Read(SqlConnection& connection, const std::string& since,
                                             Clock::time_point now) {
    const bool whole = !readAllAt_ || now - *readAllAt_ >= readAllEvery_ || since < since_;
    const Result<void> read =
        whole ? ReadAll(connection, since, now) : ReadMoved(connection, since, now);
    if (!read) {
        Forget();  // half taken in
        return Fail(read.Error());
    }
    if (whole) {
        readAllAt_ = now;
    }
    since_ = since;
    return &runs_;
}

void LineRunsReader::Forget() {
    readAllAt_.reset();
    since_.clear();
    keys_.Forget();
    open_.clear();
    runs_.clear();
}

Result<void> LineRunsReader::ReadAll(SqlConnection& connection, const std::string& since,
                                     Clock::time_point now) {
    Result<std::optional<std::int64_t>> newest = NewestRunKey(connection);
    if (!newest) {
        return Fail(newest.Error());
    }
    runs_.clear();
    open_.clear();
    if (Result<void> taken = Take(connection, RunsStartedSince(since), since, &open_); !taken) {
        return taken;
    }
    keys_.Note(now, *newest);
    return {};
}

// The newest key is read first: a run that takes one while the runs are
// read is read again next time, which changes nothing.
Result<void> LineRunsReader::ReadMoved(SqlConnection& connection, const std::string& since,
                                       Clock::time_point now) {
    const std::optional<std::int64_t> landedAfter = keys_.LandedAfter(connection.Dialect());
    if (!landedAfter) {
        return ReadAll(connection, since, now);
    }
    Result<std::optional<std::int64_t>> newest = NewestRunKey(connection);
    if (!newest) {
        return Fail(newest.Error());
    }
    std::set<std::string> open;
    if (Result<void> taken = Take(connection, RunsKeyedAfter(*landedAfter), since, &open); !taken) {
        return taken;
    }
    if (Result<void> taken = Take(connection, RunsNotEnded(), since, &open); !taken) {
        return taken;
    }
    std::set<std::string> ended;
    std::set_difference(open_.begin(), open_.end(), open.begin(), open.end(),
                        std::inserter(ended, ended.end()));
    if (ended.size() > kEndedReadByName) {
        return ReadAll(connection, since, now);
    }
    if (!ended.empty()) {
        if (Result<void> taken = Take(connection, RunsNamed(ended), since, nullptr); !taken) {
            return taken;
        }
    }
    open_ = std::move(open);
    keys_.Note(now, *newest);
    LeaveOutStartedBefore(since);
    return {};
}

// The picked runs as they stand now, each with its failure reasons; those
// started before the window are left out. `open` gathers the window's runs
// not ended.
Result<void> LineRunsReader::Take(SqlConnection& connection, const RunPick& pick,
                                  const std::string& since, std::set<std::string>* open) {
    std::vector<LineRun*> taken;
    bool anyFailed = false;
    const Result<void> read =
        connection.RunRowByRow(LineRunsSql(pick), pick.params, [&](SqlRow row) {
            std::string uuid = CellText(row.at(kLineRunUuid));
            if (CellText(row.at(kLineRunStarted)) < since) {
                runs_.erase(uuid);
                return;
            }
            if (open && !row.at(kLineRunEnded)) {
                open->insert(uuid);
            }
            const std::optional<VerdictKind> verdict = VerdictKindOfCell(row.at(kLineRunVerdict));
            anyFailed = anyFailed || verdict == VerdictKind::Fail;
            LineRun& run = runs_[std::move(uuid)];
            run.cells = std::move(row);
            run.verdict = verdict;
            taken.push_back(&run);
        });
    if (!read) {
        return read;
    }
    ReasonsByRun measured;
    if (anyFailed) {
        Result<ReasonsByRun> found = FailedMeasurementReasons(connection, pick);
        if (!found) {
            return Fail(found.Error());
        }
        measured = std::move(found).Value();
    }
    for (LineRun* run : taken) {
        const auto found = measured.find(CellInteger(run->cells.at(kLineRunKey)));
        run->failureReasons =
            RunFailureReasons(run->verdict, run->cells.at(kLineRunEndedHow),
                              found == measured.end() ? RunReasons{} : found->second);
    }
    return {};
}

void LineRunsReader::LeaveOutStartedBefore(const std::string& since) {
    std::erase_if(runs_,
                  [&](const auto& entry) { return entry.second.Text(kLineRunStarted) < since; });
    std::erase_if(open_, [&](const std::string& uuid) { return !runs_.contains(uuid); });
}

}  // namespace orvalt
