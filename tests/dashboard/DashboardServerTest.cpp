// The dashboard served in-process on 127.0.0.1 over a SQLite file of runs
// recorded here, fetched as a browser would: every route's answer, the
// requests it refuses, random requests, the run's report, the live event
// stream, and its start and stop.

#include <gtest/gtest.h>
#include <httplib.h>

#include <random>
#include <sstream>
#include <thread>

#include "DashboardRuns.h"
#include "EventListener.h"
#include "HtmlShape.h"
#include "dashboard/DashboardExit.h"
#include "dashboard/DashboardServer.h"
#include "dashboard/LineClock.h"
#include "domain/DatabaseUrl.h"
#include "output/HtmlParts.h"
#include "output/RunReport.h"
#include "platform/UtcTime.h"
#include "reading/RunLoad.h"
#include "recording/EventRows.h"
#include "recording/RecordStore.h"
#include "spc/OpenAlarms.h"
#include "support/ChildProcess.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

class DashboardServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto opened = OpenRecordDatabase(path_);
        ASSERT_TRUE(opened.Ok()) << opened.Error();
        db_ = std::move(opened).Value();
        std::vector<double> values;
        for (int i = 0; i < 30; ++i) {
            values.push_back(0.5 + 0.01 * (i % 3));
        }
        ASSERT_TRUE(RecordFigureHistory(*db_, "X100", 0, "TimeToOffA", values));
        AddRun(*db_, {"run-f1", "bench-3", "F1", "SN-7", "X100"});
        AddRun(*db_, {"run-f2", "bench-3", "F2", "SN-8", "X100", "FAIL", false});
    }

    void TearDown() override { StopServer(); }

    void StartServer(std::chrono::minutes notSeenAfter = std::chrono::minutes(10),
                     AlarmJudging alarmJudging = {}) {
        DashboardSettings settings;
        settings.notSeenAfter = notSeenAfter;
        settings.alarmJudging = alarmJudging;
        settings.database = path_;
        settings.port = 0;
        settings.poll = std::chrono::milliseconds(100);
        server_ = std::make_unique<DashboardServer>(settings, log_);
        ASSERT_EQ(server_->Start(), 0);
        client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->Port());
        client_->set_read_timeout(10, 0);
    }

    // The log is read once the server has stopped: its threads write it.
    std::string StopServer() {
        if (server_) {
            server_->Stop();
            server_.reset();
        }
        return logText_.str();
    }

    httplib::Result Get(const std::string& target) { return client_->Get(target.c_str()); }

    TempFolder folder_;
    std::string path_ = (folder_ / "results.sqlite").string();
    std::unique_ptr<SqlConnection> db_;
    std::ostringstream logText_;
    DashboardLog log_{logText_};
    std::unique_ptr<DashboardServer> server_;
    std::unique_ptr<httplib::Client> client_;
};

TEST_F(DashboardServerTest, TheLinePageIsServedWholeOrAsItsMainPartWithTheSafetyHeaders) {
    StartServer();
    const auto page = Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Content-Security-Policy"),
              "default-src 'none'; img-src 'self' data:; style-src 'unsafe-inline'; "
              "script-src 'self'; connect-src 'self'");
    EXPECT_EQ(page->get_header_value("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(page->get_header_value("Cache-Control"), "no-store");
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    const std::string generation = AttributeValue(page->body, "data-generation");
    EXPECT_NE(generation, "");
    EXPECT_NE(page->body.find("<main id=\"page\">"), std::string::npos);
    EXPECT_NE(page->body.find("data-host=\"bench-3\" data-fixture=\"F1\""), std::string::npos);
    EXPECT_NE(page->body.find("<table id=\"yield-today\">"), std::string::npos);
    EXPECT_NE(page->body.find(ShownDatabase(path_)), std::string::npos);

    const auto part = Get("/?part=main");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 200);
    EXPECT_EQ(part->get_header_value("X-Generation"), generation);
    EXPECT_EQ(part->body.find("<main"), std::string::npos);
    EXPECT_NE(page->body.find(part->body.substr(0, 200)), std::string::npos);

    const auto head = client_->Head("/");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->body, "");
}

