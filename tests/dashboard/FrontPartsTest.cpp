// The front's parts without a socket: a request taken as its bytes arrive,
// split anywhere, against the same request taken at once; the limits it
// refuses at; the budget a target is answered from; and the query as sent
// against the one httplib reads.

#include <gtest/gtest.h>
#include <httplib.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "dashboard/IncomingRequest.h"
#include "dashboard/PageBudget.h"
#include "dashboard/SentQuery.h"

namespace orvalt::test {
namespace {

// A request of random headers, some of them lines the head handed on drops,
// and a body of its declared length; `kept` is the head it must be handed on
// as.
struct MadeRequest {
    std::string bytes;
    std::string kept;
};

MadeRequest RandomRequest(std::mt19937& random) {
    static const std::vector<std::string> kDropped = {"Range: bytes=0-10", "range: bytes=0-,0-",
                                                      "If-Range: \"x\"", "EXPECT: 100-continue"};
    MadeRequest made;
    made.bytes = made.kept =
        "GET /unit?serial=SN-" + std::to_string(random() % 100) + " HTTP/1.1\r\n";
    const std::size_t body = random() % 3 == 0 ? random() % 3000 : 0;
    std::vector<std::string> lines = {"Host: 127.0.0.1"};
    if (body > 0 || random() % 2 == 0) {
        lines.push_back("Content-Length: " + std::to_string(body));
    }
    for (std::size_t i = random() % 30; i > 0; --i) {
        lines.push_back(random() % 4 == 0
                            ? kDropped[random() % kDropped.size()]
                            : "X-" + std::to_string(i) + ": " + std::string(random() % 200, 'v'));
    }
    std::shuffle(lines.begin(), lines.end(), random);
    for (const std::string& line : lines) {
        made.bytes += line + "\r\n";
        const bool dropped = std::find(kDropped.begin(), kDropped.end(), line) != kDropped.end();
        made.kept += dropped ? "" : line + "\r\n";
    }
    made.bytes += "\r\n" + std::string(body, 'b');
    made.kept += "\r\n";
    return made;
}

// Taken in random pieces; the bytes held checked after each.
IncomingRequest TakenInPieces(const std::string& bytes, std::mt19937& random,
                              const RequestLimits& limits = {}) {
    IncomingRequest request(limits);
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t piece = std::min<std::size_t>(1 + random() % 700, bytes.size() - at);
        request.Take(std::string_view(bytes).substr(at, piece));
        EXPECT_LE(request.Held(), limits.headBytes + 1);
        at += piece;
    }
    return request;
}

TEST(IncomingRequest, AnyRequestSplitAnywhereIsWholeOnceWithTheHeadItIsAnsweredFrom) {
    std::mt19937 random(20261210);
    for (int i = 0; i < 500; ++i) {
        const MadeRequest made = RandomRequest(random);
        const IncomingRequest request = TakenInPieces(made.bytes, random);
        ASSERT_EQ(request.Current(), IncomingRequest::State::Whole) << made.bytes;
        EXPECT_EQ(request.ForwardedHead(), made.kept);
        EXPECT_EQ(request.Target().substr(0, 16), "/unit?serial=SN-");
        // Short of its last byte it is not whole yet.
        IncomingRequest cut;
        cut.Take(std::string_view(made.bytes).substr(0, made.bytes.size() - 1));
        EXPECT_EQ(cut.Current(), IncomingRequest::State::Reading) << made.bytes;
    }
}

TEST(IncomingRequest, RandomBytesAreNeverHeldPastTheLimitNorTakenAsARequest) {
    std::mt19937 random(7);
    const RequestLimits limits{2048, 20, 512};
    for (int i = 0; i < 300; ++i) {
        std::string bytes(random() % 20000, '\0');
        for (char& byte : bytes) {
            byte = random() % 5 == 0 ? "\r\n :"[random() % 4] : static_cast<char>(random() % 256);
        }
        const IncomingRequest request = TakenInPieces(bytes, random, limits);
        EXPECT_NE(request.Current(), IncomingRequest::State::Whole);
    }
}

TEST(IncomingRequest, EachLimitIsRefusedWithItsStatus) {
    const std::string start = "GET / HTTP/1.1\r\nHost: x\r\n";
    std::string manyLines = start;
    for (int i = 0; i < 100; ++i) {
        manyLines += "X-" + std::to_string(i) + ": 1\r\n";
    }
    const std::pair<std::string, int> refused[] = {
        {manyLines + "\r\n", 431},
        {start + "X-Long: " + std::string(17000, 'a'), 431},
        {"GET /" + std::string(17000, 'a'), 414},
        {start + "Content-Length: 16385\r\n\r\n", 413},
        {start + "Transfer-Encoding: chunked\r\n\r\n", 411},
        {start + "Content-Length: 12x\r\n\r\n", 400},
        {start + "Content-Length: 5\r\nContent-Length: 6\r\n\r\n", 400},
        {"GET  / HTTP/1.1\r\n\r\n", 400},
        {"GET /\t HTTP/1.1\r\n\r\n", 400},
        {std::string("GET /\0x HTTP/1.1\r\n\r\n", 20), 400},
        {"GET / HTTP/1.1 x\r\n\r\n", 400},
        {"\r\nGET / HTTP/1.1\r\n\r\n", 400},
        {"G(T / HTTP/1.1\r\n\r\n", 400},
    };
    for (const auto& [bytes, status] : refused) {
        IncomingRequest request;
        EXPECT_EQ(request.Take(bytes), IncomingRequest::State::Refused) << bytes.substr(0, 80);
        EXPECT_EQ(request.RefusalStatus(), status) << bytes.substr(0, 80);
    }
    // At the limits themselves it is whole: Host, 98 more and the length.
    std::string hundred = start;
    for (int i = 0; i < 98; ++i) {
        hundred += "X-" + std::to_string(i) + ": 1\r\n";
    }
    IncomingRequest atLimits;
    EXPECT_EQ(atLimits.Take(hundred + "Content-Length: 16384\r\n\r\n" + std::string(16384, 'b')),
              IncomingRequest::State::Whole);
}

TEST(IncomingRequest, AClientWaitingToSendItsBodyIsToldToGoOnOnce) {
    IncomingRequest request;
    request.Take("POST / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 4\r\n");
    EXPECT_FALSE(request.TakeContinueDue());  // the head is not whole yet
    request.Take("\r\n");
    EXPECT_TRUE(request.TakeContinueDue());
    EXPECT_FALSE(request.TakeContinueDue());
    EXPECT_EQ(request.Take("body"), IncomingRequest::State::Whole);
    EXPECT_EQ(request.ForwardedHead(), "POST / HTTP/1.1\r\nContent-Length: 4\r\n\r\n");
}

TEST(PageBudget, StreamsLightAndHeavyPagesAndAnythingElseHeavy) {
    const std::pair<const char*, PageBudget> targets[] = {{"/events", PageBudget::Streams},
                                                          {"/events?x=1", PageBudget::Streams},
                                                          {"/", PageBudget::Light},
                                                          {"/?part=main", PageBudget::Light},
                                                          {"/unit?serial=SN-1", PageBudget::Light},
                                                          {"/health", PageBudget::Light},
                                                          {"/dashboard.js", PageBudget::Light},
                                                          {"/model?name=X100", PageBudget::Heavy},
                                                          {"/models", PageBudget::Heavy},
                                                          {"/run/abc", PageBudget::Heavy},
                                                          {"/%65vents", PageBudget::Heavy},
                                                          {"/%75nit", PageBudget::Heavy},
                                                          {"/events/", PageBudget::Heavy},
                                                          {"/nope", PageBudget::Heavy},
                                                          {"?/", PageBudget::Heavy},
                                                          {"//", PageBudget::Heavy}};
    for (const auto& [target, budget] : targets) {
        EXPECT_EQ(PageBudgetOf(target), budget) << target;
    }
}

// Every parameter as httplib decodes it, but a repeated one kept each time.
TEST(SentQuery, DecodesAsHttplibDoesAndKeepsWhatIsRepeated) {
    std::mt19937 random(46);
    const std::string bytes = "ab=&%+2F5Fu";
    for (int i = 0; i < 400; ++i) {
        std::string query;
        for (std::size_t n = random() % 24; n > 0; --n) {
            query += bytes[random() % bytes.size()];
        }
        httplib::Params read;
        httplib::detail::parse_query_text(query, read);
        const QueryParams sent = SentQuery("/?" + query);
        const std::set<std::pair<std::string, std::string>> readSet(read.begin(), read.end()),
            sentSet(sent.begin(), sent.end());
        EXPECT_EQ(sentSet, readSet) << query;
        EXPECT_GE(sent.size(), read.size()) << query;
    }
    EXPECT_EQ(SentQuery("/?part=main&part=main").count("part"), 2u);
    EXPECT_EQ(SentQuery("/unit?serial=a%20b").find("serial")->second, "a b");
    EXPECT_TRUE(SentQuery("/unit").empty());
}

}  // namespace
}  // namespace orvalt::test
