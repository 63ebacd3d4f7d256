// The line page drawn from views made here: a card per fixture in each state,
// today's yield, the Pareto of failure reasons and the open alarms, and any
// text from the records kept as text wherever it lands.

#include <gtest/gtest.h>

#include "HtmlShape.h"
#include "output/ElapsedText.h"
#include "output/LinePage.h"
#include "output/PageFrame.h"
#include "support/ChildProcess.h"

namespace orvalt::test {
namespace {

FixtureCard CardOf(const std::string& text, FixtureState state, const std::string& fixture) {
    FixtureCard card;
    card.host = "host " + text;
    card.fixture = fixture;
    card.state = state;
    card.runUuid = "run-" + fixture;
    card.serial = "serial " + text;
    card.model = "model " + text;
    card.startedAt = "2026-12-07T12:00:00.000Z";
    card.lastSeenAt = "2026-12-07T12:01:00.000Z";
    card.testsBegun = 3;
    card.testsInPlan = 5;
    card.lastSerial = "last " + text;
    card.lastEndedAt = "2026-12-07T11:59:30.000Z";
    card.lastEndedHow = "completed";
    card.lastVerdict = state == FixtureState::Idle ? "FAIL" : "PASS";
    if (state == FixtureState::Idle) {
        card.lastEndedAt = "2026-12-07T12:01:00.000Z";
    }
    return card;
}

// A line with a card in each state, yield, twelve failure reasons and an
// alarm, every text from the records made from `text`.
LineView SampleLine(const std::string& text) {
    LineView view;
    view.moment.now = "2026-12-07T12:04:12.000Z";
    view.moment.todayStart = "2026-12-06T23:00:00.000Z";
    view.fixtures = {CardOf(text, FixtureState::Testing, "F1 " + text),
                     CardOf(text, FixtureState::Idle, "F2"),
                     CardOf(text, FixtureState::NotSeen, "")};
    YieldRow row;
    row.group = "model " + text;
    row.units = 40;
    row.judgedUnits = 40;
    row.firstPass = 36;
    row.finalPass = 39;
    row.stillFailing = 1;
    row.retests = 4;
    view.yieldToday = {row};
    for (int i = 0; i < 12; ++i) {
        view.pareto.push_back({"reason " + std::to_string(i) + " " + text, 12 - i});
    }
    OpenAlarm alarm;
    alarm.model = "model " + text;
    alarm.series = "series " + text;
    alarm.rule = 4;
    alarm.side = "above";
    alarm.text = "Drift: " + text;
    alarm.raisedAt = "2026-12-07T10:00:00.000Z";
    alarm.serial = "raiser " + text;
    alarm.runUuid = "uuid " + text;
    alarm.alarmsLately = 3;
    alarm.newestSerial = "newest " + text;
    alarm.newestBreaks = "breaks " + text;
    view.alarms = {alarm};
    return view;
}

// Where the card in that state begins.
std::size_t CardAt(const std::string& html, const std::string& state) {
    const std::size_t at = html.find("data-state=\"" + state + "\"");
    return at == std::string::npos ? at : html.rfind("<article", at);
}

TEST(LinePage, EachFixtureIsACardWithItsStateSerialProgressAndElapsedTime) {
    const std::string html = LinePageMain(SampleLine("A"));
    ASSERT_EQ(CountOf(html, "<article class=\"card\""), 3u);
    const std::size_t testing = CardAt(html, "testing"), idle = CardAt(html, "idle"),
                      notSeen = CardAt(html, "not-seen");
    ASSERT_NE(testing, std::string::npos);
    ASSERT_NE(idle, std::string::npos);
    ASSERT_NE(notSeen, std::string::npos);
    EXPECT_EQ(AttributeValue(html, "data-host", testing), "host A");
    EXPECT_EQ(AttributeValue(html, "data-fixture", testing), "F1 A");
    // Testing: the run's serial, its progress and the time since it started.
    EXPECT_EQ(TextOf(html, "class=\"serial\"", testing), "serial A");
    EXPECT_EQ(TextOf(html, "class=\"progress\"", testing), "test 3 of 5");
    EXPECT_EQ(AttributeValue(html, "data-since", testing), "2026-12-07T12:00:00.000Z");
    EXPECT_EQ(TextOf(html, "class=\"elapsed\"", testing), "4 min");
    // A duration in words, then the moment it counts from with its zone.
    EXPECT_NE(
        html.find("<p class=\"state\">Testing for <span class=\"elapsed\" "
                  "data-since=\"2026-12-07T12:00:00.000Z\">4 min"
                  "</span>, since <time datetime=\"2026-12-07T12:00:00.000Z\" data-form=\"clock\">"
                  "2026-12-07 12:00:00 UTC</time></p>",
                  testing),
        std::string::npos);
    EXPECT_EQ(TextOf(html, "class=\"last-verdict", testing), "PASS");
    // Idle: no progress; the time since its last run ended, and that run's verdict.
    EXPECT_EQ(TextOf(html, "class=\"progress\"", idle), "");
    EXPECT_EQ(AttributeValue(html, "data-since", idle), "2026-12-07T12:01:00.000Z");
    EXPECT_EQ(TextOf(html, "class=\"elapsed\"", idle), "3 min");
    EXPECT_EQ(TextOf(html, "class=\"last-verdict", idle), "FAIL");
    // Not seen, its run never ended: still where it stopped, the time since
    // anything was heard of it.
    EXPECT_EQ(AttributeValue(html, "data-fixture", notSeen), "");
    EXPECT_EQ(TextOf(html, "class=\"progress\"", notSeen), "test 3 of 5");
    EXPECT_EQ(AttributeValue(html, "data-since", notSeen), "2026-12-07T12:01:00.000Z");
    // A serial leads to its unit, a model to its charts.
    EXPECT_NE(html.find("href=\"/unit?serial=serial%20A\""), std::string::npos);
    EXPECT_NE(html.find("href=\"/model?name=model%20A\""), std::string::npos);
}

TEST(LinePage, TodaysYieldParetoAndOpenAlarms) {
    const std::string html = LinePageMain(SampleLine("A"));
    const std::size_t yield = html.find("<table id=\"yield-today\"");
    ASSERT_NE(yield, std::string::npos);
    EXPECT_EQ(TextOf(html, "class=\"num first-pass\"", yield), "90.0 %");
    EXPECT_EQ(TextOf(html, "class=\"num final\"", yield), "97.5 %");
    // Nine reasons as bars, the three last as one "other reasons", each bar
    // labelled with its words cut to its slot and whole on hover, the
    // cumulative share ending at the top; every reason in the table.
    const std::size_t pareto = html.find("<section id=\"pareto\">");
    ASSERT_NE(pareto, std::string::npos);
    EXPECT_EQ(CountOf(html, "<rect class=\"bar\""), 10u);
    EXPECT_NE(html.find("<title>other reasons</title>other r\u2026</text>"), std::string::npos);
    EXPECT_NE(html.find("<title>reason 1 A</title>reason \u2026</text>"), std::string::npos);
    EXPECT_NE(html.find("<title>other reasons: 6</title>"), std::string::npos);
    EXPECT_NE(html.find("L564.8,12.0\"/>"), std::string::npos);  // the last bar's 100 %
    EXPECT_NE(html.find("<td>reason 11 A</td><td class=\"num\">1</td><td class=\"num\">100.0 %"),
              std::string::npos);
    const std::size_t alarms = html.find("<table id=\"open-alarms\"");
    ASSERT_NE(alarms, std::string::npos);
    EXPECT_EQ(CountOf(html.substr(alarms), "<tr>"), 2u);  // its header and the alarm
    EXPECT_NE(html.find("href=\"/run/uuid%20A\""), std::string::npos);
    EXPECT_NE(html.find("<td>Drift: A</td>"), std::string::npos);
}

TEST(LinePage, AQuietLineSaysWhatItHasNot) {
    LineView quiet;
    quiet.moment.now = "2026-12-07T12:00:00.000Z";
    const std::string html = LinePageMain(quiet);
    // The sections stay, for a page that fills them on the next change.
    for (const char* part : {"<section id=\"fixtures\">", "<table id=\"yield-today\">",
                             "<section id=\"pareto\">", "<table id=\"open-alarms\">"}) {
        EXPECT_NE(html.find(part), std::string::npos) << part;
    }
    EXPECT_NE(html.find("No station has recorded a run lately."), std::string::npos);
    EXPECT_NE(html.find("No unit failed today."), std::string::npos);
    EXPECT_NE(html.find("No drift alarm is open."), std::string::npos);
    EXPECT_NE(NothingRecordedMain().find("No run has been recorded yet."), std::string::npos);
}

// Texts that would close an element, open one, or leave an attribute keep
// the page's shape exactly, and read back as they were given.
TEST(LinePage, RecordTextsStayTextInElementsAndAttributes) {
    const std::vector<std::string> plain = HtmlShape(LinePageMain(SampleLine("plain")));
    ASSERT_GT(plain.size(), 100u);
    for (const std::string hostile :
         {"<script>alert(1)</script>", "\"><img src=x onerror=alert(1)>", "' onmouseover='x",
          "</main><main id=\"page\">", "&lt;b&gt; & \\x3c"}) {
        const std::string html = LinePageMain(SampleLine(hostile));
        EXPECT_EQ(HtmlShape(html), plain) << hostile;
        EXPECT_EQ(AttributeValue(html, "data-host"), "host " + hostile);
        EXPECT_EQ(AttributeValue(html, "data-fixture"), "F1 " + hostile);
        EXPECT_EQ(TextOf(html, "class=\"serial\""), "serial " + hostile);
        EXPECT_EQ(TextOf(html, "class=\"last-serial\""), "last " + hostile);
        EXPECT_EQ(TextOf(html, "class=\"breaks\""), "breaks " + hostile);
        EXPECT_EQ(html.find("<script"), std::string::npos);
        EXPECT_EQ(html.find("<img"), std::string::npos);
    }
}

TEST(LinePage, AViewReadAgainIsTheSamePageUnlessWhatItShowsChanged) {
    const LineView shown = SampleLine("A");
    LineView later = shown;
    later.moment.now = "2026-12-07T12:04:42.000Z";
    EXPECT_TRUE(SameLinePage(shown, later));
    later.fixtures[1].state = FixtureState::NotSeen;
    EXPECT_FALSE(SameLinePage(shown, later));
    LineView moreFailed = shown;
    moreFailed.pareto[0].runs += 1;
    EXPECT_FALSE(SameLinePage(shown, moreFailed));
}

TEST(PageFrame, HoldsTheGenerationTheBannersAndTheMainPart) {
    PageFrame frame{"Line <x>", "postgresql://viewer@db/orvalt", 42, false, "SN\"1", "", ""};
    const std::string html = FramedPage(frame, "<p>main part</p>");
    EXPECT_NE(html.find("<body data-generation=\"42\">"), std::string::npos);
    EXPECT_NE(html.find("<div id=\"connection\" hidden>Lost the connection to the dashboard; "
                        "trying again...</div>"),
              std::string::npos);
    EXPECT_NE(html.find("<div id=\"database-away\" hidden>"), std::string::npos);
    EXPECT_NE(html.find("<main id=\"page\"><p>main part</p></main>"), std::string::npos);
    EXPECT_NE(html.find("<script src=\"/dashboard.js\" defer></script>"), std::string::npos);
    EXPECT_EQ(AttributeValue(html, "value"), "SN\"1");
    EXPECT_NE(html.find("<title>Line &lt;x&gt; - Orvalt</title>"), std::string::npos);
    EXPECT_NE(html.find("<div id=\"database-replaced\" hidden>"), std::string::npos);
    frame.away = true;
    EXPECT_NE(FramedPage(frame, "").find("<div id=\"database-away\">"), std::string::npos);
    frame.replacedAt = "2026-12-09T10:31:05.250Z";
    EXPECT_NE(FramedPage(frame, "").find(
                  "<div id=\"database-replaced\">The results database was replaced at <time "
                  "datetime=\"2026-12-09T10:31:05.250Z\">2026-12-09 10:31:05 UTC</time>; the "
                  "pages show what stands at its path now.</div><main id=\"page\">"),
              std::string::npos);
}

TEST(ElapsedText, CountsSecondsThenMinutesThenHoursThenDaysInWords) {
    const std::pair<std::int64_t, const char*> cases[] = {{-5000, "0 s"},
                                                          {0, "0 s"},
                                                          {999, "0 s"},
                                                          {42000, "42 s"},
                                                          {59999, "59 s"},
                                                          {60000, "1 min"},
                                                          {252000, "4 min"},
                                                          {3599999, "59 min"},
                                                          {3600000, "1 h 00 min"},
                                                          {3723000, "1 h 02 min"},
                                                          {86399000, "23 h 59 min"},
                                                          {86400000, "1 d 0 h"},
                                                          {183600000, "2 d 3 h"}};
    for (const auto& [ms, text] : cases) {
        EXPECT_EQ(ElapsedText(ms), text) << ms;
    }
}

}  // namespace
}  // namespace orvalt::test