TEST_F(DashboardServerTest, UnitModelAndModelsPagesTheScriptAndHealth) {
    StartServer();
    const auto unit = Get("/unit?serial=SN-7");
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->status, 200);
    EXPECT_EQ(CountOf(unit->body, "href=\"/run/run-f1\""), 1u);
    EXPECT_NE(unit->body.find("<td>F1</td>"), std::string::npos);  // its fixture
    EXPECT_EQ(AttributeValue(unit->body, "value"), "SN-7");        // kept in the search box
    EXPECT_NE(Get("/unit")->body.find("Type a serial number"), std::string::npos);
    EXPECT_NE(Get("/unit?serial=nobody")->body.find("No run of this unit is recorded."),
              std::string::npos);

    const auto models = Get("/models");
    ASSERT_TRUE(models);
    EXPECT_EQ(models->status, 200);
    EXPECT_NE(models->body.find("href=\"/model?name=X100\""), std::string::npos);
    const auto model = Get("/model?name=X100&last=20");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->status, 200);
    EXPECT_NE(model->body.find("<table class=\"capability\">"), std::string::npos);
    EXPECT_NE(model->body.find("<th>Ppk</th><th>Out of limits</th>"), std::string::npos);
    EXPECT_NE(model->body.find("the newest 20 runs"), std::string::npos);
    EXPECT_NE(model->body.find("<svg class=\"individuals\""), std::string::npos);
    EXPECT_EQ(Get("/model?name=Z9")->status, 404);

    const auto script = Get("/dashboard.js");
    ASSERT_TRUE(script);
    EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
    EXPECT_NE(script->body.find("new EventSource(\"/events\")"), std::string::npos);
    const auto health = Get("/health");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->body, "ok " + AttributeValue(Get("/")->body, "data-generation") + "\n");
}

TEST_F(DashboardServerTest, TheRunPageIsTheReportOrvaltCliWrites) {
    StartServer();
    const auto page = Get("/run/run-f1");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    const Result<std::optional<LoadedRun>> run = LoadRun(*db_, "run-f1");
    ASSERT_TRUE(run && *run);
    EXPECT_EQ(page->body, RunReportHtml(**run));
    EXPECT_EQ(Get("/run/no-such-run")->status, 404);
}

// Each request that is wrong for its own sake gets its 4xx and a short plain
// reason; the server goes on.
TEST_F(DashboardServerTest, WrongRequestsAreAnswered4xxWithAPlainReason) {
    StartServer();
    const std::pair<std::string, int> gets[] = {{"/nope", 404},
                                                {"/run/", 400},
                                                {"/run/a/b", 404},
                                                {"/?x=1", 400},
                                                {"/?part=header", 400},
                                                {"/unit?serial=a&serial=b", 400},
                                                {"/unit?serial=" + std::string(257, 'x'), 400},
                                                {"/model", 400},
                                                {"/model?name=X100&last=0", 400},
                                                {"/model?name=X100&last=100001", 400},
                                                {"/models?name=X100", 400},
                                                {"/health?x", 400},
                                                {"/events?x=1", 400},
                                                {"/dashboard.js?v=2", 400},
                                                {"/run/run-f1?part=main", 400}};
    for (const auto& [target, status] : gets) {
        const auto answer = Get(target);
        ASSERT_TRUE(answer) << target;
        EXPECT_EQ(answer->status, status) << target;
        EXPECT_EQ(answer->get_header_value("Content-Type"), "text/plain; charset=utf-8") << target;
        EXPECT_FALSE(answer->body.empty()) << target;
    }
    for (const auto& answer : {client_->Post("/", "x", "text/plain"), client_->Put("/unit"),
                               client_->Delete("/run/run-f1"), client_->Options("/")}) {
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, 405);
        EXPECT_EQ(answer->get_header_value("Allow"), "GET, HEAD");
    }
    EXPECT_EQ(Get("/health")->status, 200);
}

// Requests made of random paths, parameters and bytes, seeded so that a
// failure repeats: none is answered 5xx, and the server still answers after.
TEST_F(DashboardServerTest, RandomRequestsNeverGetA5xxNorStopTheServer) {
    StartServer();
    std::mt19937 random(20261207);
    const std::vector<std::string> paths = {
        "/",           "/unit",        "/model",  "/models",       "/run/",
        "/run/run-f1", "/events?junk", "/health", "/dashboard.js", "//",
        "/%2e%2e/",    "/run/%00",     "/unit/",  "/%FF",          "/model?"};
    const std::vector<std::string> names = {"serial", "name", "last", "part", "x", "", "%00"};
    const auto randomText = [&random](std::size_t most) {
        static const std::string kBytes = "aZ09-_.~%+&=;/?#[]@!$'()*,<>\"\\ \t";
        std::string text;
        const std::size_t size = random() % (most + 1);
        for (std::size_t i = 0; i < size; ++i) {
            const bool raw = random() % 8 == 0;
            text += raw ? static_cast<char>(random() % 256) : kBytes[random() % kBytes.size()];
        }
        return text;
    };
    for (int i = 0; i < 300; ++i) {
        std::string target = paths[random() % paths.size()];
        if (random() % 3 == 0) {
            target += randomText(12);
        }
        const int parameters = static_cast<int>(random() % 4);
        for (int p = 0; p < parameters; ++p) {
            target += (target.find('?') == std::string::npos ? "?" : "&") +
                      names[random() % names.size()] + "=" +
                      PercentEncoded(randomText(random() % 2 ? 20 : 300));
        }
        const bool head = random() % 4 == 0;
        const auto answer = head ? client_->Head(target.c_str()) : Get(target);
        if (target.starts_with("/events") && answer && answer->status == 200) {
            continue;  // a stream that opened; it ended with the read timeout
        }
        ASSERT_TRUE(answer) << target << ": " << httplib::to_string(answer.error());
        EXPECT_LT(answer->status, 500) << target;
    }
    EXPECT_EQ(Get("/health")->status, 200);
}

