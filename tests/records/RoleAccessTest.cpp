// What a login may write to the records, asked of a PostgreSQL server for a
// station's own login, a reader with SELECT only, a reader allowed one write,
// a login that inherits a writer's rights and a superuser; each other way a
// login may come to write, named and shown to work, and readers that none
// works for; and of a SQLite file opened to read.

#include <gtest/gtest.h>

#include "domain/Joined.h"
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
    // Every table, the run keys' sequence and the schema.
    EXPECT_EQ(owner.size(), 14u + 1u + 1u) << Joined(owner);
    EXPECT_EQ(owner.front(), "owner of runs");
    EXPECT_TRUE(Holds(owner, "owner of alarm_acks"));
    EXPECT_TRUE(Holds(owner, "owner of seal_heads"));
    EXPECT_TRUE(Holds(owner, "owner of orvalt_schema"));
    EXPECT_TRUE(Holds(owner, "owner of sequence run_keys_run_id_seq"));
    EXPECT_EQ(owner.back(), "CREATE on schema public");
    EXPECT_EQ(Writes(cluster.Url("deputy")), owner);  // a member inherits them
    EXPECT_EQ(Writes(cluster.Url("orvalt")), std::vector<std::string>{"superuser"});
}

// A login, what it is said to be able to write, and statements it writes
// with (each run on its own, in order, on a session that may write).
struct WriterCase {
    std::string role;
    std::vector<std::string> writes;
    std::vector<std::string> attack;
};

// Whether every statement ran under the login.
bool Performs(const std::string& url, const std::vector<std::string>& statements,
              std::string& why) {
    auto db = OpenSqlConnection(url);
    if (!db) {
        why = db.Error();
        return false;
    }
    for (const std::string& statement : statements) {
        if (const Result<SqlRows> ran = (*db)->Run(statement); !ran) {
            why = statement + ": " + ran.Error();
            return false;
        }
    }
    return true;
}

// Statements a login that may only read must fail at, each on a fresh session.
const std::vector<std::string> kReaderAttacks = {
    "UPDATE runs SET verdict = 'PASS' WHERE false",
    "DELETE FROM tests WHERE false",
    "INSERT INTO alarm_acks SELECT * FROM alarm_acks WHERE false",
    "TRUNCATE alarms",
    "CREATE TABLE public.runs_copy (x INTEGER)",
    "SET ROLE station",
    "SELECT setval('run_keys_run_id_seq', 1)",
    "CREATE ROLE helper",
    "GRANT pg_write_all_data TO CURRENT_USER",
};

