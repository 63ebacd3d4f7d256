// The dashboard's front served in-process on 127.0.0.1, with limits made
// short where a test would otherwise wait for them: what it answers itself
// (a request late, too large or unreadable), what it hands on changed (a
// body already read, a query as it was sent), and how it keeps its
// unfinished connections bounded.

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <sstream>
#include <thread>

#include "DashboardRuns.h"
#include "dashboard/DashboardServer.h"
#include "recording/RecordStore.h"
#include "support/RawHttp.h"
#include "support/TempFolder.h"
#include "support/TricklingClients.h"

namespace orvalt::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kSafety =
    "default-src 'none'; img-src 'self' data:; style-src 'unsafe-inline'; script-src 'self'; "
    "connect-src 'self'";

class FrontServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto db = OpenRecordDatabase(path_);
        ASSERT_TRUE(db.Ok()) << db.Error();
        AddRun(**db, {"run-f1", "bench-3", "F1", "SN-7", "X100"});
    }

    void StartServer(FrontLimits front = {}) {
        DashboardSettings settings;
        settings.database = path_;
        settings.port = 0;
        settings.front = front;
        server_ = std::make_unique<DashboardServer>(settings, log_);
        ASSERT_EQ(server_->Start(), 0);
    }

    RawAnswer Ask(const std::string& request) {
        RawHttpConnection connection(server_->Port());
        EXPECT_TRUE(connection.Send(request));
        return connection.Read(10s);
    }

    static std::string BodyOf(const RawAnswer& answer) {
        return answer.kept.substr(answer.kept.find("\r\n\r\n") + 4);
    }

    TempFolder folder_;
    std::string path_ = (folder_ / "results.sqlite").string();
    std::ostringstream logText_;
    DashboardLog log_{logText_};
    std::unique_ptr<DashboardServer> server_;
};

// What the front refuses it answers itself, as every answer: the safety
// headers, a plain reason, and the connection closed.
TEST_F(FrontServerTest, RequestsBreakingALimitAreAnsweredByTheFrontItself) {
    StartServer();
    std::string manyLines = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 101; ++i) {
        manyLines += "X-" + std::to_string(i) + ": 1\r\n";
    }
    const std::pair<std::string, std::pair<int, std::string>> refused[] = {
        {manyLines + "\r\n", {431, "The request's headers are too large.\n"}},
        {"GET /" + std::string(17000, 'a'), {414, "The address is too long.\n"}},
        {"POST / HTTP/1.1\r\nContent-Length: 20000\r\n\r\n", {413, "The request is too large.\n"}},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
         {411, "A request body must say its length.\n"}},
        {"GET  /model?name=X100 HTTP/1.1\r\n\r\n", {400, "Bad request.\n"}},
    };
    for (const auto& [request, expected] : refused) {
        const RawAnswer answer = Ask(request);
        EXPECT_EQ(answer.status, expected.first) << request.substr(0, 60);
        EXPECT_EQ(BodyOf(answer), expected.second);
        EXPECT_EQ(HeaderOf(answer.kept, "Content-Security-Policy"), kSafety);
        EXPECT_EQ(HeaderOf(answer.kept, "Content-Type"), "text/plain; charset=utf-8");
        EXPECT_TRUE(answer.ended);
    }
    // A long address within the head's limit is still httplib's to refuse.
    EXPECT_EQ(Ask("GET /" + std::string(9000, 'a') + " HTTP/1.1\r\n\r\n").status, 414);
    EXPECT_EQ(Ask("GET /health HTTP/1.1\r\n\r\n").status, 200);
}

