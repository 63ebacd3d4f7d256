// orvalt-dashboard, the program itself in a child process on 127.0.0.1,
// against the clients a line network may hold: ranges that would multiply a
// page, a head without end, connections that send a byte at a time, pages
// that never read their answer, and heavy pages enough to hold every
// connection to the records. The memory figures are the child's own, from
// /proc; the bounds on time are generous, far from what a healthy server
// takes and far below what a starved one does.

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "DashboardChild.h"
#include "DashboardRuns.h"
#include "recording/RecordStore.h"
#include "support/PgCluster.h"
#include "support/ProcessFigures.h"
#include "support/RawHttp.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"
#include "support/TricklingClients.h"

namespace orvalt::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMb = 1024 * 1024;

std::string Get(const std::string& target, const std::string& more = "") {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + more + "\r\n";
}

RawAnswer Ask(int port, const std::string& request, std::size_t keep = 64 * 1024) {
    RawHttpConnection connection(port);
    EXPECT_TRUE(connection.Send(request));
    return connection.Read(60s, keep);
}

// Records a model's history worth charting, and a unit.
void RecordLine(SqlConnection& db) {
    std::vector<double> values;
    for (int i = 0; i < 200; ++i) {
        values.push_back(0.5 + 0.01 * (i % 7));
    }
    ASSERT_TRUE(RecordFigureHistory(db, "X100", 0, "TimeToOffA", values));
    AddRun(db, {"run-f1", "bench-3", "F1", "SN-7", "X100"});
}

class HostileClientsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto db = OpenRecordDatabase(path_);
        ASSERT_TRUE(db.Ok()) << db.Error();
        RecordLine(**db);
        port_ = dashboard_.Start({"--db", path_, "--listen", "127.0.0.1:0"});
        ASSERT_GT(port_, 0) << dashboard_.Log();
    }

    // Loads within `bound`, or says why not.
    ::testing::AssertionResult LoadsWithin(const std::string& target,
                                           std::chrono::seconds bound) const {
        httplib::Client client("127.0.0.1", port_);
        client.set_read_timeout(bound);
        client.set_write_timeout(bound);
        const auto start = Clock::now();
        const auto answer = client.Get(target.c_str());
        if (!answer) {
            return ::testing::AssertionFailure()
                   << target << ": " << httplib::to_string(answer.error());
        }
        if (answer->status != 200 || Clock::now() - start > bound) {
            return ::testing::AssertionFailure() << target << ": " << answer->status;
        }
        return ::testing::AssertionSuccess();
    }

    TempFolder folder_;
    std::string path_ = (folder_ / "results.sqlite").string();
    DashboardChild dashboard_;
    int port_ = 0;
};

// 1500 overlapping ranges would have the page built and sent 1500 times,
// and a cache would keep an 11-byte part of the line page as the page: the
// dashboard ignores Range, answers every page whole and says so.
TEST_F(HostileClientsTest, RangesAreIgnoredSoEveryPageIsSentWholeAndOnce) {
    const RawAnswer plain = Ask(port_, Get("/model?name=X100"));
    ASSERT_EQ(plain.status, 200);
    EXPECT_EQ(HeaderOf(plain.kept, "Accept-Ranges"), "none");
    std::string ranges = "Range: bytes=0-";
    for (int i = 1; i < 1500; ++i) {
        ranges += ",0-";
    }
    const std::string attack = Get("/model?name=X100", ranges + "\r\n");
    const ResidentMemory before = ResidentMemoryOf(dashboard_.Pid());
    std::vector<RawAnswer> answers(3);
    {
        std::vector<std::jthread> attackers;
        for (RawAnswer& answer : answers) {
            attackers.emplace_back([&] { answer = Ask(port_, attack, 4096); });
        }
    }
    for (const RawAnswer& answer : answers) {
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(HeaderOf(answer.kept, "Content-Range"), "");
        EXPECT_LT(answer.bytes, plain.bytes + 1024) << "the page is " << plain.bytes << " bytes";
    }
    const ResidentMemory after = ResidentMemoryOf(dashboard_.Pid());
    EXPECT_LT(after.peakBytes, before.nowBytes + 32 * kMb)
        << "from " << before.nowBytes / kMb << " MB";

    const RawAnswer line = Ask(port_, Get("/"));
    const RawAnswer part = Ask(port_, Get("/", "Range: bytes=0-10\r\nIf-Range: x\r\n"));
    EXPECT_EQ(part.status, 200);
    EXPECT_EQ(HeaderOf(part.kept, "Content-Range"), "");
    EXPECT_EQ(HeaderOf(part.kept, "Content-Length"), HeaderOf(line.kept, "Content-Length"));
}

// httplib keeps a name given twice with one value once: the pages see every
// one, and refuse a repeated name whatever its values.
TEST_F(HostileClientsTest, AParameterGivenTwiceIsRefusedWhateverItsValues) {
    for (const char* target : {"/?part=main&part=main", "/unit?serial=SN-7&serial=SN-7",
                               "/model?name=X100&name=X100", "/unit?serial=SN-7&serial=SN-8"}) {
        const RawAnswer answer = Ask(port_, Get(target));
        EXPECT_EQ(answer.status, 400) << target;
        EXPECT_NE(answer.kept.find("is given more than once"), std::string::npos) << target;
    }
    EXPECT_EQ(Ask(port_, Get("/?part=main")).status, 200);
}

