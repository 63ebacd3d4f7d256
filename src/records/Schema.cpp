#include "records/Schema.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "records/RunAttempt.h"
#include "records/RunKeyMigration.h"
#include "records/SealTables.h"

namespace orvalt {

namespace {

// A step is statements, or code where SQL alone can't do it (compressing).
using MigrationCode = Result<SqlRows> (*)(SqlConnection&);

struct Migration {
    Migration(std::initializer_list<const char*> sql) : statements(sql) {}
    Migration(MigrationCode run) : code(run) {}
    std::vector<const char*> statements;
    MigrationCode code = nullptr;
};

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
        // Runs get a small key for the big tables, readings go into blocks.
        MigrateToRunKeys,
        {
            // A run keeps what judged it, with what and by whom, and which
            // attempt on its unit it was; a measurement its unit, the decimals
            // the station shows, its bounds and its outcome.
            "ALTER TABLE runs ADD COLUMN login TEXT",
            "ALTER TABLE runs ADD COLUMN lot TEXT",
            "ALTER TABLE runs ADD COLUMN limits_name TEXT",
            "ALTER TABLE runs ADD COLUMN limits_sha256 TEXT",
            "ALTER TABLE runs ADD COLUMN limits_text TEXT",
            "ALTER TABLE runs ADD COLUMN program_version TEXT",
            "ALTER TABLE runs ADD COLUMN u3_serial TEXT",
            "ALTER TABLE runs ADD COLUMN u3_firmware TEXT",
            "ALTER TABLE runs ADD COLUMN attempt BIGINT",
            "ALTER TABLE runs ADD COLUMN verdict TEXT",
            "ALTER TABLE measurements ADD COLUMN unit TEXT",
            "ALTER TABLE measurements ADD COLUMN decimals INTEGER",
            "ALTER TABLE measurements ADD COLUMN min_value DOUBLE PRECISION",
            "ALTER TABLE measurements ADD COLUMN max_value DOUBLE PRECISION",
            "ALTER TABLE measurements ADD COLUMN outcome TEXT",
            // Runs recorded before: their attempts in the order they started,
            // and the unit's verdict where their tests had verdicts.
            kNumberEveryAttemptSql,
            "UPDATE runs SET verdict = CASE"
            " WHEN EXISTS (SELECT 1 FROM tests t WHERE t.run_id = (SELECT run_id FROM run_keys k"
            " WHERE k.run_uuid = runs.run_uuid) AND t.verdict = 'FAIL') THEN 'FAIL'"
            " WHEN EXISTS (SELECT 1 FROM tests t WHERE t.run_id = (SELECT run_id FROM run_keys k"
            " WHERE k.run_uuid = runs.run_uuid) AND t.verdict = 'ERROR') THEN 'ERROR'"
            " WHEN ended_how = 'completed' THEN 'PASS' WHEN ended_how IS NOT NULL THEN 'ERROR' END"
            " WHERE tests_passed > 0 OR tests_failed > 0",
            // Numbering an attempt counts the runs of a serial started before.
            "CREATE INDEX runs_by_serial_start ON runs (serial, started_at)",
            "CREATE INDEX runs_by_lot ON runs (lot, started_at)",
            // The last run is the one that ended last.
            "CREATE INDEX runs_by_end ON runs (ended_at)",
        },
        {
            // Drift reads a model's runs in start order and one figure of
            // each from the indexes alone: a million tests in well under a
            // second. A run's tally tells whether its tests all completed, so
            // only the others are looked up test by test.
            "CREATE INDEX runs_for_drift ON runs (model, started_at, run_uuid, serial, attempt,"
            " tests_begun, tests_completed)",
            "CREATE INDEX measurements_for_drift ON measurements (run_id, name, test_index, value)",
        },
        {
            // The drift alarms a run's unit raised, kept with the run: one per
            // measurement of a test and rule at most.
            "CREATE TABLE alarms (run_id BIGINT NOT NULL, test_index INTEGER NOT NULL,"
            " measurement TEXT NOT NULL, rule INTEGER NOT NULL, side TEXT, text TEXT,"
            " raised_at TEXT, PRIMARY KEY (run_id, test_index, measurement, rule))",
        },
        {
            // A series holds the points one limits judged, so drift reads
            // each run's limits with its start, from the index alone; and
            // where it was tested, to read one station's and fixture's runs.
            "DROP INDEX runs_for_drift",
            "CREATE INDEX runs_for_series ON runs (model, started_at, run_uuid, serial, attempt,"
            " tests_begun, tests_completed, limits_sha256, host, fixture)",
        },
        {
            // An alarm says whether it judged its station's and fixture's
            // units (NULL, 0) or the model's on every station (1); a person
            // acknowledges one, which closes its series until it alarms
            // again.
            "ALTER TABLE alarms ADD COLUMN pooled INTEGER",
            "CREATE TABLE alarm_acks (run_id BIGINT NOT NULL, test_index INTEGER NOT NULL,"
            " measurement TEXT NOT NULL, rule INTEGER NOT NULL, acked_at TEXT NOT NULL,"
            " acked_by TEXT NOT NULL, host TEXT, note TEXT,"
            " PRIMARY KEY (run_id, test_index, measurement, rule))",
        },
        // Each run is sealed when it ends, in a chain per station.
        MigrateToSeals,
    };
    return migrations;
}

