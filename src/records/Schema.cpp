#include "records/Schema.h"

#include <vector>

namespace orvalt {

namespace {

using Migration = std::vector<const char*>;

// Each entry brings the schema from its index to the next version. Existing
// entries never change: a new need is a new entry.
const std::vector<Migration>& Migrations() {
    static const std::vector<Migration> migrations{
        {
            "CREATE TABLE runs (run_uuid TEXT PRIMARY KEY, started_at TEXT NOT NULL, host TEXT,"
            " operator TEXT, fixture TEXT, plan_name TEXT, plan_sha256 TEXT, plan_text TEXT,"
            " manufacturer TEXT, model TEXT, type TEXT, power TEXT, size TEXT,"
            " driver_manufacturer TEXT, driver_model TEXT, serial TEXT, ended_at TEXT,"
            " ended_how TEXT, end_reason TEXT)",
            "CREATE TABLE run_settings (run_uuid TEXT NOT NULL, name TEXT NOT NULL, value TEXT,"
            " PRIMARY KEY (run_uuid, name))",
            "CREATE TABLE tests (run_uuid TEXT NOT NULL, test_index INTEGER NOT NULL,"
            " plan_1 TEXT, plan_2 TEXT, plan_3 TEXT, plan_4 TEXT, plan_5 TEXT, plan_6 TEXT,"
            " plan_7 TEXT, plan_8 TEXT, plan_9 TEXT, mode TEXT, started_at TEXT, ended_at TEXT,"
            " ended_how TEXT, summary_line TEXT, verdict TEXT, verdict_reasons TEXT,"
            " PRIMARY KEY (run_uuid, test_index))",
            "CREATE TABLE measurements (run_uuid TEXT NOT NULL, test_index INTEGER NOT NULL,"
            " name TEXT NOT NULL, value DOUBLE PRECISION, PRIMARY KEY (run_uuid, test_index, "
            "name))",
            "CREATE TABLE readings (run_uuid TEXT NOT NULL, seq BIGINT NOT NULL, test_index "
            "INTEGER,"
            " ms BIGINT, volts DOUBLE PRECISION, status TEXT, PRIMARY KEY (run_uuid, seq))",
            "CREATE TABLE switches (run_uuid TEXT NOT NULL, seq BIGINT NOT NULL, test_index "
            "INTEGER,"
            " ms BIGINT, line INTEGER, state INTEGER, PRIMARY KEY (run_uuid, seq))",
            "CREATE TABLE diag_lines (run_uuid TEXT NOT NULL, seq BIGINT NOT NULL,"
            " test_index INTEGER, ms BIGINT, raw TEXT, field_1 BIGINT, field_2 BIGINT,"
            " field_3 BIGINT, PRIMARY KEY (run_uuid, seq))",
        },
        {
            // Looking back goes by unit, model and date.
            "CREATE INDEX runs_by_serial ON runs (serial)",
            "CREATE INDEX runs_by_model ON runs (model, started_at)",
            "CREATE INDEX runs_by_start ON runs (started_at)",
            // Yield counts a run's tests from this index alone, without the rows.
            "CREATE INDEX tests_by_run ON tests (run_uuid, ended_how, verdict)",
        },
        {
            // Each run keeps its tally of tests, so yield over a million tests
            // adds up their runs instead; runs recorded before get theirs here.
            "ALTER TABLE runs ADD COLUMN tests_begun BIGINT",
            "ALTER TABLE runs ADD COLUMN tests_completed BIGINT",
            "ALTER TABLE runs ADD COLUMN tests_passed BIGINT",
            "ALTER TABLE runs ADD COLUMN tests_failed BIGINT",
            "UPDATE runs SET"
            " tests_begun = (SELECT COUNT(*) FROM tests t WHERE t.run_uuid = runs.run_uuid),"
            " tests_completed = (SELECT COUNT(*) FROM tests t WHERE t.run_uuid = runs.run_uuid"
            " AND t.ended_how = 'completed'),"
            " tests_passed = (SELECT COUNT(*) FROM tests t WHERE t.run_uuid = runs.run_uuid"
            " AND t.verdict = 'PASS'),"
            " tests_failed = (SELECT COUNT(*) FROM tests t WHERE t.run_uuid = runs.run_uuid"
            " AND t.verdict IN ('FAIL', 'ERROR'))",
            "CREATE INDEX runs_for_yield ON runs (model, serial, started_at, tests_begun,"
            " tests_completed, tests_passed, tests_failed)",
        },
    };
    return migrations;
}

Result<SqlRows> RunMigration(SqlConnection& connection, std::size_t index) {
    Result<SqlRows> result = connection.Run("BEGIN");
    for (const char* statement : Migrations()[index]) {
        if (result)
            result = connection.Run(statement);
    }
    if (result)
        result = connection.Run("UPDATE orvalt_schema SET version = $1",
                                {static_cast<std::int64_t>(index + 1)});
    if (result)
        return connection.Run("COMMIT");
    RollBack(connection);
    return result;
}

}  // namespace

int CurrentSchemaVersion() {
    return static_cast<int>(Migrations().size());
}

Result<int> ReadSchemaVersion(SqlConnection& connection) {
    Result<SqlRows> table = connection.Run(
        "SELECT COUNT(*) FROM information_schema.tables WHERE table_name = 'orvalt_schema'");
    if (!table)
        table = connection.Run(
            "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'orvalt_schema'");
    if (!table)
        return Fail(table.Error());
    if (CellInteger(table->at(0).at(0)) == 0)
        return 0;
    const Result<SqlRows> version = connection.Run("SELECT MAX(version) FROM orvalt_schema");
    if (!version)
        return Fail(version.Error());
    const bool any = !version->empty() && (*version)[0][0];
    return any ? static_cast<int>(CellInteger((*version)[0][0])) : 0;
}

Result<int> PrepareSchema(SqlConnection& connection) {
    const Result<int> found = ReadSchemaVersion(connection);
    if (!found)
        return found;
    if (*found > CurrentSchemaVersion())
        return Fail("Results database " + connection.Describe() + " has schema version " +
                    std::to_string(*found) + ", newer than this station's " +
                    std::to_string(CurrentSchemaVersion()) +
                    ": it is left untouched. Update the station to write to it.");
    Result<SqlRows> step =
        connection.Run("CREATE TABLE IF NOT EXISTS orvalt_schema (version INTEGER NOT NULL)");
    if (step && *found == 0)
        step = connection.Run(
            "INSERT INTO orvalt_schema (version) SELECT 0 WHERE NOT EXISTS "
            "(SELECT 1 FROM orvalt_schema)");
    for (int v = *found; step && v < CurrentSchemaVersion(); ++v)
        step = RunMigration(connection, static_cast<std::size_t>(v));
    if (!step)
        return Fail(step.Error());
    return found;
}

}  // namespace orvalt
