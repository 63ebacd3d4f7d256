#include "output/LinePage.h"

#include "output/ElapsedText.h"
#include "output/HtmlEscaped.h"
#include "output/HtmlParts.h"
#include "output/PageStyle.h"
#include "output/ParetoChart.h"
#include "reading/Yield.h"
#include "records/RecordsToRead.h"
#include "spc/OpenAlarms.h"

namespace orvalt {

const std::string& LinePageStyle() {
    static const std::string style = WithVerdictColours(
        "#fixtures{display:grid;grid-template-columns:repeat(auto-fill,minmax(220px,1fr));gap:12px}"
        ".card{background:#fff;border:1px solid #ccc;border-left:6px solid #90a4ae;"
        "border-radius:4px;padding:8px 12px}.card h3{margin:0 0 4px;font-size:15px}"
        ".card p{margin:3px 0;font-size:14px}.card .state{font-weight:bold}"
        ".card[data-state=testing]{border-left-color:#1f5fbf}"
        ".card[data-state=idle]{border-left-color:$pass}"
        ".card[data-state=not-seen]{border-left-color:$error;background:#fff8e1}"
        ".serial{font-family:monospace;font-size:15px}.elapsed{font-variant-numeric:tabular-nums}"
        ".pareto .bar{fill:#8fb3e6;stroke:#1f5fbf}.pareto .frame{fill:none;stroke:#bbb}"
        ".pareto path.cumulative{fill:none;stroke:$fail;stroke-width:2}"
        ".pareto circle.cumulative{fill:$fail}.pareto text{font-size:11px;fill:#333}"
        "#pareto{display:flex;flex-wrap:wrap;gap:16px;align-items:flex-start}");
    return style;
}

namespace {

const char* StateText(FixtureState state) {
    switch (state) {
        case FixtureState::Testing:
            return "Testing";
        case FixtureState::Idle:
            return "Idle";
        case FixtureState::NotSeen:
            return "Not seen";
    }
    return "";
}

std::string Attribute(const char* name, const std::string& value) {
    return std::string(" ").append(name).append("=\"").append(HtmlEscaped(value)).append("\"");
}

// The moment a card's elapsed time counts from: the run's start while it
// tests, the last run's end while idle, the last word heard when not seen.
const std::string& ElapsedSince(const FixtureCard& card) {
    switch (card.state) {
        case FixtureState::Testing:
            return card.startedAt;
        case FixtureState::Idle:
            return card.lastEndedAt.empty() ? card.lastSeenAt : card.lastEndedAt;
        case FixtureState::NotSeen:
            break;
    }
    return card.lastSeenAt;
}

// "Idle for 12 min, since 10:31 UTC+1": how long, counting on in the page,
// and from when.
std::string StateLine(const FixtureCard& card, const std::string& now) {
    const std::string& since = ElapsedSince(card);
    const std::optional<std::int64_t> ms = MillisecondsBetween(since, now);
    std::string line = StateText(card.state);
    if (!ms) {
        return line;
    }
    return line.append(" for <span class=\"elapsed\"")
        .append(Attribute("data-since", since))
        .append(">")
        .append(ElapsedText(*ms))
        .append("</span>, since ")
        .append(TimeElement(since, TimeForm::Clock));
}

// "test 3 of 5" while the fixture's newest run goes on (or stopped being
// heard of); nothing once it has ended.
std::string Progress(const FixtureCard& card) {
    std::string text;
    if (card.state != FixtureState::Idle && card.testsBegun > 0) {
        text = "test " + std::to_string(card.testsBegun);
        if (card.testsInPlan > 0) {
            text += " of " + std::to_string(card.testsInPlan);
        }
    }
    return "<span class=\"progress\">" + HtmlEscaped(text) + "</span>";
}

std::string SerialOf(const std::string& serial) {
    if (serial.empty()) {
        return "<span class=\"serial\">-</span>";
    }
    return std::string("<a href=\"")
        .append(HtmlEscaped(UnitUrl(serial)))
        .append("\"><span class=\"serial\">")
        .append(HtmlEscaped(serial))
        .append("</span></a>");
}

// The verdict of the last run that ended, or how it ended without one.
std::string LastVerdict(const FixtureCard& card) {
    const std::string& word = !card.lastVerdict.empty()    ? card.lastVerdict
                              : !card.lastEndedHow.empty() ? card.lastEndedHow
                                                           : std::string("-");
    return std::string("<span class=\"last-verdict verdict-")
        .append(HtmlEscaped(card.lastVerdict))
        .append("\">")
        .append(HtmlEscaped(word))
        .append("</span>");
}

// "host / fixture", or the host of a station without fixtures.
std::string FixtureTitle(const std::string& host, const std::string& fixture) {
    return fixture.empty() ? host : std::string(host).append(" / ").append(fixture);
}

std::string Card(const FixtureCard& card, const std::string& now) {
    const std::string title = FixtureTitle(card.host, card.fixture);
    std::string html = std::string("<article class=\"card\"")
                           .append(Attribute("data-host", card.host))
                           .append(Attribute("data-fixture", card.fixture))
                           .append(" data-state=\"")
                           .append(FixtureStateWord(card.state))
                           .append("\"><h3>")
                           .append(HtmlEscaped(title))
                           .append("</h3><p class=\"state\">")
                           .append(StateLine(card, now))
                           .append("</p><p>")
                           .append(SerialOf(card.serial));
    if (!card.model.empty()) {
        html.append(" ").append(ModelLink(card.model));
    }
    html.append("</p><p>").append(Progress(card)).append("</p><p class=\"last\">Last: ");
    html.append(LastVerdict(card));
    if (!card.lastSerial.empty()) {
        html.append(" <span class=\"last-serial\">").append(HtmlEscaped(card.lastSerial));
        html.append("</span>");
    }
    return html.append("</p></article>");
}

std::string Fixtures(const LineView& view) {
    std::string html = "<h2>Stations</h2><section id=\"fixtures\">";
    for (const FixtureCard& card : view.fixtures) {
        html += Card(card, view.moment.now);
    }
    html += "</section>";
    if (view.fixtures.empty()) {
        html += "<p class=\"note\">No station has recorded a run lately.</p>";
    }
    return html;
}

std::string YieldLine(const YieldRow& row) {
    return std::string("<tr><td>")
        .append(ModelLink(row.group))
        .append("</td>")
        .append(Cell(std::to_string(row.units), "num"))
        .append(Cell(std::to_string(row.judgedUnits), "num"))
        .append(Cell(Percent(row.firstPass, row.judgedUnits), "num first-pass"))
        .append(Cell(Percent(row.finalPass, row.judgedUnits), "num final"))
        .append(Cell(std::to_string(row.stillFailing), "num"))
        .append(Cell(std::to_string(row.retests), "num"))
        .append(Cell(std::to_string(row.lostRuns), "num"))
        .append("</tr>");
}

std::string YieldToday(const LineView& view) {
    std::string html =
        "<h2>Yield today</h2><table id=\"yield-today\"><thead><tr><th>Model</th><th>Units</th>"
        "<th>Judged</th><th>First pass</th><th>Final</th><th>Still failing</th><th>Retests</th>"
        "<th>Runs lost</th></tr></thead><tbody>";
    for (const YieldRow& row : view.yieldToday) {
        html += YieldLine(row);
    }
    html += "</tbody></table>";
    if (view.yieldToday.empty()) {
        html += "<p class=\"note\">No unit has been tested today.</p>";
    }
    return html;
}

std::string ParetoTable(const std::vector<FailureReason>& reasons) {
    std::int64_t total = 0;
    for (const FailureReason& reason : reasons) {
        total += reason.runs;
    }
    std::string html =
        "<table><thead><tr><th>#</th><th>Reason</th><th>Runs</th><th>Cumulative</th></tr>"
        "</thead><tbody>";
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        sum += reasons[i].runs;
        html.append("<tr>")
            .append(Cell(std::to_string(i + 1), "num"))
            .append(Cell(reasons[i].reason))
            .append(Cell(std::to_string(reasons[i].runs), "num"))
            .append(Cell(Percent(sum, total), "num"))
            .append("</tr>");
    }
    return html + "</tbody></table>";
}

std::string Pareto(const LineView& view) {
    std::string html = "<h2>Why units failed today</h2><section id=\"pareto\">";
    if (view.pareto.empty()) {
        return html + "<p class=\"note\">No unit failed today.</p></section>";
    }
    return html.append(ParetoSvg(view.pareto))
        .append(ParetoTable(view.pareto))
        .append("</section>");
}

std::string AlarmLine(const OpenAlarm& alarm) {
    return std::string("<tr><td>")
        .append(ModelLink(alarm.model))
        .append("</td>")
        .append(Cell(alarm.series))
        .append(Cell(AlarmStationText(alarm), "station"))
        .append(Cell(std::to_string(alarm.rule) + ", " + alarm.side, "num"))
        .append("<td>")
        .append(Link(RunUrl(alarm.runUuid), alarm.serial))
        .append(" ")
        .append(TimeElement(alarm.raisedAt))
        .append("</td><td>")
        .append(alarm.newestSerial.empty() ? std::string("-")
                                           : Link(UnitUrl(alarm.newestSerial), alarm.newestSerial))
        .append(" <span class=\"breaks\">")
        .append(HtmlEscaped(alarm.newestBreaks))
        .append("</span></td>")
        .append(Cell(alarm.text))
        .append(Cell(std::to_string(alarm.alarmsLately), "num"))
        .append("</tr>");
}

std::string OpenAlarms(const LineView& view) {
    std::string html =
        "<h2>Open drift alarms</h2><table id=\"open-alarms\"><thead><tr><th>Model</th>"
        "<th>Series</th><th>Station</th><th>Rule, side</th><th>Raised by</th><th>Newest unit</th>"
        "<th>What the station said</th><th>Alarms in 7 days</th></tr></thead><tbody>";
    for (const OpenAlarm& alarm : view.alarms) {
        html += AlarmLine(alarm);
    }
    html += "</tbody></table>";
    if (view.alarms.empty()) {
        html += "<p class=\"note\">No drift alarm is open.</p>";
    }
    return html;
}

}  // namespace

const char* FixtureStateWord(FixtureState state) {
    switch (state) {
        case FixtureState::Testing:
            return "testing";
        case FixtureState::Idle:
            return "idle";
        case FixtureState::NotSeen:
            return "not-seen";
    }
    return "";
}

std::string LinePageMain(const LineView& view) {
    return std::string("<p class=\"note as-of\"")
        .append(Attribute("data-now", view.moment.now))
        .append(">As of ")
        .append(TimeElement(view.moment.now))
        .append("; today began ")
        .append(TimeElement(view.moment.todayStart))
        .append(".</p>")
        .append(Fixtures(view))
        .append(YieldToday(view))
        .append(Pareto(view))
        .append(OpenAlarms(view));
}

std::string NothingRecordedMain() {
    return std::string("<p class=\"note nothing\">").append(kNoRunRecorded).append("</p>");
}

bool SameLinePage(const LineView& shown, const LineView& fresh) {
    LineView atOneMoment = fresh;
    atOneMoment.moment = shown.moment;
    return LinePageMain(shown) == LinePageMain(atOneMoment);
}

}  // namespace orvalt