// What an open page's stream hears: at once the generation it is at, then a
// `change` once a run is recorded on another connection.
TEST_F(DashboardServerTest, AnEventStreamHearsARunRecordedOnAnotherConnection) {
    StartServer();
    EventListener page(server_->Port());
    ASSERT_TRUE(page.WaitFor("retry: 1000\n\nevent: change\ndata: ")) << page.Received();
    ASSERT_TRUE(page.WaitFor("\n\n", 13));
    const std::string first = page.Received();
    const std::uint64_t generation = std::stoull(first.substr(first.find("data: ") + 6));
    AddRun(*db_, {"run-new", "bench-4", "", "SN-9", "X100"});
    EXPECT_TRUE(page.WaitFor("event: change\ndata: " + std::to_string(generation + 1) + "\n\n"))
        << page.Received();
    StopServer();
    EXPECT_TRUE(page.WaitForEnd());  // the server's stop ends it
}

// Nothing reaches the records when a station goes quiet mid-run: the line is
// read again at the moment the fixture turns, well before the half-minute
// reread.
TEST_F(DashboardServerTest, AFixtureTestingTurnsNotSeenWithNothingRecorded) {
    RunPlan quiet{"run-quiet", "bench-9", "", "SN-Q", "X100", "PASS", false};
    quiet.ago = std::chrono::seconds(55);
    AddRun(*db_, quiet);
    StartServer(std::chrono::minutes(1));
    EventListener page(server_->Port());
    ASSERT_TRUE(page.WaitFor("event: change\ndata: ")) << page.Received();
    // The fixture's other open run (F2, a minute old) may turn in the same
    // millisecond the dashboard first reads the line: a change of its own.
    const std::string notSeen = "data-host=\"bench-9\" data-fixture=\"\" data-state=\"not-seen\"";
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::string line;
    for (std::size_t heard = page.Received().size();
         line.find(notSeen) == std::string::npos && std::chrono::steady_clock::now() < until &&
         page.WaitFor("event: change\ndata: ", heard, std::chrono::seconds(20));
         heard = page.Received().size()) {
        line = Get("/")->body;
    }
    EXPECT_NE(line.find(notSeen), std::string::npos);
}

