#include "records/SqlConnection.h"

#include <charconv>
#include <cstdlib>

#include "domain/DatabaseUrl.h"
#include "records/PgConnection.h"
#include "records/SqliteConnection.h"

namespace orvalt {

namespace {

Result<std::unique_ptr<SqlConnection>> OpenTarget(const std::string& target, PgAccess access) {
    const bool toRead = access == PgAccess::ReadOnly;
    if (target.empty()) {
        return Fail("No results database is set.");
    }
    if (!LooksLikeUrl(target)) {
        return toRead ? SqliteConnection::OpenToRead(target) : SqliteConnection::Open(target);
    }
    const Result<ServerUrl> url = ParseServerUrl(target);
    if (!url) {
        return Fail("Results server " + ShownDatabase(target) + ": " + url.Error());
    }
    return PgConnection::Open(*url, access);
}

}  // namespace

Result<std::unique_ptr<SqlConnection>> OpenSqlConnection(const std::string& target) {
    return OpenTarget(target, PgAccess::ReadWrite);
}

Result<std::unique_ptr<SqlConnection>> OpenSqlConnectionToRead(const std::string& target) {
    return OpenTarget(target, PgAccess::ReadOnly);
}

void RollBack(SqlConnection& connection) {
    [[maybe_unused]] const auto undone = connection.Run("ROLLBACK");
}

// A cell as the drivers write numbers is read whole by from_chars, several
// times faster than strtod over a million cells; anything else it leaves
// (a '+', spaces, a server's "Infinity") is read as before.
double CellNumber(const SqlCell& cell) {
    if (!cell) {
        return 0.0;
    }
    double value = 0.0;
    const char* end = cell->data() + cell->size();
    if (const auto read = std::from_chars(cell->data(), end, value);
        read.ec == std::errc() && read.ptr == end) {
        return value;
    }
    return std::strtod(cell->c_str(), nullptr);
}

std::optional<double> CellReal(const SqlCell& cell) {
    if (!cell) {
        return std::nullopt;
    }
    double value = 0.0;
    const char* end = cell->data() + cell->size();
    if (const auto read = std::from_chars(cell->data(), end, value);
        read.ec == std::errc() && read.ptr == end) {
        return value;
    }
    return std::nullopt;
}

std::int64_t CellInteger(const SqlCell& cell) {
    if (!cell) {
        return 0;
    }
    std::int64_t value = 0;
    const char* end = cell->data() + cell->size();
    if (const auto read = std::from_chars(cell->data(), end, value);
        read.ec == std::errc() && read.ptr == end) {
        return value;
    }
    return std::strtoll(cell->c_str(), nullptr, 10);
}

std::string CellText(const SqlCell& cell) {
    return cell.value_or(std::string());
}

// Appended rather than prefix + number: GCC 12 at -O3 sees a false overlap there.
std::string NumberedName(char prefix, std::size_t number) {
    std::string name(1, prefix);
    name += std::to_string(number);
    return name;
}

}  // namespace orvalt