// Within the open transaction: the table of versions, and the steps of
// `version`.
Result<SqlRows> RunMigration(SqlConnection& connection, int version) {
    Result<SqlRows> result =
        connection.Run("CREATE TABLE IF NOT EXISTS orvalt_schema (version INTEGER NOT NULL)");
    if (result) {
        result = connection.Run(
            "INSERT INTO orvalt_schema (version) SELECT 0 WHERE NOT EXISTS "
            "(SELECT 1 FROM orvalt_schema)");
    }
    const Migration& migration = Migrations()[static_cast<std::size_t>(version)];
    for (const char* statement : migration.statements) {
        if (result) {
            result = connection.Run(statement);
        }
    }
    if (result && migration.code) {
        result = migration.code(connection);
    }
    if (result) {
        result = connection.Run("UPDATE orvalt_schema SET version = $1",
                                {static_cast<std::int64_t>(version + 1)});
    }
    return result;
}

Failure<std::string> NewerSchema(SqlConnection& connection, int found) {
    return Fail("Results database " + connection.Describe() + " has schema version " +
                std::to_string(found) + ", newer than this station's " +
                std::to_string(CurrentSchemaVersion()) +
                ": it is left untouched. Update the station to write to it.");
}

// One step up, in a transaction that holds the schema lock and reads the
// version again under it: another station may have taken the step while this
// one waited. The version reached, or why not.
Result<int> MigrateOneStep(SqlConnection& connection, int upTo) {
    if (Result<SqlRows> begun = connection.Begin(Transaction::Schema); !begun) {
        return Fail(begun.Error());
    }
    const Result<int> version = ReadSchemaVersion(connection);
    if (!version || *version > CurrentSchemaVersion()) {
        RollBack(connection);
        return version ? NewerSchema(connection, *version) : Fail(version.Error());
    }
    Result<SqlRows> step = SqlRows{};
    if (*version < upTo) {
        step = RunMigration(connection, *version);
    }
    if (step) {
        step = connection.Run("COMMIT");
    }
    if (!step) {
        RollBack(connection);
        return Fail(step.Error());
    }
    return std::min(*version + 1, upTo);
}

}  // namespace

int CurrentSchemaVersion() {
    return static_cast<int>(Migrations().size());
}

Result<int> ReadSchemaVersion(SqlConnection& connection) {
    Result<SqlRows> table = connection.Run(
        "SELECT COUNT(*) FROM information_schema.tables WHERE table_name = 'orvalt_schema'");
    if (!table) {
        table = connection.Run(
            "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'orvalt_schema'");
    }
    if (!table) {
        return Fail(table.Error());
    }
    if (CellInteger(table->at(0).at(0)) == 0) {
        return 0;
    }
    const Result<SqlRows> version = connection.Run("SELECT MAX(version) FROM orvalt_schema");
    if (!version) {
        return Fail(version.Error());
    }
    const bool any = !version->empty() && (*version)[0][0];
    return any ? static_cast<int>(CellInteger((*version)[0][0])) : 0;
}

Result<int> PrepareSchema(SqlConnection& connection, int upTo) {
    const Result<int> found = ReadSchemaVersion(connection);
    if (!found) {
        return found;
    }
    if (*found > CurrentSchemaVersion()) {
        return NewerSchema(connection, *found);
    }
    // Each pass reaches at least one version more than it found under the lock.
    int reached = *found;
    upTo = std::min(upTo, CurrentSchemaVersion());
    for (int pass = 0; pass < CurrentSchemaVersion() && reached < upTo; ++pass) {
        const Result<int> step = MigrateOneStep(connection, upTo);
        if (!step) {
            return Fail(step.Error());
        }
        reached = *step;
    }
    return found;
}

}  // namespace orvalt
