// The dashboard over a throw-away PostgreSQL server: the program itself, run
// as a child process, shows a password of its URL on no page, in no line of
// its log and not in its process title, and SIGTERM stops it with status 0;
// served in-process, it tells its pages when the server goes away and comes
// back, and its pages recover by themselves.

#include <gtest/gtest.h>
#include <httplib.h>

#include <sstream>

#include "DashboardChild.h"
#include "DashboardRuns.h"
#include "EventListener.h"
#include "dashboard/DashboardExit.h"
#include "dashboard/DashboardServer.h"
#include "domain/DatabaseUrl.h"
#include "recording/RecordStore.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

constexpr const char* kPassword = "s3cret-Pw";

// The cluster's URL with the password both ways libpq takes it.
std::string WithPassword(const std::string& url) {
    std::string secret = url;
    secret.replace(secret.find("orvalt@"), 7, std::string("orvalt:") + kPassword + "@");
    return secret + "&password=" + kPassword;
}

TEST(DashboardProgram, APasswordShowsOnNoPageNorInTheLogNorTheProcessTitle) {
    PgCluster cluster;
    ORVALT_NEED_CLUSTER(cluster);
    {
        auto db = OpenRecordDatabase(cluster.Url());
        ASSERT_TRUE(db.Ok()) << db.Error();
        AddRun(**db, {"run-1", "bench-3", "F1", "SN-7", "X100"});
    }
    const std::string secret = WithPassword(cluster.Url());
    ASSERT_TRUE(HoldsPassword(secret));
    // The cluster's owner may write: refused, unless allowed.
    DashboardChild dashboard;
    EXPECT_EQ(dashboard.Start({"--db", secret, "--listen", "127.0.0.1:0"}), 0);
    ASSERT_TRUE(dashboard.Ended());
    EXPECT_EQ(dashboard.Ended()->exitStatus, 9);
    const std::string refusal = dashboard.Log();
    EXPECT_NE(refusal.find("may write to the records (superuser)"), std::string::npos) << refusal;
    EXPECT_EQ(refusal.find(kPassword), std::string::npos) << refusal;
    const int port = dashboard.Start({"--db", secret, "--listen", "127.0.0.1:0", "--allow-writer"});
    ASSERT_GT(port, 0) << dashboard.Log();

    const std::string cmdline = ReadBytes("/proc/" + std::to_string(dashboard.Pid()) + "/cmdline");
    EXPECT_NE(cmdline.find("--db"), std::string::npos);
    EXPECT_EQ(cmdline.find(kPassword), std::string::npos) << cmdline;

    httplib::Client client("127.0.0.1", port);
    for (const char* target : {"/", "/?part=main", "/unit?serial=SN-7", "/unit?serial=none",
                               "/models", "/model?name=X100", "/model?name=Z9", "/run/run-1",
                               "/run/none", "/nope", "/model?name=X100&last=0", "/health"}) {
        const auto answer = client.Get(target);
        ASSERT_TRUE(answer) << target;
        EXPECT_LT(answer->status, 500) << target;
        EXPECT_EQ(answer->body.find(kPassword), std::string::npos) << target;
        for (const auto& [name, value] : answer->headers) {
            EXPECT_EQ(value.find(kPassword), std::string::npos) << target << " " << name;
        }
    }
    // The database is named on the pages, without its password.
    EXPECT_NE(client.Get("/")->body.find(ShownDatabase(secret)), std::string::npos);

    const ProgramEnd ended = dashboard.Stop();
    EXPECT_EQ(ended.exitStatus, 0) << "signal " << ended.signal;
    const std::string log = dashboard.Log();
    EXPECT_NE(log.find("orvalt-dashboard: serving " + ShownDatabase(secret) + " on "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("orvalt-dashboard: stopped\n"), std::string::npos) << log;
    EXPECT_EQ(log.find(kPassword), std::string::npos) << log;
}

TEST(DashboardOnPostgres, TheServerGoingAwayAndBackIsToldAndThePagesRecover) {
    PgCluster cluster;
    ORVALT_NEED_CLUSTER(cluster);
    {
        auto db = OpenRecordDatabase(cluster.Url());
        ASSERT_TRUE(db.Ok()) << db.Error();
        AddRun(**db, {"run-1", "bench-3", "F1", "SN-7", "X100"});
    }
    std::ostringstream logText;
    DashboardLog log(logText);
    DashboardSettings settings;
    settings.database = cluster.Url();
    settings.port = 0;
    settings.poll = std::chrono::milliseconds(100);
    settings.allowWriter = true;  // the cluster's owner
    DashboardServer server(settings, log);
    ASSERT_EQ(server.Start(), 0);
    httplib::Client client("127.0.0.1", server.Port());
    ASSERT_EQ(client.Get("/unit?serial=SN-7")->status, 200);  // a connection lies idle now
    EventListener page(server.Port());
    ASSERT_TRUE(page.WaitFor("event: change")) << page.Received();

    ASSERT_TRUE(cluster.Stop());
    ASSERT_TRUE(page.WaitFor("event: database\ndata: away\n\n")) << page.Received();
    const auto line = client.Get("/");
    EXPECT_EQ(line->status, 200);  // what it said last
    EXPECT_NE(line->body.find("<div id=\"database-away\">"), std::string::npos);
    EXPECT_NE(line->body.find("data-host=\"bench-3\""), std::string::npos);
    const auto unit = client.Get("/unit?serial=SN-7");
    EXPECT_EQ(unit->status, 503);
    EXPECT_NE(unit->body.find("The results database can't be read"), std::string::npos);

    const std::size_t away = page.Received().size();
    ASSERT_TRUE(cluster.Start());
    EXPECT_TRUE(page.WaitFor("event: database\ndata: back\n\n", away)) << page.Received();
    EXPECT_TRUE(page.WaitFor("event: change", away)) << page.Received();
    EXPECT_EQ(client.Get("/unit?serial=SN-7")->status, 200);
    // A restart between two pages: the connection that lay idle lost its
    // server, and the page is read on a new one.
    ASSERT_TRUE(cluster.Stop());
    ASSERT_TRUE(cluster.Start());
    EXPECT_EQ(client.Get("/run/run-1")->status, 200);
    server.Stop();
    EXPECT_NE(logText.str().find(" can't be read; the pages show what it said last: "),
              std::string::npos)
        << logText.str();
    EXPECT_NE(logText.str().find(" can be read again\n"), std::string::npos) << logText.str();
}

TEST(DashboardOnPostgres, ALoginThatMayWriteIsRefusedAndOneThatOnlyReadsServes) {
    PgCluster cluster;
    ORVALT_NEED_CLUSTER(cluster);
    {
        auto db = OpenRecordDatabase(cluster.Url());
        ASSERT_TRUE(db.Ok()) << db.Error();
        AddRun(**db, {"run-1", "bench-3", "F1", "SN-7", "X100"});
    }
    cluster.Query(
        "CREATE ROLE viewer LOGIN; GRANT SELECT ON ALL TABLES IN SCHEMA public TO viewer;"
        "CREATE ROLE clerk LOGIN; GRANT SELECT ON ALL TABLES IN SCHEMA public TO clerk;"
        "GRANT INSERT ON runs TO clerk;");
    std::ostringstream logText;
    DashboardLog log(logText);
    const auto start = [&](const std::string& user, bool allowWriter) {
        DashboardSettings settings;
        settings.database = cluster.Url(user);
        settings.port = 0;
        settings.allowWriter = allowWriter;
        DashboardServer server(settings, log);
        const int status = server.Start();
        server.Stop();
        return status;
    };
    EXPECT_EQ(start("clerk", false), kDashboardWriter);
    EXPECT_NE(logText.str().find("the login of " + ShownDatabase(cluster.Url("clerk")) +
                                 " may write to the records (INSERT on runs): serve with a "
                                 "login that can only read"),
              std::string::npos)
        << logText.str();
    EXPECT_EQ(start("clerk", true), 0);
    EXPECT_EQ(start("viewer", false), 0) << logText.str();
}

// Logins that were served as if they only read: one allowed to change a
// verdict, one that may SET ROLE to a writer it does not inherit from, and
// one that may grant itself any role. Each is refused, naming how it writes.
TEST(DashboardOnPostgres, AColumnWriterASetRoleWriterAndARoleMakerAreRefused) {
    PgCluster cluster;
    ORVALT_NEED_CLUSTER(cluster);
    {
        auto db = OpenRecordDatabase(cluster.Url());
        ASSERT_TRUE(db.Ok()) << db.Error();
        AddRun(**db, {"run-1", "bench-3", "F1", "SN-7", "X100"});
    }
    const std::string setUp = cluster.Query(
        "CREATE ROLE judge LOGIN; GRANT UPDATE (verdict) ON runs TO judge;"
        "CREATE ROLE writers; GRANT DELETE ON runs TO writers;"
        "CREATE ROLE member LOGIN NOINHERIT IN ROLE writers;"
        "CREATE ROLE maker LOGIN CREATEROLE;"
        "GRANT SELECT ON ALL TABLES IN SCHEMA public TO judge, member, maker;");
    ASSERT_EQ(setUp, "") << setUp;
    const std::pair<std::string, std::string> refusals[] = {
        {"judge", "(UPDATE (verdict) on runs)"},
        {"member", "(SET ROLE writers (DELETE on runs))"},
        {"maker", "(CREATEROLE)"}};
    for (const auto& [user, writes] : refusals) {
        std::ostringstream logText;
        DashboardLog log(logText);
        DashboardSettings settings;
        settings.database = cluster.Url(user);
        settings.port = 0;
        DashboardServer server(settings, log);
        EXPECT_EQ(server.Start(), kDashboardWriter) << user;
        server.Stop();
        EXPECT_NE(logText.str().find("the login of " + ShownDatabase(cluster.Url(user)) +
                                     " may write to the records " + writes + ": serve with"),
                  std::string::npos)
            << logText.str();
    }
}

}  // namespace
}  // namespace orvalt::test