// Each way below is one the login was served through as if it only read.
TEST(RoleAccessTest, EveryWayALoginMayWriteIsNamedAndWorks) {
    PgCluster cluster;
    ORVALT_NEED_CLUSTER(cluster);
    cluster.Query("CREATE ROLE station LOGIN; GRANT CREATE ON SCHEMA public TO station");
    ASSERT_TRUE(OpenRecordDatabase(cluster.Url("station")).Ok());
    const std::string setUp = cluster.Query(
        "CREATE ROLE viewer LOGIN; CREATE ROLE auditor LOGIN BYPASSRLS;"
        " CREATE ROLE clerk LOGIN; GRANT UPDATE (verdict) ON runs TO clerk;"
        " CREATE ROLE writers; GRANT INSERT, DELETE ON runs TO writers;"
        " CREATE ROLE member LOGIN NOINHERIT IN ROLE writers;"
        " CREATE ROLE maker LOGIN CREATEROLE;"
        " CREATE ROLE bulk LOGIN IN ROLE pg_write_all_data;"
        " CREATE ROLE admins SUPERUSER; CREATE ROLE elevated LOGIN NOINHERIT IN ROLE admins;"
        " CREATE ROLE hooker LOGIN; GRANT TRIGGER ON tests TO hooker;"
        " CREATE ROLE counter LOGIN; GRANT UPDATE ON SEQUENCE run_keys_run_id_seq TO counter;"
        " CREATE ROLE keeper LOGIN; ALTER TABLE alarm_acks OWNER TO keeper;"
        " REVOKE ALL ON alarm_acks FROM keeper;"
        " CREATE ROLE lodger LOGIN; CREATE SCHEMA lodging AUTHORIZATION lodger;"
        " GRANT SELECT ON ALL TABLES IN SCHEMA public TO viewer, auditor, clerk, member, maker,"
        " hooker, counter, keeper, lodger");
    ASSERT_EQ(setUp, "") << setUp;

    const std::vector<WriterCase> cases = {
        {"clerk", {"UPDATE (verdict) on runs"}, {"UPDATE runs SET verdict = 'PASS' WHERE false"}},
        {"member",
         {"SET ROLE writers (INSERT on runs, DELETE on runs)"},
         {"SET ROLE writers", "DELETE FROM runs WHERE false"}},
        {"maker", {"CREATEROLE"}, {"GRANT pg_write_all_data TO maker"}},
        {"elevated", {"SET ROLE admins (superuser)"}, {"SET ROLE admins", "TRUNCATE alarms"}},
        {"hooker", {"TRIGGER on tests"}, {}},  // a trigger's function runs as the station
        {"counter",
         {"UPDATE on sequence run_keys_run_id_seq"},
         {"SELECT setval('run_keys_run_id_seq', 1000)"}},
        {"keeper", {"owner of alarm_acks"}, {"GRANT DELETE ON alarm_acks TO keeper"}},
        {"lodger", {"owner of schema lodging"}, {"CREATE TABLE lodging.runs (x INTEGER)"}},
    };
    for (const WriterCase& one : cases) {
        EXPECT_EQ(Writes(cluster.Url(one.role)), one.writes) << one.role;
        std::string why;
        EXPECT_TRUE(Performs(cluster.Url(one.role), one.attack, why)) << one.role << ": " << why;
    }
    const std::vector<std::string> bulk = Writes(cluster.Url("bulk"));
    ASSERT_FALSE(bulk.empty());
    EXPECT_EQ(bulk.front(), "pg_write_all_data");
    EXPECT_TRUE(Holds(bulk, "DELETE on runs")) << Joined(bulk);

    for (const std::string reader : {"viewer", "auditor"}) {
        EXPECT_TRUE(Writes(cluster.Url(reader)).empty()) << reader;
        for (const std::string& attack : kReaderAttacks) {
            std::string why;
            EXPECT_FALSE(Performs(cluster.Url(reader), {attack}, why)) << reader << ": " << attack;
        }
    }

    // What PUBLIC is given, every login has; a function that runs with its
    // owner's rights lends them to whoever may call it, PUBLIC by default.
    const std::string opened = cluster.Query(
        "GRANT INSERT ON alarms TO PUBLIC; GRANT CREATE ON SCHEMA public TO PUBLIC;"
        " SET ROLE station; CREATE FUNCTION passed(u TEXT) RETURNS VOID LANGUAGE sql"
        " SECURITY DEFINER AS $$ UPDATE runs SET verdict = 'PASS' WHERE run_uuid = u $$");
    ASSERT_EQ(opened, "") << opened;
    EXPECT_EQ(
        Writes(cluster.Url("viewer")),
        (std::vector<std::string>{"INSERT on alarms",
                                  "EXECUTE on passed(text) (SECURITY DEFINER, owned by station)",
                                  "CREATE on schema public"}));
    std::string why;
    EXPECT_TRUE(Performs(cluster.Url("viewer"), {"SELECT passed('none')"}, why)) << why;
}

TEST(RoleAccessTest, ASqliteFileOpenedToReadMayWriteNothing) {
    TempFolder folder;
    const std::string target = (folder / "results.sqlite").string();
    ASSERT_TRUE(OpenRecordDatabase(target).Ok());
    EXPECT_TRUE(Writes(target).empty());
}

}  // namespace
}  // namespace orvalt::test
