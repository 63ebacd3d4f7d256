#include "records/RoleAccess.h"

namespace orvalt {

namespace {

constexpr const char* kSuperuserSql = "SELECT rolsuper FROM pg_roles WHERE rolname = current_user";

// A table not made yet (a server without the schema) has no privileges to
// ask about; the order is the tables' and the privileges' as listed.
constexpr const char* kTableWritesSql =
    "SELECT p.privilege || ' on ' || t.name FROM"
    " (VALUES (1, 'runs'), (2, 'run_keys'), (3, 'run_settings'), (4, 'tests'),"
    " (5, 'measurements'), (6, 'reading_blocks'), (7, 'switches'), (8, 'diag_blocks'),"
    " (9, 'alarms'), (10, 'alarm_acks'), (11, 'orvalt_schema')) AS t (position, name)"
    " CROSS JOIN (VALUES (1, 'INSERT'), (2, 'UPDATE'), (3, 'DELETE'), (4, 'TRUNCATE'))"
    " AS p (position, privilege)"
    " WHERE to_regclass(t.name) IS NOT NULL"
    " AND has_table_privilege(to_regclass(t.name), p.privilege)"
    " ORDER BY t.position, p.position";

constexpr const char* kCreateSql =
    "SELECT 'CREATE on the database' WHERE has_database_privilege(current_database(), 'CREATE')"
    " UNION ALL SELECT 'CREATE on schema public' FROM pg_namespace"
    " WHERE nspname = 'public' AND has_schema_privilege(oid, 'CREATE')";

Result<void> AddFirstColumn(SqlConnection& connection, const char* sql,
                            std::vector<std::string>& into) {
    return EachRow(connection.Run(sql),
                   [&into](const SqlRow& row) { into.push_back(CellText(row[0])); });
}

}  // namespace

Result<std::vector<std::string>> WritesAllowed(SqlConnection& connection) {
    std::vector<std::string> writes;
    if (connection.Dialect() != SqlDialect::Postgres) {
        return writes;
    }
    const Result<SqlRows> superuser = connection.Run(kSuperuserSql);
    if (!superuser) {
        return Fail(superuser.Error());
    }
    if (!superuser->empty() && CellText((*superuser)[0][0]) == "t") {
        return std::vector<std::string>{"superuser"};
    }
    for (const char* sql : {kTableWritesSql, kCreateSql}) {
        if (const Result<void> added = AddFirstColumn(connection, sql, writes); !added) {
            return Fail(added.Error());
        }
    }
    return writes;
}

}  // namespace orvalt
