#include "lineview/LineView.h"

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

#include "domain/IsoTime.h"
#include "domain/PrintableText.h"
#include "lineview/FixtureCards.h"
#include "lineview/LineRuns.h"
#include "platform/UtcTime.h"
#include "spc/OpenAlarms.h"

namespace orvalt {

namespace {

// The records compare times as texts, so a moment is put in their own form
// first: "2026-12-07T23:00:00Z" would sort after a run started at
// "2026-12-07T23:00:00.000Z".
Result<void> PutInRecordsForm(std::string& time, const char* what) {
    const std::optional<UtcMilliseconds> read = ParseUtcIsoTime(time);
    if (!read) {
        return Fail(std::string("The line view's ")
                        .append(what)
                        .append(" \"")
                        .append(PrintableText(time))
                        .append("\" is no UTC time (YYYY-MM-DDTHH:MM:SS.mmmZ)."));
    }
    time = UtcIsoTime(*read);
    return {};
}

Result<LineMoment> InRecordsForm(LineMoment moment) {
    const std::pair<std::string*, const char*> times[] = {
        {&moment.now, "now"},
        {&moment.todayStart, "start of today"},
        {&moment.stationsSince, "stations' look-back"},
        {&moment.alarmsSince, "alarms' look-back"}};
    for (const auto& [time, what] : times) {
        if (const Result<void> put = PutInRecordsForm(*time, what); !put) {
            return Fail(put.Error());
        }
    }
    return moment;
}

// The first moment a fixture testing now is not seen, unless heard of.
std::string RecheckAt(const std::vector<FixtureCard>& cards, std::chrono::minutes notSeenAfter) {
    std::optional<UtcMilliseconds> first;
    for (const FixtureCard& card : cards) {
        const std::optional<UtcMilliseconds> heard = ParseUtcIsoTime(card.lastSeenAt);
        if (card.state != FixtureState::Testing || !heard) {
            continue;
        }
        const UtcMilliseconds silent = *heard + notSeenAfter + std::chrono::milliseconds(1);
        first = first ? std::min(*first, silent) : silent;
    }
    return first ? UtcIsoTime(*first) : std::string();
}

// Yield per model as QueryYield counts it, from the kept runs in the order
// it reads them: a model's units one after another, each unit's runs as they
// started.
std::vector<YieldRow> YieldSince(const LineRuns& runs, const std::string& since) {
    std::vector<const SqlRow*> ordered;
    for (const auto& [uuid, run] : runs) {
        if (run.Text(kLineRunStarted) >= since) {
            ordered.push_back(&run.cells);
        }
    }
    const auto order = [](const SqlRow* row) {
        const SqlRow& cells = *row;
        return std::tie(cells[kLineRunModel], cells[kLineRunSerial], cells[kLineRunStarted],
                        cells[kLineRunUuid]);
    };
    std::sort(ordered.begin(), ordered.end(),
              [&](const SqlRow* a, const SqlRow* b) { return order(a) < order(b); });
    YieldCounter counter;
    for (const SqlRow* row : ordered) {
        counter.Add(*row);
    }
    return counter.Finish();
}

std::vector<FailureReason> ParetoSince(const LineRuns& runs, const std::string& since) {
    ReasonTally tally;
    for (const auto& [uuid, run] : runs) {
        if (run.Text(kLineRunStarted) >= since) {
            tally.Add(run.failureReasons);
        }
    }
    return tally.Ranked();
}

}  // namespace

Result<LineView> LoadLineView(SqlConnection& connection, const LineMoment& moment) {
    LineRunsReader runs;
    OpenAlarmsReader alarms;
    return LoadLineView(connection, moment, runs, alarms);
}

Result<LineView> LoadLineView(SqlConnection& connection, const LineMoment& moment,
                              LineRunsReader& runsReader, OpenAlarmsReader& alarmsReader) {
    Result<LineMoment> at = InRecordsForm(moment);
    if (!at) {
        return Fail(at.Error());
    }
    LineView view;
    view.moment = std::move(at).Value();
    const Result<const LineRuns*> runs =
        runsReader.Read(connection, std::min(view.moment.todayStart, view.moment.stationsSince));
    if (!runs) {
        return Fail(runs.Error());
    }
    Result<std::vector<FixtureCard>> cards = LoadFixtureCards(connection, view.moment, **runs);
    if (!cards) {
        return Fail(cards.Error());
    }
    view.fixtures = std::move(cards).Value();
    view.recheckAt = RecheckAt(view.fixtures, view.moment.notSeenAfter);
    view.yieldToday = YieldSince(**runs, view.moment.todayStart);
    view.pareto = ParetoSince(**runs, view.moment.todayStart);
    Result<std::vector<OpenAlarm>> alarms = alarmsReader.Read(connection, view.moment.alarmsSince);
    if (!alarms) {
        return Fail(alarms.Error());
    }
    view.alarms = std::move(alarms).Value();
    return view;
}

}  // namespace orvalt
