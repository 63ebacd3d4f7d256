// orvalt-dashboard's command line (its help, version and an unknown option:
// dashboard_front_door).

#include <gtest/gtest.h>

#include <sstream>

#include "dashboard/DashboardExit.h"
#include "dashboard/DashboardOptions.h"

namespace orvalt::test {
namespace {

TEST(DashboardOptions, ReadsTheDatabaseTheAddressAndTheRest) {
    const DashboardParse parsed =
        ParseDashboardOptions({"--db", "postgresql://viewer:pw@db.line2/orvalt", "--listen",
                               "0.0.0.0:0", "--allow-writer", "--not-seen-minutes", "25"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->db, "postgresql://viewer:pw@db.line2/orvalt");
    EXPECT_EQ(parsed.options->host, "0.0.0.0");
    EXPECT_EQ(parsed.options->port, 0);
    EXPECT_TRUE(parsed.options->allowWriter);
    EXPECT_EQ(parsed.options->notSeenMinutes, 25);
    const DashboardParse defaults = ParseDashboardOptions({"--db", "results.sqlite"});
    ASSERT_TRUE(defaults.options) << defaults.error;
    EXPECT_EQ(defaults.options->host, "127.0.0.1");
    EXPECT_EQ(defaults.options->port, 8080);
    EXPECT_FALSE(defaults.options->allowWriter);
    EXPECT_EQ(defaults.options->notSeenMinutes, 10);
}

// Every wrong command line is a usage error naming what is wrong, and a
// password in a refused URL is never repeated.
TEST(DashboardOptions, AWrongCommandLineIsAUsageErrorThatShowsNoPassword) {
    const std::pair<std::vector<std::string>, const char*> wrong[] = {
        {{}, "--db URL is needed"},
        {{"--db", "results.sqlite", "extra"}, "extra"},
        {{"--db", "postgresql://u:hunter2@db/x%zz"}, "--db"},
        {{"--db", "PostgreSQL://u:hunter2@db/x"}, "--db"},
        {{"--db", "x.sqlite", "--listen", "8080"}, "--listen"},
        {{"--db", "x.sqlite", "--listen", "host:65536"}, "--listen"},
        {{"--db", "x.sqlite", "--listen", ":80"}, "--listen"},
        {{"--db", "x.sqlite", "--listen", "::1:80"}, "--listen"},
        {{"--db", "x.sqlite", "--listen", "[]:80"}, "--listen"},
        {{"--db", "x.sqlite", "--not-seen-minutes", "0"}, "--not-seen-minutes"},
        {{"--db", "x.sqlite", "--not-seen-minutes", "1441"}, "--not-seen-minutes"},
        {{"--db", "x.sqlite", "--not-seen-minutes", "5m"}, "--not-seen-minutes"},
        {{"--db", "x.sqlite", "--no-such-option"}, "--no-such-option"},
        {{"--db"}, "--db needs a value"}};
    for (const auto& [args, named] : wrong) {
        const DashboardParse parsed = ParseDashboardOptions(args);
        std::ostringstream out, err;
        EXPECT_EQ(AnswerWithoutServing(parsed, out, err), kDashboardUsage) << named;
        EXPECT_NE(err.str().find(named), std::string::npos) << err.str();
        EXPECT_EQ(err.str().find("hunter2"), std::string::npos) << err.str();
        EXPECT_TRUE(out.str().empty());
    }
}

TEST(DashboardOptions, AnIpv6AddressIsWrittenInBrackets) {
    const DashboardParse parsed =
        ParseDashboardOptions({"--db", "r.sqlite", "--listen", "[::1]:81"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->host, "::1");
    EXPECT_EQ(ServedUrl(parsed.options->host, parsed.options->port), "http://[::1]:81/");
}

}  // namespace
}  // namespace orvalt::test
