#include "lookback/LineView.h"

#include <algorithm>
#include <optional>

#include "domain/IsoTime.h"
#include "domain/PrintableText.h"
#include "lookback/FailurePareto.h"
#include "lookback/FixtureCards.h"
#include "lookback/OpenAlarms.h"
#include "platform/UtcTime.h"

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

}  // namespace

Result<LineView> LoadLineView(SqlConnection& connection, const LineMoment& moment) {
    OpenAlarmsReader alarms;
    return LoadLineView(connection, moment, alarms);
}

Result<LineView> LoadLineView(SqlConnection& connection, const LineMoment& moment,
                              OpenAlarmsReader& alarmsReader) {
    Result<LineMoment> at = InRecordsForm(moment);
    if (!at) {
        return Fail(at.Error());
    }
    LineView view;
    view.moment = std::move(at).Value();
    Result<std::vector<FixtureCard>> cards = LoadFixtureCards(connection, view.moment);
    if (!cards) {
        return Fail(cards.Error());
    }
    view.fixtures = std::move(cards).Value();
    view.recheckAt = RecheckAt(view.fixtures, view.moment.notSeenAfter);
    Result<std::vector<YieldRow>> yield =
        QueryYield(connection, YieldGrouping::Model, view.moment.todayStart);
    if (!yield) {
        return Fail(yield.Error());
    }
    view.yieldToday = std::move(yield).Value();
    Result<std::vector<FailureReason>> pareto =
        LoadFailurePareto(connection, view.moment.todayStart);
    if (!pareto) {
        return Fail(pareto.Error());
    }
    view.pareto = std::move(pareto).Value();
    Result<std::vector<OpenAlarm>> alarms = alarmsReader.Read(connection, view.moment.alarmsSince);
    if (!alarms) {
        return Fail(alarms.Error());
    }
    view.alarms = std::move(alarms).Value();
    return view;
}

}  // namespace orvalt
