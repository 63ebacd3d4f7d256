#include "records/RoleAccess.h"

#include <algorithm>
#include <iterator>

#include "domain/Joined.h"

namespace orvalt {

namespace {

// The login first, then every role it may SET ROLE to, directly or through
// others, whether it inherits their rights or not.
constexpr const char* kReachableRolesSql =
    "SELECT rolname FROM pg_roles WHERE pg_has_role(current_user, oid, 'MEMBER')"
    " ORDER BY rolname = current_user DESC, rolname";

// What the role $1 may do to the records, through every role it inherits
// from and PUBLIC. A table not made yet (a server without the schema) has no
// privileges to ask about. An owner may grant itself anything on what it
// owns, so ownership is named rather than the privileges it holds now.
// TRIGGER counts: a trigger runs with the rights of the station that writes.
// A SECURITY DEFINER function runs with its owner's rights, which the role
// borrows when its owner may write. Temporary tables (TEMP) and reading
// past row security (BYPASSRLS) change nothing of the records.
constexpr const char* kRoleWritesSql =
    "WITH who AS (SELECT oid AS id FROM pg_roles WHERE rolname = $1),"
    " present AS (SELECT t.position, t.name, c.oid AS rel, c.relowner, c.relnamespace FROM"
    " (VALUES (1, 'runs'), (2, 'run_keys'), (3, 'run_settings'), (4, 'tests'),"
    " (5, 'measurements'), (6, 'reading_blocks'), (7, 'switches'), (8, 'diag_blocks'),"
    " (9, 'alarms'), (10, 'alarm_acks'), (11, 'run_seals'), (12, 'seal_heads'),"
    " (13, 'seal_era'), (14, 'orvalt_schema')) AS t (position, name)"
    " JOIN pg_class c ON c.oid = to_regclass(t.name)),"
    " writing (position, privilege) AS (VALUES (1, 'INSERT'), (2, 'UPDATE'), (3, 'DELETE'),"
    " (4, 'TRUNCATE'), (5, 'TRIGGER')),"
    " column_writing (position, privilege) AS (VALUES (1, 'INSERT'), (2, 'UPDATE')),"
    " sequence_writing (position, privilege) AS (VALUES (1, 'UPDATE'), (2, 'USAGE')),"
    " writer (id) AS (SELECT r.oid FROM pg_roles r WHERE r.rolsuper"
    " OR EXISTS (SELECT 1 FROM present p, writing w WHERE pg_has_role(r.oid, p.relowner, 'USAGE')"
    " OR has_table_privilege(r.oid, p.rel, w.privilege))"
    " OR EXISTS (SELECT 1 FROM present p, column_writing w"
    " WHERE has_any_column_privilege(r.oid, p.rel, w.privilege)))"
    " SELECT item FROM ("
    "SELECT 0 AS part, 0 AS position, '' AS name, 'superuser' AS item FROM pg_roles r, who"
    " WHERE r.oid = who.id AND r.rolsuper"
    " UNION ALL SELECT 1, 0, '', 'CREATEROLE' FROM pg_roles r, who"
    " WHERE r.oid = who.id AND r.rolcreaterole"
    " UNION ALL SELECT 2, 0, r.rolname, r.rolname FROM pg_roles r, who"
    " WHERE r.rolname IN ('pg_write_all_data', 'pg_write_server_files',"
    " 'pg_execute_server_program') AND pg_has_role(who.id, r.oid, 'USAGE')"
    " UNION ALL SELECT 3, p.position * 10, '', 'owner of ' || p.name FROM present p, who"
    " WHERE pg_has_role(who.id, p.relowner, 'USAGE')"
    " UNION ALL SELECT 3, p.position * 10 + w.position, '', w.privilege || ' on ' || p.name"
    " FROM present p, writing w, who WHERE NOT pg_has_role(who.id, p.relowner, 'USAGE')"
    " AND has_table_privilege(who.id, p.rel, w.privilege)"
    " UNION ALL SELECT 3, p.position * 10 + w.position, '', w.privilege || ' ('"
    " || (SELECT string_agg(a.attname, ', ' ORDER BY a.attnum) FROM pg_attribute a"
    " WHERE a.attrelid = p.rel AND a.attnum > 0 AND NOT a.attisdropped"
    " AND has_column_privilege(who.id, p.rel, a.attnum, w.privilege)) || ') on ' || p.name"
    " FROM present p, column_writing w, who WHERE NOT pg_has_role(who.id, p.relowner, 'USAGE')"
    " AND NOT has_table_privilege(who.id, p.rel, w.privilege)"
    " AND has_any_column_privilege(who.id, p.rel, w.privilege)"
    " UNION ALL SELECT 4, 0, s.relname, 'owner of sequence ' || s.relname FROM pg_class s, who"
    " WHERE s.relkind = 'S' AND s.relnamespace IN (SELECT relnamespace FROM present)"
    " AND pg_has_role(who.id, s.relowner, 'USAGE')"
    " UNION ALL SELECT 4, w.position, s.relname, w.privilege || ' on sequence ' || s.relname"
    " FROM pg_class s, sequence_writing w, who WHERE s.relkind = 'S'"
    " AND s.relnamespace IN (SELECT relnamespace FROM present)"
    " AND NOT pg_has_role(who.id, s.relowner, 'USAGE')"
    " AND has_sequence_privilege(who.id, s.oid, w.privilege)"
    " UNION ALL SELECT 5, 0, f.oid::regprocedure::text, 'EXECUTE on ' ||"
    " f.oid::regprocedure::text || ' (SECURITY DEFINER, owned by ' ||"
    " pg_get_userbyid(f.proowner) || ')' FROM pg_proc f"
    " JOIN pg_namespace n ON n.oid = f.pronamespace, who"
    " WHERE f.prosecdef AND n.nspname NOT LIKE 'pg\\_%' AND n.nspname <> 'information_schema'"
    " AND NOT pg_has_role(who.id, f.proowner, 'USAGE')"
    " AND has_function_privilege(who.id, f.oid, 'EXECUTE')"
    " AND f.proowner IN (SELECT id FROM writer)"
    " UNION ALL SELECT 6, 0, '', CASE WHEN pg_has_role(who.id, d.datdba, 'USAGE')"
    " THEN 'owner of the database' ELSE 'CREATE on the database' END FROM pg_database d, who"
    " WHERE d.datname = current_database() AND (pg_has_role(who.id, d.datdba, 'USAGE')"
    " OR has_database_privilege(who.id, d.oid, 'CREATE'))"
    " UNION ALL SELECT 7, 0, n.nspname, CASE WHEN pg_has_role(who.id, n.nspowner, 'USAGE')"
    " THEN 'owner of schema ' ELSE 'CREATE on schema ' END || n.nspname FROM pg_namespace n, who"
    " WHERE n.nspname NOT LIKE 'pg\\_%' AND n.nspname <> 'information_schema'"
    " AND (pg_has_role(who.id, n.nspowner, 'USAGE') OR has_schema_privilege(who.id, n.oid,"
    " 'CREATE'))"
    ") AS items ORDER BY part, position, name";

constexpr const char* kSuperuser = "superuser";

Result<std::vector<std::string>> FirstColumn(SqlConnection& connection, const char* sql,
                                             const std::vector<SqlValue>& params = {}) {
    return RowsAs<std::string>(connection.Run(sql, params),
                               [](const SqlRow& row) { return CellText(row[0]); });
}

// What the role may write; a superuser may write anything, which says it all.
Result<std::vector<std::string>> WritesOfRole(SqlConnection& connection, const std::string& role) {
    Result<std::vector<std::string>> writes = FirstColumn(connection, kRoleWritesSql, {role});
    if (writes && !writes->empty() && writes->front() == kSuperuser) {
        return std::vector<std::string>{kSuperuser};
    }
    return writes;
}

// Of `theirs`, what `own` does not hold already.
std::vector<std::string> Beyond(const std::vector<std::string>& theirs,
                                const std::vector<std::string>& own) {
    std::vector<std::string> more;
    std::copy_if(theirs.begin(), theirs.end(), std::back_inserter(more), [&own](const auto& one) {
        return std::find(own.begin(), own.end(), one) == own.end();
    });
    return more;
}

}  // namespace

Result<std::vector<std::string>> WritesAllowed(SqlConnection& connection) {
    if (connection.Dialect() != SqlDialect::Postgres) {
        return std::vector<std::string>();
    }
    const Result<std::vector<std::string>> roles = FirstColumn(connection, kReachableRolesSql);
    if (!roles) {
        return Fail(roles.Error());
    }
    if (roles->empty()) {
        return Fail(std::string("the server does not know the login's own role"));
    }
    Result<std::vector<std::string>> own = WritesOfRole(connection, roles->front());
    if (!own || (!own->empty() && own->front() == kSuperuser)) {
        return own;
    }
    std::vector<std::string> writes = *own;
    // Attributes such as CREATEROLE are never inherited, so even a role whose
    // rights the login inherits may add to them.
    for (auto role = roles->begin() + 1; role != roles->end(); ++role) {
        const Result<std::vector<std::string>> theirs = WritesOfRole(connection, *role);
        if (!theirs) {
            return Fail(theirs.Error());
        }
        if (const std::vector<std::string> more = Beyond(*theirs, *own); !more.empty()) {
            writes.push_back("SET ROLE " + *role + " (" + Joined(more) + ")");
        }
    }
    return writes;
}

}  // namespace orvalt
