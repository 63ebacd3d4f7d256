// Every time the line page shows says its zone, and every duration reads as
// one: the page in headless Chromium, in a viewer's zone that is not UTC and
// not a whole hour away from it, read back as a person would read it.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <regex>

#include "DashboardChild.h"
#include "DashboardRuns.h"
#include "platform/UtcTime.h"
#include "recording/RecordStore.h"
#include "support/ChromiumPage.h"
#include "support/HeadlessChromium.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

using namespace std::chrono_literals;

// India keeps UTC+5:30 all year round.
constexpr const char* kViewerZone = "Asia/Kolkata";
constexpr int kViewerEastMinutes = 5 * 60 + 30;

std::string Text(ChromiumPage& page, const std::string& selector) {
    const Result<nlohmann::json> value =
        page.Evaluate("(function () { var e = document.querySelector(\"" + selector +
                      "\"); return e ? e.textContent : null; })()");
    return value && value->is_string() ? value->get<std::string>() : std::string("(none)");
}

// The minute of the day a UTC ISO time falls on in the viewer's zone.
int ViewerMinuteOfDay(const std::string& iso) {
    const int utc = std::stoi(iso.substr(11, 2)) * 60 + std::stoi(iso.substr(14, 2));
    return (utc + kViewerEastMinutes) % (24 * 60);
}

// "since 04:31 PM UTC+5:30" or "since 16:31 UTC+5:30": the clock read back
// as a minute of the day, hours taken modulo 12 since the locale may write
// either.
int ShownMinuteOnTwelveHours(const std::string& hours, const std::string& minutes) {
    return (std::stoi(hours) % 12) * 60 + std::stoi(minutes);
}

TEST(ZonedTimes, TheLinePageSaysEachTimesZoneAndEachDurationInWords) {
    TempFolder folder;
    const std::string database = (folder / "results.sqlite").string();
    {
        auto db = OpenRecordDatabase(database);
        ASSERT_TRUE(db.Ok()) << db.Error();
        AddRun(**db, {"run-idle", "bench-3", "F1", "SN-7", "X100", "PASS", true, 12min});
        AddRun(**db, {"run-testing", "bench-3", "F2", "SN-8", "X100", "PASS", false, 90s});
    }
    const std::string endedAt = UtcIsoTime(std::chrono::system_clock::now() - 12min);
    ::setenv("TZ", kViewerZone, 1);  // the browser takes its zone from here
    ChromiumPage page(Chromium());
    ::unsetenv("TZ");
    ORVALT_NEED_PAGE(page);
    DashboardChild dashboard;
    const int port = dashboard.Start({"--db", database, "--listen", "127.0.0.1:0"});
    ASSERT_GT(port, 0) << dashboard.Log();
    const Result<void> loaded = page.Navigate("http://127.0.0.1:" + std::to_string(port) + "/");
    ASSERT_TRUE(loaded) << loaded.Error();

    const std::string asOf = Text(page, "#page .as-of");
    EXPECT_TRUE(std::regex_match(
        asOf, std::regex("As of [^;]*[0-9M] UTC\\+5:30; today began [^;]*[0-9M] UTC\\+5:30\\.")))
        << asOf;
    // The server's own words stay at hand, in UTC.
    EXPECT_TRUE(std::regex_match(Text(page, "#page .as-of time") + "|" +
                                     page.Evaluate("document.querySelector('#page .as-of time')"
                                                   ".title")
                                         ->get<std::string>(),
                                 std::regex(".*UTC\\+5:30\\|\\d{4}-\\d\\d-\\d\\d "
                                            "\\d\\d:\\d\\d:\\d\\d UTC")));

    const std::regex stateLine(
        "(Idle|Testing) for (\\d+ min|\\d+ s), since (\\d\\d):(\\d\\d)"
        "( [AP]M)? UTC\\+5:30");
    std::smatch part;
    const std::string idle = Text(page, "#page article[data-fixture=F1] .state");
    ASSERT_TRUE(std::regex_match(idle, part, stateLine)) << idle;
    EXPECT_EQ(part[1], "Idle");
    EXPECT_TRUE(part[2] == "12 min" || part[2] == "11 min") << idle;
    const int shown = ShownMinuteOnTwelveHours(part[3], part[4]);
    const int expected = ViewerMinuteOfDay(endedAt);
    // The run ended a moment before `endedAt` was taken.
    EXPECT_TRUE(shown == expected % 720 || shown == (expected + 719) % 720)
        << idle << " " << endedAt;

    const std::string testing = Text(page, "#page article[data-fixture=F2] .state");
    ASSERT_TRUE(std::regex_match(testing, part, stateLine)) << testing;
    EXPECT_EQ(part[1], "Testing");
    EXPECT_EQ(part[2], "1 min") << testing;
    std::cout << "in " << kViewerZone << ": \"" << asOf << "\" \"" << idle << "\" \"" << testing
              << "\"" << std::endl;
}

}  // namespace
}  // namespace orvalt::test