// A head of 100 000 lines of 1 KB is refused once it passes its limit: the
// dashboard stops taking it and holds none of it.
TEST_F(HostileClientsTest, AHeadWithoutEndIsRefusedAtItsLimit) {
    const ResidentMemory before = ResidentMemoryOf(dashboard_.Pid());
    RawHttpConnection connection(port_);
    ASSERT_TRUE(connection.Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
    const std::string line = "X-Filler: " + std::string(1012, 'a') + "\r\n";
    std::size_t taken = 0;
    for (int i = 0; i < 100000 && connection.Send(line, 5s); ++i) {
        taken += line.size();
    }
    // What the two sockets' buffers hold, and what is read and dropped
    // after the refusal, at most.
    EXPECT_LT(taken, 16 * kMb);
    const RawAnswer answer = connection.Read(10s, 4096);
    EXPECT_TRUE(answer.status == 431 || answer.ended) << answer.kept;
    EXPECT_LT(ResidentMemoryOf(dashboard_.Pid()).peakBytes, before.nowBytes + 16 * kMb);
    EXPECT_TRUE(LoadsWithin("/health", 10s));
}

// Slow connections wait in the front, which reads them all on one thread:
// the pages' threads stay free, also with every event stream taken.
TEST_F(HostileClientsTest, PagesLoadWhileSlowConnectionsTrickleTheirRequests) {
    {
        const TricklingClients slow(port_, 150, 3s);
        ASSERT_EQ(slow.Open(), 150u);
        std::this_thread::sleep_for(1s);
        EXPECT_TRUE(LoadsWithin("/", 10s));
        EXPECT_TRUE(LoadsWithin("/health", 10s));
    }
    std::vector<std::unique_ptr<RawHttpConnection>> streams;
    for (int i = 0; i < 64; ++i) {
        streams.push_back(std::make_unique<RawHttpConnection>(port_));
        ASSERT_TRUE(streams.back()->Send(Get("/events")));
    }
    for (const auto& stream : streams) {
        ASSERT_EQ(stream->Read(10s, 4096, "retry: 1000").status, 200);
    }
    const TricklingClients slow(port_, 33, 3s);
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(LoadsWithin("/?part=main", 10s));
    EXPECT_EQ(Ask(port_, Get("/events")).status, 503);  // the streams' limit holds
}

// SIGTERM while a client trickles its request, a page's stream is open and
// another page's answer is not read: the program ends at once, with 0.
TEST_F(HostileClientsTest, SigtermEndsItPromptlyWhateverTheClientsDo) {
    const TricklingClients slow(port_, 1, 3s);
    RawHttpConnection stream(port_);
    ASSERT_TRUE(stream.Send(Get("/events")));
    ASSERT_EQ(stream.Read(10s, 4096, "retry: 1000").status, 200);
    std::vector<std::unique_ptr<RawHttpConnection>> unread;
    for (int i = 0; i < 4; ++i) {
        unread.push_back(std::make_unique<RawHttpConnection>(port_));
        ASSERT_TRUE(unread.back()->Send(Get("/model?name=X100&last=100000")));
    }
    RawHttpConnection half(port_);
    ASSERT_TRUE(half.Send("GET /unit?serial=SN-7 HTTP/1.1\r\nHost"));
    std::this_thread::sleep_for(1s);
    const auto start = Clock::now();
    const ProgramEnd end = dashboard_.Stop(5s);
    EXPECT_EQ(end.exitStatus, 0) << "signal " << end.signal;
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_NE(dashboard_.Log().find("orvalt-dashboard: stopped\n"), std::string::npos);
}

// Sixteen model pages wait on a table locked by another session, as slow
// charts do: they hold no more than their own threads' connections, and a
// unit's page, which reads another table, is answered at once.
TEST(HostileClientsOnPostgres, HeavyPagesLeaveLightOnesAConnection) {
    PgCluster cluster;
    ORVALT_NEED_CLUSTER(cluster);
    auto db = OpenRecordDatabase(cluster.Url());
    ASSERT_TRUE(db.Ok()) << db.Error();
    RecordLine(**db);
    DashboardChild dashboard;
    const int port =
        dashboard.Start({"--db", cluster.Url(), "--listen", "127.0.0.1:0", "--allow-writer"});
    ASSERT_GT(port, 0) << dashboard.Log();
    ASSERT_TRUE((*db)->Run("BEGIN").Ok());
    ASSERT_TRUE((*db)->Run("LOCK TABLE measurements IN ACCESS EXCLUSIVE MODE").Ok());
    std::vector<int> statuses(16, 0);
    std::vector<std::jthread> heavy;
    for (int& status : statuses) {
        heavy.emplace_back([&status, port] {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(60s);
            const auto answer = client.Get("/model?name=X100");
            status = answer ? answer->status : -1;
        });
    }
    std::this_thread::sleep_for(1s);
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(9s);
    const auto unit = client.Get("/unit?serial=SN-7");
    ASSERT_TRUE(unit) << httplib::to_string(unit.error());
    EXPECT_EQ(unit->status, 200) << unit->body;
    ASSERT_TRUE((*db)->Run("ROLLBACK").Ok());
    heavy.clear();  // joined: each model page was answered once the lock went
    for (const int status : statuses) {
        EXPECT_EQ(status, 200);
    }
}

}  // namespace
}  // namespace orvalt::test