// A model's units that end its alarm land while the dashboard holds back
// judging it again; nothing is recorded after them, and the alarm leaves the
// page when the held-back judgement is due, not at the half-minute reread.
TEST_F(DashboardServerTest, AnAlarmThatNoLongerHoldsLeavesThePageWithNothingMoreRecorded) {
    std::vector<double> values;
    for (int i = 0; i < 25; ++i) {
        values.push_back(0.50 + 0.01 * (i % 3));
    }
    values.insert(values.end(), 5, 0.60);
    ASSERT_TRUE(RecordFigureHistory(*db_, "D9", 0, "TimeToOffA", values));
    const std::string raisedAt = UtcIsoTime(std::chrono::system_clock::now());
    std::vector<RowWrite> rows;
    AppendEventRows(
        AlarmRaised{"history-D9-29", {0, "TimeToOffA", 1, "above", "Drift: D9", raisedAt}}, rows);
    ASSERT_TRUE(WriteRows(*db_, rows).Ok());
    const auto alarmShown = [&] {
        return Get("/")->body.find("href=\"/run/history-D9-29\"") != std::string::npos;
    };
    StartServer(std::chrono::minutes(10), {.movedEvery = std::chrono::seconds(3)});
    ASSERT_TRUE(alarmShown()) << Get("/")->body;

    const std::string since = UtcIsoTime(std::chrono::system_clock::now() - kAlarmsLookBack);
    std::size_t unit = values.size();
    for (; unit < values.size() + 12; ++unit) {
        ASSERT_TRUE(RecordFigureHistory(*db_, "D9", 0, "TimeToOffA", {0.50}, unit));
        const auto open = LoadOpenAlarms(*db_, since);
        ASSERT_TRUE(open.Ok()) << open.Error();
        if (open->empty()) {
            break;
        }
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (alarmShown() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_FALSE(alarmShown()) << "after " << unit - values.size() << " units back on centre";
}

TEST_F(DashboardServerTest, RecordTextsStayTextOnEveryPage) {
    const std::string script = "<script>alert(1)</script>",
                      image = "\"><img src=x onerror=alert(1)>";
    AddRun(*db_, {"run-hostile", image, script, script, image});
    StartServer();
    for (const std::string& target :
         std::vector<std::string>{"/", "/unit?serial=" + PercentEncoded(script), "/models",
                                  "/model?name=" + PercentEncoded(image), "/run/run-hostile"}) {
        const auto page = Get(target);
        ASSERT_TRUE(page) << target;
        EXPECT_EQ(page->body.find("<script>alert"), std::string::npos) << target;
        EXPECT_EQ(page->body.find("<img src=x"), std::string::npos) << target;
    }
    const std::string line = Get("/")->body;
    EXPECT_NE(line.find("data-host=\"&quot;&gt;&lt;img src=x onerror=alert(1)&gt;\""),
              std::string::npos);
    EXPECT_NE(Get("/unit?serial=" + PercentEncoded(script))
                  ->body.find("&lt;script&gt;alert(1)&lt;/script&gt;"),
              std::string::npos);
}

TEST_F(DashboardServerTest, StopEndsTheOpenStreamsAndJoinsEveryThread) {
    StartServer();
    std::vector<std::unique_ptr<EventListener>> pages;
    for (int i = 0; i < 3; ++i) {
        pages.push_back(std::make_unique<EventListener>(server_->Port()));
        ASSERT_TRUE(pages.back()->WaitFor("event: change"))
            << "page " << i << ": " << pages.back()->Received() << "\nlog: " << logText_.str();
    }
    const std::string log = StopServer();
    for (const auto& page : pages) {
        EXPECT_TRUE(page->WaitForEnd()) << page->Received() << "\nlog: " << log;
    }
    EXPECT_NE(log.find("orvalt-dashboard: serving " + path_ + " on http://127.0.0.1:"),
              std::string::npos)
        << log;
}

TEST(DashboardStart, NothingRecordedYetIsAPageThatFillsOnceARunIs) {
    TempFolder folder;
    const std::string path = (folder / "later.sqlite").string();
    std::ostringstream logText;
    DashboardLog log(logText);
    DashboardSettings settings;
    settings.database = path;
    settings.port = 0;
    settings.poll = std::chrono::milliseconds(50);
    DashboardServer server(settings, log);
    ASSERT_EQ(server.Start(), 0);
    httplib::Client client("127.0.0.1", server.Port());
    EXPECT_NE(client.Get("/")->body.find("No run has been recorded yet."), std::string::npos);
    EXPECT_NE(client.Get("/unit?serial=SN-1")->body.find("No run has been recorded yet."),
              std::string::npos);
    EXPECT_EQ(client.Get("/run/x")->status, 404);
    {
        auto db = OpenRecordDatabase(path);
        ASSERT_TRUE(db.Ok()) << db.Error();
        AddRun(**db, {"first", "bench-1", "", "SN-1", "X100"});
    }
    std::string line;
    for (int poll = 0; poll < 400 && line.find("data-host=\"bench-1\"") == std::string::npos;
         ++poll) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        line = client.Get("/")->body;
    }
    EXPECT_NE(line.find("data-host=\"bench-1\""), std::string::npos) << line;
    server.Stop();
}

TEST(DashboardStart, AnUnreadableDatabaseAndATakenAddressEachHaveTheirStatus) {
    TempFolder folder;
    std::ostringstream logText;
    DashboardLog log(logText);
    DashboardSettings away;
    away.database = "postgresql://viewer:hunter2@/orvalt?host=" + (folder / "no-server").string();
    away.port = 0;
    EXPECT_EQ(DashboardServer(away, log).Start(), kDashboardUnreadable);
    EXPECT_NE(logText.str().find("the results database " + ShownDatabase(away.database) +
                                 " can't be read"),
              std::string::npos)
        << logText.str();
    EXPECT_EQ(logText.str().find("hunter2"), std::string::npos);

    DashboardSettings first;
    first.database = (folder / "r.sqlite").string();
    first.port = 0;
    DashboardServer serving(first, log);
    ASSERT_EQ(serving.Start(), 0);
    DashboardSettings second = first;
    second.port = serving.Port();
    EXPECT_EQ(DashboardServer(second, log).Start(), kDashboardNoListen);
    serving.Stop();
    EXPECT_NE(
        logText.str().find("can't listen on http://127.0.0.1:" + std::to_string(second.port) + "/"),
        std::string::npos)
        << logText.str();
}

}  // namespace
}  // namespace orvalt::test