// A request that has not arrived whole by its deadline is answered 408 and
// closed, whether it trickles or says nothing at all.
TEST_F(FrontServerTest, ARequestNotWholeByItsDeadlineIsAnswered408) {
    FrontLimits front;
    front.deadline = 1s;
    StartServer(front);
    RawHttpConnection silent(server_->Port());
    const TricklingClients slow(server_->Port(), 1, 200ms);
    const auto start = std::chrono::steady_clock::now();
    const RawAnswer answer = silent.Read(20s);
    EXPECT_EQ(answer.status, 408);
    EXPECT_EQ(BodyOf(answer), "The request did not arrive in time.\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    for (int wait = 0; wait < 100 && slow.Open() > 0; ++wait) {
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(slow.Open(), 0u);
}

// New connections push out the oldest unfinished ones beyond the cap, so
// that connections that say nothing can't take every place.
TEST_F(FrontServerTest, TheOldestUnfinishedConnectionGoesForANewOne) {
    FrontLimits front;
    front.unfinished = 8;
    StartServer(front);
    std::vector<std::unique_ptr<RawHttpConnection>> silent;
    for (int i = 0; i < 20; ++i) {
        silent.push_back(std::make_unique<RawHttpConnection>(server_->Port()));
        std::this_thread::sleep_for(10ms);  // taken in their order
    }
    EXPECT_EQ(Ask("GET /health HTTP/1.1\r\n\r\n").status, 200);
    for (int i = 0; i < 13; ++i) {
        EXPECT_TRUE(silent[i]->ClosedWithin(5s)) << i;
    }
    EXPECT_FALSE(silent[19]->ClosedWithin(200ms));
}

// The body is read by the front, so a client that waits to be told to send
// it is told; the page then answers as it always does.
TEST_F(FrontServerTest, AClientWaitingForContinueIsToldAndThenAnswered) {
    StartServer();
    RawHttpConnection connection(server_->Port());
    ASSERT_TRUE(
        connection.Send("POST /unit HTTP/1.1\r\nExpect: 100-continue\r\n"
                        "Content-Length: 5\r\n\r\n"));
    EXPECT_EQ(connection.Read(10s, 4096, "\r\n\r\n").kept, "HTTP/1.1 100 Continue\r\n\r\n");
    ASSERT_TRUE(connection.Send("hello"));
    const RawAnswer answer = connection.Read(10s);
    EXPECT_EQ(answer.status, 405);
    EXPECT_EQ(HeaderOf(answer.kept, "Allow"), "GET, HEAD");
}

// A path spelled another way is answered from the heavy pages' budget:
// never as a stream held there, and a light page as it always is.
TEST_F(FrontServerTest, DisguisedPathsAreNeverAnsweredAsStreams) {
    StartServer();
    for (const char* target : {"/%65vents", "/%65vents?x=1", "/%2565vents"}) {
        const RawAnswer answer = Ask(std::string("GET ") + target + " HTTP/1.1\r\n\r\n");
        EXPECT_EQ(answer.status / 100, 4) << target;
        EXPECT_TRUE(answer.ended) << target;
    }
    const RawAnswer unit = Ask("GET /%75nit?serial=SN-7 HTTP/1.1\r\n\r\n");
    EXPECT_EQ(unit.status, 200);
    EXPECT_NE(unit.kept.find("href=\"/run/run-f1\""), std::string::npos);
}

// Stop with a page's answer unread, a stream open and a request half sent:
// it returns at once, every thread joined.
TEST_F(FrontServerTest, StopReturnsPromptlyWithClientsThatNeitherSendNorRead) {
    StartServer();
    RawHttpConnection stream(server_->Port());
    ASSERT_TRUE(stream.Send("GET /events HTTP/1.1\r\n\r\n"));
    ASSERT_EQ(stream.Read(10s, 4096, "retry: 1000").status, 200);
    RawHttpConnection half(server_->Port());
    ASSERT_TRUE(half.Send("GET / HTTP/1.1\r\nHo"));
    std::vector<std::unique_ptr<RawHttpConnection>> unread;
    for (int i = 0; i < 40; ++i) {
        unread.push_back(std::make_unique<RawHttpConnection>(server_->Port()));
        ASSERT_TRUE(unread.back()->Send("GET /run/run-f1 HTTP/1.1\r\n\r\n"));
    }
    std::this_thread::sleep_for(500ms);
    const auto start = std::chrono::steady_clock::now();
    server_->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_TRUE(stream.ClosedWithin(5s));
    EXPECT_TRUE(half.ClosedWithin(5s));
}

}  // namespace
}  // namespace orvalt::test
