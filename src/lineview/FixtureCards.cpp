#include "lineview/FixtureCards.h"

#include <map>
#include <optional>
#include <utility>

#include "domain/IsoTime.h"
#include "lineview/LineRuns.h"
#include "platform/UtcTime.h"
#include "reading/PlanRows.h"

namespace orvalt {

namespace {

struct WindowRun {
    std::string host, fixture, uuid, startedAt, endedAt, endedHow, verdict, serial, model, plan;
    std::int64_t testsBegun = 0;
    bool ended = false;
};

WindowRun WindowRunOf(const LineRun& line) {
    WindowRun run;
    const std::pair<std::string*, LineRunColumn> texts[] = {
        {&run.host, kLineRunHost},       {&run.fixture, kLineRunFixture},
        {&run.uuid, kLineRunUuid},       {&run.startedAt, kLineRunStarted},
        {&run.endedAt, kLineRunEnded},   {&run.endedHow, kLineRunEndedHow},
        {&run.verdict, kLineRunVerdict}, {&run.serial, kLineRunSerial},
        {&run.model, kLineRunModel},     {&run.plan, kLineRunPlan}};
    for (const auto& [text, column] : texts) {
        *text = line.Text(column);
    }
    run.ended = line.cells.at(kLineRunEnded).has_value();
    run.testsBegun = CellInteger(line.cells.at(kLineRunTestsBegun));
    return run;
}

struct FixtureRuns {
    WindowRun newest;
    std::optional<WindowRun> newestEnded;
};

using FixtureKey = std::pair<std::string, std::string>;  // host, fixture

// Runs started at the same moment are told apart by their UUID, as the
// records order them everywhere.
bool StartedLater(const WindowRun& a, const WindowRun& b) {
    return std::tie(a.startedAt, a.uuid) > std::tie(b.startedAt, b.uuid);
}

bool EndedLater(const WindowRun& a, const WindowRun& b) {
    return std::tie(a.endedAt, a.startedAt, a.uuid) > std::tie(b.endedAt, b.startedAt, b.uuid);
}

void Place(std::map<FixtureKey, FixtureRuns>& fixtures, WindowRun run) {
    const FixtureKey key{run.host, run.fixture};
    auto found = fixtures.find(key);
    if (found == fixtures.end()) {
        found = fixtures.emplace(key, FixtureRuns{run, std::nullopt}).first;
    } else if (StartedLater(run, found->second.newest)) {
        found->second.newest = run;
    }
    std::optional<WindowRun>& ended = found->second.newestEnded;
    if (run.ended && (!ended || EndedLater(run, *ended))) {
        ended = std::move(run);
    }
}

std::map<FixtureKey, FixtureRuns> FixturesOf(const LineRuns& runs, const std::string& since) {
    std::map<FixtureKey, FixtureRuns> fixtures;
    for (const auto& [uuid, run] : runs) {
        if (run.Text(kLineRunStarted) >= since) {
            Place(fixtures, WindowRunOf(run));
        }
    }
    return fixtures;
}

// The newer of a moment heard of and a time from the records (ignored when
// it does not read).
void HeardAt(std::optional<UtcMilliseconds>& newest, const SqlCell& cell) {
    const std::optional<UtcMilliseconds> at = cell ? ParseUtcIsoTime(*cell) : std::nullopt;
    if (at && (!newest || *at > *newest)) {
        newest = at;
    }
}

// The newest start or end of each run's tests, in one query for all the
// cards: run UUID, newest start, newest end.
Result<SqlRows> TestTimes(SqlConnection& connection, const std::vector<std::string>& runs) {
    std::string sql =
        "SELECT k.run_uuid, MAX(t.started_at), MAX(t.ended_at) FROM run_keys k"
        " JOIN tests t ON t.run_id = k.run_id WHERE k.run_uuid IN (";
    std::vector<SqlValue> params;
    for (const std::string& uuid : runs) {
        sql.append(params.empty() ? "" : ", ").append(NumberedName('$', params.size() + 1));
        params.emplace_back(uuid);
    }
    return connection.Run(sql.append(") GROUP BY k.run_uuid"), params);
}

// The test's start and the time in it of the run's newest power switch (a
// cycle switches every few seconds): a run still going is heard of through
// its trace, which lands every half second, between its tests' milestones.
Result<SqlRows> NewestSwitch(SqlConnection& connection, const std::string& runUuid) {
    return connection.Run(
        "SELECT t.started_at, s.ms FROM run_keys k JOIN switches s ON s.run_id = k.run_id"
        " JOIN tests t ON t.run_id = s.run_id AND t.test_index = s.test_index"
        " WHERE k.run_uuid = $1 ORDER BY s.seq DESC LIMIT 1",
        {runUuid});
}

Result<std::optional<UtcMilliseconds>> SwitchHeardAt(SqlConnection& connection,
                                                     const std::string& runUuid) {
    const Result<SqlRows> newest = NewestSwitch(connection, runUuid);
    if (!newest) {
        return Fail(newest.Error());
    }
    if (newest->empty()) {
        return std::optional<UtcMilliseconds>();
    }
    const std::optional<UtcMilliseconds> testStart = ParseUtcIsoTime(CellText((*newest)[0][0]));
    if (!testStart) {
        return std::optional<UtcMilliseconds>();
    }
    return std::optional(*testStart + std::chrono::milliseconds(CellInteger((*newest)[0][1])));
}

FixtureState StateOf(const WindowRun& newest, std::optional<UtcMilliseconds> heard,
                     UtcMilliseconds now, std::chrono::minutes notSeenAfter) {
    if (newest.ended) {
        return FixtureState::Idle;
    }
    return heard && now - *heard <= notSeenAfter ? FixtureState::Testing : FixtureState::NotSeen;
}

FixtureCard CardOf(const FixtureKey& key, const FixtureRuns& runs) {
    FixtureCard card;
    card.host = key.first;
    card.fixture = key.second;
    card.runUuid = runs.newest.uuid;
    card.serial = runs.newest.serial;
    card.model = runs.newest.model;
    card.startedAt = runs.newest.startedAt;
    card.testsBegun = runs.newest.testsBegun;
    if (runs.newestEnded) {
        card.lastSerial = runs.newestEnded->serial;
        card.lastEndedAt = runs.newestEnded->endedAt;
        card.lastEndedHow = runs.newestEnded->endedHow;
        card.lastVerdict = runs.newestEnded->verdict;
    }
    return card;
}

// When the card's run was last heard of, and so its state and its plan's size.
Result<void> AddHearing(SqlConnection& connection, const WindowRun& newest, const SqlRow* testTimes,
                        UtcMilliseconds now, std::chrono::minutes notSeenAfter, FixtureCard& card) {
    std::optional<UtcMilliseconds> heard;
    HeardAt(heard, SqlCell(newest.startedAt));
    HeardAt(heard, newest.ended ? SqlCell(newest.endedAt) : SqlCell());
    if (testTimes) {
        HeardAt(heard, (*testTimes)[1]);
        HeardAt(heard, (*testTimes)[2]);
    }
    if (!newest.ended) {
        const Result<std::optional<UtcMilliseconds>> traced =
            SwitchHeardAt(connection, newest.uuid);
        if (!traced) {
            return Fail(traced.Error());
        }
        if (*traced && (!heard || **traced > *heard)) {
            heard = *traced;
        }
    }
    card.lastSeenAt = heard ? UtcIsoTime(*heard) : newest.startedAt;
    card.state = StateOf(newest, heard, now, notSeenAfter);
    const Result<std::int64_t> planRows = PlanRowsOf(connection, newest.uuid, newest.plan);
    if (!planRows) {
        return Fail(planRows.Error());
    }
    card.testsInPlan = *planRows;
    return {};
}

}  // namespace

Result<std::vector<FixtureCard>> LoadFixtureCards(SqlConnection& connection,
                                                  const LineMoment& moment) {
    LineRunsReader reader;
    const Result<const LineRuns*> runs = reader.Read(connection, moment.stationsSince);
    if (!runs) {
        return Fail(runs.Error());
    }
    return LoadFixtureCards(connection, moment, **runs);
}

Result<std::vector<FixtureCard>> LoadFixtureCards(SqlConnection& connection,
                                                  const LineMoment& moment, const LineRuns& runs) {
    const std::map<FixtureKey, FixtureRuns> fixtures = FixturesOf(runs, moment.stationsSince);
    std::vector<FixtureCard> cards;
    if (fixtures.empty()) {
        return cards;
    }
    std::vector<std::string> newestRuns;
    for (const auto& [key, runs] : fixtures) {
        newestRuns.push_back(runs.newest.uuid);
    }
    const Result<SqlRows> testTimes = TestTimes(connection, newestRuns);
    if (!testTimes) {
        return Fail(testTimes.Error());
    }
    std::map<std::string, const SqlRow*> timesOf;
    for (const SqlRow& row : *testTimes) {
        timesOf[CellText(row[0])] = &row;
    }
    const UtcMilliseconds now = ParseUtcIsoTime(moment.now).value_or(UtcMilliseconds{});
    for (const auto& [key, runs] : fixtures) {
        FixtureCard card = CardOf(key, runs);
        const auto times = timesOf.find(runs.newest.uuid);
        const Result<void> heard =
            AddHearing(connection, runs.newest, times == timesOf.end() ? nullptr : times->second,
                       now, moment.notSeenAfter, card);
        if (!heard) {
            return Fail(heard.Error());
        }
        cards.push_back(std::move(card));
    }
    return cards;
}

}  // namespace orvalt
