// What a login may write to the records, asked of a PostgreSQL server for a
// station's own login, a reader with SELECT only, a reader allowed one write,
// a login that inherits a writer's rights and a superuser; and of a SQLite
// file opened to read.

#include <gtest/gtest.h>

#include "recording/RecordStore.h"
#include "records/RoleAccess.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

std::vector<std::string> Writes(const std::string& target) {
    auto db = OpenSqlConnectionToRead(target);
    EXPECT_TRUE(db.Ok() && *db) << (db.Ok() ? "no database" : db.Error());
    if (!db.Ok() || !*db) {
        return {"(not opened)"};
    }
    const Result<std::vector<std::string>> writes = WritesAllowed(**db);
    EXPECT_TRUE(writes.Ok()) << writes.Error();
    return writes.Ok() ? *writes : std::vector<std::string>{"(not asked)"};
}

bool Holds(const std::vector<std::string>& writes, const std::string& one) {
    return std::find(writes.begin(), writes.end(), one) != writes.end();
}

TEST(RoleAccessTest, TellsReadersFromWritersOnAServer) {
    if (PostgresTestsMaySkip()) {
        GTEST_SKIP() << "Debian's postgresql is not installed";
    }
    PgCluster cluster;
    ASSERT_TRUE(cluster.Ready()) << cluster.Problem();
    cluster.Query(
        "CREATE ROLE station LOGIN; GRANT CREATE ON SCHEMA public TO station;"
        " CREATE ROLE dashboard LOGIN; CREATE ROLE alarmist LOGIN;"
        " CREATE ROLE deputy LOGIN IN ROLE station");
    // No schema yet: the station's login may make one, the reader nothing.
    EXPECT_EQ(Writes(cluster.Url("station")), std::vector<std::string>{"CREATE on schema public"});
    EXPECT_TRUE(Writes(cluster.Url("dashboard")).empty());

    ASSERT_TRUE(OpenRecordDatabase(cluster.Url("station")).Ok());
    cluster.Query(
        "GRANT SELECT ON ALL TABLES IN SCHEMA public TO dashboard, alarmist;"
        " GRANT INSERT ON alarms TO alarmist");
    EXPECT_TRUE(Writes(cluster.Url("dashboard")).empty());
    EXPECT_EQ(Writes(cluster.Url("alarmist")), std::vector<std::string>{"INSERT on alarms"});
    const std::vector<std::string> owner = Writes(cluster.Url("station"));
    EXPECT_EQ(owner.size(), 11u * 4u + 1u);  // every table, every way, and the schema
    EXPECT_TRUE(Holds(owner, "INSERT on alarm_acks"));
    EXPECT_EQ(owner.front(), "INSERT on runs");
    EXPECT_TRUE(Holds(owner, "TRUNCATE on orvalt_schema"));
    EXPECT_TRUE(Holds(owner, "DELETE on measurements"));
    EXPECT_EQ(Writes(cluster.Url("deputy")), owner);  // a member inherits them
    EXPECT_EQ(Writes(cluster.Url("orvalt")), std::vector<std::string>{"superuser"});
}

TEST(RoleAccessTest, ASqliteFileOpenedToReadMayWriteNothing) {
    TempFolder folder;
    const std::string target = (folder / "results.sqlite").string();
    ASSERT_TRUE(OpenRecordDatabase(target).Ok());
    EXPECT_TRUE(Writes(target).empty());
}

}  // namespace
}  // namespace orvalt::test
