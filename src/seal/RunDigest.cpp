#include "seal/RunDigest.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

#include "domain/HexDigit.h"
#include "domain/Joined.h"
#include "records/Sha256.h"

namespace orvalt {

namespace {

enum class Kind { Text, Integer, Real, Bytes };

struct Column {
    const char* name;
    Kind kind;
};

struct Table {
    const char* name;
    std::vector<Column> columns;
};

// The columns each part covers, fixed for this form of the seal: a column a
// later schema adds is not sealed by it. A run's attempt is no column here:
// the database numbers it again when an earlier run of the unit arrives late,
// and a check counts it from the sealed serial and start instead.
const std::vector<Table>& PartTables(SealedPart part) {
    constexpr Kind T = Kind::Text, I = Kind::Integer, R = Kind::Real, B = Kind::Bytes;
    static const std::vector<Table> run{{"runs",
                                         {{"run_uuid", T},
                                          {"started_at", T},
                                          {"host", T},
                                          {"operator", T},
                                          {"fixture", T},
                                          {"plan_name", T},
                                          {"plan_sha256", T},
                                          {"plan_text", T},
                                          {"manufacturer", T},
                                          {"model", T},
                                          {"type", T},
                                          {"power", T},
                                          {"size", T},
                                          {"driver_manufacturer", T},
                                          {"driver_model", T},
                                          {"serial", T},
                                          {"ended_at", T},
                                          {"ended_how", T},
                                          {"end_reason", T},
                                          {"tests_begun", I},
                                          {"tests_completed", I},
                                          {"tests_passed", I},
                                          {"tests_failed", I},
                                          {"login", T},
                                          {"lot", T},
                                          {"limits_name", T},
                                          {"limits_sha256", T},
                                          {"limits_text", T},
                                          {"program_version", T},
                                          {"u3_serial", T},
                                          {"u3_firmware", T},
                                          {"verdict", T}}}};
    static const std::vector<Table> settings{{"run_settings", {{"name", T}, {"value", T}}}};
    static const std::vector<Table> tests{{"tests",
                                           {{"test_index", I},
                                            {"plan_1", T},
                                            {"plan_2", T},
                                            {"plan_3", T},
                                            {"plan_4", T},
                                            {"plan_5", T},
                                            {"plan_6", T},
                                            {"plan_7", T},
                                            {"plan_8", T},
                                            {"plan_9", T},
                                            {"mode", T},
                                            {"started_at", T},
                                            {"ended_at", T},
                                            {"ended_how", T},
                                            {"summary_line", T},
                                            {"verdict", T},
                                            {"verdict_reasons", T}}}};
    static const std::vector<Table> measurements{{"measurements",
                                                  {{"test_index", I},
                                                   {"name", T},
                                                   {"value", R},
                                                   {"unit", T},
                                                   {"decimals", I},
                                                   {"min_value", R},
                                                   {"max_value", R},
                                                   {"outcome", T}}}};
    static const std::vector<Table> trace{
        {"switches", {{"seq", I}, {"test_index", I}, {"ms", I}, {"line", I}, {"state", I}}},
        {"reading_blocks",
         {{"first_seq", I}, {"test_index", I}, {"reading_count", I}, {"block", B}}},
        {"diag_blocks", {{"first_seq", I}, {"test_index", I}, {"line_count", I}, {"block", B}}}};
    switch (part) {
        case SealedPart::Run:
            return run;
        case SealedPart::Settings:
            return settings;
        case SealedPart::Tests:
            return tests;
        case SealedPart::Measurements:
            return measurements;
        case SealedPart::Trace:
            break;
    }
    return trace;
}

void AppendSized(std::string& out, char tag, std::string_view bytes) {
    out += tag;
    out += std::to_string(bytes.size());
    out += ':';
    out += bytes;
}

std::optional<std::int64_t> WholeInteger(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto read = std::from_chars(text.data(), end, value);
    return read.ec == std::errc() && read.ptr == end ? std::optional(value) : std::nullopt;
}

// Every NaN is one, and so is every zero: SQLite keeps -0.0 as the integer
// 0, a server keeps its sign, and no judgement tells them apart.
void AppendReal(std::string& out, double value) {
    const std::uint64_t bits = std::isnan(value) ? 0x7ff8000000000000ULL
                               : value == 0.0    ? 0
                                                 : std::bit_cast<std::uint64_t>(value);
    out += 'R';
    for (int shift = 60; shift >= 0; shift -= 4) {
        out += LowerHexDigit(static_cast<unsigned>(bits >> shift));
    }
}

// A number where the column holds one, else the text that is there instead
// (SQLite keeps whatever it is given), so a changed cell never reads the same.
void AppendCell(std::string& out, Kind kind, const SqlCell& cell) {
    if (!cell) {
        out += 'N';
        return;
    }
    if (kind == Kind::Integer) {
        if (const auto value = WholeInteger(*cell)) {
            out += 'I';
            out += std::to_string(*value);
            out += ';';
            return;
        }
    } else if (kind == Kind::Real) {
        if (const auto value = CellReal(cell)) {
            AppendReal(out, *value);
            return;
        }
    }
    AppendSized(out, kind == Kind::Bytes ? 'B' : 'T', *cell);
}

std::string SelectSql(const Table& table, const char* key) {
    std::vector<std::string> names;
    for (const Column& column : table.columns) {
        names.emplace_back(column.name);
    }
    return "SELECT " + Joined(names) + " FROM " + table.name + " WHERE " + key + " = $1";
}

// The rows of one table for the run, each in canonical form behind the
// table's name.
Result<void> AddRows(SqlConnection& db, const Table& table, const char* key, const SqlValue& run,
                     std::vector<std::string>& rows) {
    return EachRow(db.Run(SelectSql(table, key), {run}), [&](const SqlRow& row) {
        std::string canonical = table.name;
        canonical += '\n';
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            AppendCell(canonical, table.columns[i].kind, row[i]);
        }
        rows.push_back(std::move(canonical));
    });
}

std::string DigestOfRows(std::vector<std::string> rows) {
    std::sort(rows.begin(), rows.end());
    std::string all;
    for (const std::string& row : rows) {
        AppendSized(all, 'r', row);
    }
    return Sha256Hex(all);
}

Result<std::string> DigestPart(SqlConnection& db, SealedPart part, const std::string& uuid,
                               const std::optional<std::int64_t>& runKey) {
    std::vector<std::string> rows;
    for (const Table& table : PartTables(part)) {
        if (part != SealedPart::Run && !runKey) {
            continue;  // no key: the run has no rows of its own here
        }
        const Result<void> added = part == SealedPart::Run
                                       ? AddRows(db, table, "run_uuid", uuid, rows)
                                       : AddRows(db, table, "run_id", *runKey, rows);
        if (!added) {
            return Fail(added.Error());
        }
    }
    return DigestOfRows(std::move(rows));
}

}  // namespace

const char* SealedPartName(std::size_t part) {
    static const char* const kNames[kSealedParts] = {"its own record", "its settings", "its tests",
                                                     "its measurements", "its trace"};
    return part < kSealedParts ? kNames[part] : "?";
}

Result<PartDigests> DigestRun(SqlConnection& db, const std::string& uuid) {
    const Result<SqlRows> key = db.Run("SELECT run_id FROM run_keys WHERE run_uuid = $1", {uuid});
    if (!key) {
        return Fail(key.Error());
    }
    std::optional<std::int64_t> runKey;
    if (!key->empty() && key->front()[0]) {
        runKey = CellInteger(key->front()[0]);
    }
    PartDigests digests;
    for (std::size_t part = 0; part < kSealedParts; ++part) {
        Result<std::string> digest = DigestPart(db, static_cast<SealedPart>(part), uuid, runKey);
        if (!digest) {
            return Fail(digest.Error());
        }
        digests[part] = std::move(*digest);
    }
    return digests;
}

}  // namespace orvalt
