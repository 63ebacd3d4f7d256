// The results server URL: what reaches libpq, what a message shows, what names
// the spool, and which texts are refused as mistyped URLs.

#include <gtest/gtest.h>

#include <random>

#include "domain/DatabaseUrl.h"
#include "records/ResultsSetting.h"
#include "records/SqlConnection.h"

namespace orvalt::test {
namespace {

using Keywords = std::vector<std::pair<std::string, std::string>>;

TEST(DatabaseUrlTest, ReadsEveryPartAsLibpqDocumentsIt) {
    const auto url = ParseServerUrl(
        "postgresql://line%20op:pw@[::1]:5433,db2/orvalt%2Fmain?sslmode=require&host=/run/pg");
    ASSERT_TRUE(url.Ok()) << url.Error();
    EXPECT_EQ(url->keywords, (Keywords{{"user", "line op"},
                                       {"password", "pw"},
                                       {"host", "::1,db2"},
                                       {"port", "5433,"},
                                       {"dbname", "orvalt/main"},
                                       {"sslmode", "require"},
                                       {"host", "/run/pg"}}));
    // The query's host is the one libpq uses: it names the server.
    EXPECT_EQ(url->identity, "postgresql://line op@/run/pg:5433,/orvalt/main");
    EXPECT_EQ(url->shown,
              "postgresql://line%20op@[::1]:5433,db2/orvalt%2Fmain?sslmode=require&"
              "host=/run/pg");

    const auto twice = ParseServerUrl("postgres://db/x?password=a&password=b&sslmode=require");
    ASSERT_TRUE(twice.Ok()) << twice.Error();
    EXPECT_EQ(twice->shown, "postgres://db/x?sslmode=require");

    const auto bare = ParseServerUrl("postgres://");
    ASSERT_TRUE(bare.Ok()) << bare.Error();
    EXPECT_TRUE(bare->keywords.empty());
}

// Whatever a password holds, written raw or percent-encoded, in the user part
// or the query: the connection gets it, no shown form or identity holds it, and
// two passwords name the same spool.
TEST(DatabaseUrlTest, NoPasswordReachesAnyShownFormAndNoneChangesTheIdentity) {
    std::mt19937 random(20);
    const std::string alphabet = "abcXYZ0189@:;!$&'()*+=-._~";
    for (int round = 0; round < 400; ++round) {
        std::string password(8 + random() % 12, ' ');
        for (char& c : password) {
            c = alphabet[random() % alphabet.size()];
        }
        password.front() = 'Q';  // no shown text holds a Q but the password's
        std::string encoded;
        for (char c : password) {
            const bool plain = std::isalnum(static_cast<unsigned char>(c));
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            encoded += plain || (c == '@' && round % 2) ? std::string(1, c) : hex;
        }
        const std::string inUser = "postgresql://op:" + encoded + "@db.line2:5432/orvalt";
        const std::string inQuery =
            "postgres://op@db.line2:5432/orvalt?sslmode=disable&"
            "password=" +
            encoded + (round % 3 ? "&application_name=x" : "");
        for (const std::string& text : {inUser, inQuery}) {
            const auto url = ParseServerUrl(text);
            ASSERT_TRUE(url.Ok()) << text << ": " << url.Error();
            EXPECT_EQ(url->shown.find('Q'), std::string::npos) << url->shown;
            EXPECT_EQ(ShownDatabase(text).find('Q'), std::string::npos) << text;
            EXPECT_EQ(url->identity, "postgresql://op@db.line2:5432/orvalt");
            EXPECT_TRUE(HoldsPassword(text));
            const auto password_ =
                std::find_if(url->keywords.begin(), url->keywords.end(),
                             [](const auto& k) { return k.first == "password"; });
            ASSERT_NE(password_, url->keywords.end());
            EXPECT_EQ(password_->second, password);
            EXPECT_EQ(DefaultResultsSpool(text),
                      DefaultResultsSpool("postgresql://op@db.line2:5432/orvalt"));

            std::string title = "--db=" + text;
            MaskPasswordsInPlace(title);
            EXPECT_EQ(title.find('Q'), std::string::npos) << title;
        }
    }
    EXPECT_FALSE(HoldsPassword("postgresql://op@db.line2/orvalt"));
    EXPECT_NE(DefaultResultsSpool("postgresql://op@db.line2/orvalt"),
              DefaultResultsSpool("postgresql://other@db.line2/orvalt"));
}

TEST(DatabaseUrlTest, AMistypedUrlIsRefusedWithoutRepeatingWhatFollowsItsScheme) {
    for (const char* typo :
         {"PostgreSQL://op:Zsecret@db/orvalt", "postgresql:/db/Zorvalt", "postgres//db/Zorvalt",
          "postgresql:db/Zorvalt", "http://Zdb/orvalt", "postgresql://op:Zs%ZZ@db/orvalt",
          "postgresql://op:Zs%00@db/orvalt", "postgresql://db:Z5432/orvalt",
          "postgresql://op:Zpass/word@db/orvalt", "postgresql://[::1/Zorvalt",
          "postgresql://db/orvalt?Zkey", "postgresql://db/orvalt?=Zvalue"}) {
        EXPECT_TRUE(LooksLikeUrl(typo)) << typo;
        const auto url = ParseServerUrl(typo);
        ASSERT_FALSE(url.Ok()) << typo;
        EXPECT_EQ(url.Error().find('Z'), std::string::npos) << url.Error();
        EXPECT_NE(url.Error().find("not a valid postgresql:// URL"), std::string::npos);
        EXPECT_EQ(ShownDatabase(typo).find('Z'), std::string::npos) << ShownDatabase(typo);
        // Nothing is created for it either.
        const auto opened = OpenSqlConnection(typo);
        ASSERT_FALSE(opened.Ok()) << typo;
        EXPECT_EQ(opened.Error().find('Z'), std::string::npos) << opened.Error();
    }
    for (const char* file : {"results.sqlite", "/data/a:b.sqlite", "postgres/results.sqlite",
                             "postgresql-results.sqlite", "c:results.sqlite", "./x://y"}) {
        EXPECT_FALSE(LooksLikeUrl(file)) << file;
    }
}

}  // namespace
}  // namespace orvalt::test
