#include "records/PgConnection.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "domain/HexDigit.h"
#include "records/StoredText.h"

namespace orvalt {

namespace {

// A server that does not answer must not hold the recording up for long.
constexpr const char* kConnectTimeoutSeconds = "5";

// The key of the lock a schema change holds, the same in every station.
constexpr const char* kSchemaLockSql = "SELECT pg_advisory_xact_lock(5064052768577094484)";

// Classes of SQLSTATE that refuse the values themselves: data exceptions
// (a byte sequence, a number out of range), integrity constraints, and
// program limits such as an index row too large.
bool RefusesValues(const char* sqlState) {
    const std::string state = sqlState ? sqlState : "";
    return state.starts_with("22") || state.starts_with("23") || state.starts_with("54");
}

std::string FirstLine(const char* text) {
    std::string line = text ? text : "";
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) {
        line.pop_back();
    }
    if (auto end = line.find('\n'); end != std::string::npos) {
        line.resize(end);
    }
    return line;
}

// A BYTEA in the server's text form: "\x" and two hex digits a byte.
std::string HexBytes(std::string_view bytes) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "\\x";
    text.reserve(2 + bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

std::string BytesFromHex(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t at = 2; at + 1 < text.size(); at += 2) {
        bytes += static_cast<char>(HexDigitValue(text[at]) * 16 + HexDigitValue(text[at + 1]));
    }
    return bytes;
}

// The server's type number of BYTEA (pg_type.oid), fixed since its first release.
constexpr Oid kByteaType = 17;

SqlCell CellOf(const PGresult* result, int row, int column) {
    if (PQgetisnull(result, row, column)) {
        return std::nullopt;
    }
    const std::string_view text(PQgetvalue(result, row, column),
                                static_cast<std::size_t>(PQgetlength(result, row, column)));
    return PQftype(result, column) == kByteaType ? BytesFromHex(text) : TextFromStored(text);
}

std::string ParamText(const SqlValue& value) {
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return std::to_string(*number);
    }
    if (const auto* real = std::get_if<double>(&value)) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", *real);
        return text;
    }
    if (const auto* blob = std::get_if<SqlBytes>(&value)) {
        return HexBytes(blob->bytes);
    }
    return StoredText(std::get<std::string>(value));
}

SqlRow RowAt(const PGresult* result, int row) {
    SqlRow cells;
    const int columns = PQnfields(result);
    for (int column = 0; column < columns; ++column) {
        cells.push_back(CellOf(result, row, column));
    }
    return cells;
}

SqlRows ResultRows(const PGresult* result) {
    SqlRows rows;
    for (int row = 0; row < PQntuples(result); ++row) {
        rows.push_back(RowAt(result, row));
    }
    return rows;
}

using PgResult = std::unique_ptr<PGresult, decltype(&PQclear)>;

// The parameters as libpq takes them: texts, and a null pointer for NULL.
class ParamTexts {
  public:
    explicit ParamTexts(const std::vector<SqlValue>& params) {
        texts_.reserve(params.size());
        for (const auto& param : params) {
            const bool null = std::holds_alternative<std::monostate>(param);
            texts_.push_back(null ? std::string() : ParamText(param));
            pointers_.push_back(null ? nullptr : texts_.back().c_str());
        }
    }
    ParamTexts(const ParamTexts&) = delete;
    ParamTexts& operator=(const ParamTexts&) = delete;

    int Count() const { return static_cast<int>(pointers_.size()); }
    const char* const* Pointers() const { return pointers_.data(); }

  private:
    std::vector<std::string> texts_;
    std::vector<const char*> pointers_;
};

}  // namespace

// The URL's keywords, then the station's own defaults for those it leaves out.
std::vector<std::pair<std::string, std::string>> ConnectKeywords(const ServerUrl& url,
                                                                 PgAccess access) {
    auto keywords = url.keywords;
    const auto given = [&](std::string_view key) {
        return std::any_of(keywords.begin(), keywords.end(),
                           [&](const auto& keyword) { return keyword.first == key; });
    };
    if (!given("connect_timeout")) {
        keywords.emplace_back("connect_timeout", kConnectTimeoutSeconds);
    }
    if (!given("application_name")) {
        keywords.emplace_back("application_name", "orvalt");
    }
    // The texts sent are UTF-8 (StoredText.h), whatever the server's or the URL's encoding.
    std::erase_if(keywords, [](const auto& keyword) { return keyword.first == "client_encoding"; });
    keywords.emplace_back("client_encoding", "UTF8");
    if (access == PgAccess::ReadOnly && !given("options")) {
        keywords.emplace_back("options", "-c default_transaction_read_only=on");
    }
    return keywords;
}

Result<std::unique_ptr<SqlConnection>> PgConnection::Open(const ServerUrl& url, PgAccess access) {
    const auto keywords = ConnectKeywords(url, access);
    std::vector<const char*> keys, values;
    for (const auto& [key, value] : keywords) {
        keys.push_back(key.c_str());
        values.push_back(value.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    // The keywords are taken as they are: none of them is read as a URL again.
    pg_conn* connection = PQconnectdbParams(keys.data(), values.data(), 0);
    if (!connection || PQstatus(connection) != CONNECTION_OK) {
        std::string message =
            "Results server " + url.shown + ": " +
            (connection ? FirstLine(PQerrorMessage(connection)) : "out of memory");
        PQfinish(connection);
        return Fail(std::move(message));
    }
    PQsetErrorVerbosity(connection, PQERRORS_TERSE);
    // Server notices ("already exists, skipping") are not for the operator.
    PQsetNoticeProcessor(
        connection, [](void*, const char*) {}, nullptr);
    return std::unique_ptr<SqlConnection>(std::make_unique<PgConnection>(connection, url.shown));
}

PgConnection::PgConnection(pg_conn* connection, std::string where)
    : connection_(connection), where_(std::move(where)) {}

PgConnection::~PgConnection() {
    PQfinish(connection_);
}

std::string PgConnection::Describe() const {
    return where_;
}

Failure<std::string> PgConnection::Failed(const char* sqlState) {
    refused_ = PQstatus(connection_) == CONNECTION_OK && RefusesValues(sqlState);
    return Fail("Results server " + where_ + ": " + FirstLine(PQerrorMessage(connection_)));
}

// A schema change also waits for the lock every station takes for one; DDL
// is transactional here, so the loser finds the winner's schema whole.
Result<SqlRows> PgConnection::Begin(Transaction kind) {
    Result<SqlRows> begun = Run("BEGIN");
    if (begun && kind == Transaction::Schema) {
        begun = Run(kSchemaLockSql);
    }
    return begun;
}

Result<const std::string*> PgConnection::PreparedName(const std::string& sql) {
    if (auto found = prepared_.find(sql); found != prepared_.end()) {
        return &found->second;
    }
    const std::string name = NumberedName('s', prepared_.size());
    std::unique_ptr<PGresult, decltype(&PQclear)> result(
        PQprepare(connection_, name.c_str(), sql.c_str(), 0, nullptr), &PQclear);
    if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
        return Failed();
    }
    return &prepared_.emplace(sql, name).first->second;
}

Result<SqlRows> PgConnection::Run(std::string_view sql, const std::vector<SqlValue>& params) {
    const ParamTexts texts(params);
    const Result<const std::string*> name = PreparedName(std::string(sql));
    if (!name) {
        return Fail(name.Error());
    }
    PgResult result(PQexecPrepared(connection_, (*name)->c_str(), texts.Count(), texts.Pointers(),
                                   nullptr, nullptr, 0),
                    &PQclear);
    const auto status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        return Failed(result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr);
    }
    return ResultRows(result.get());
}

// Single-row mode rather than a cursor: one round trip and no transaction to
// open, and the server, writing into a socket nobody empties, waits while a
// row is taken; libpq holds one row at a time.
Result<void> PgConnection::RunRowByRow(std::string_view sql, const std::vector<SqlValue>& params,
                                       const SqlRowTaker& take) {
    const ParamTexts texts(params);
    const Result<const std::string*> name = PreparedName(std::string(sql));
    if (!name) {
        return Fail(name.Error());
    }
    if (!PQsendQueryPrepared(connection_, (*name)->c_str(), texts.Count(), texts.Pointers(),
                             nullptr, nullptr, 0)) {
        return Failed();
    }
    PQsetSingleRowMode(connection_);
    return TakeRows(take);
}

// Every result of the statement sent, to the last, so that the connection is
// free again whatever happened on the way.
Result<void> PgConnection::TakeRows(const SqlRowTaker& take) {
    std::optional<Failure<std::string>> failed;
    while (PgResult result{PQgetResult(connection_), &PQclear}) {
        const auto status = PQresultStatus(result.get());
        if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) {
            for (int row = 0; row < PQntuples(result.get()) && !failed; ++row) {
                take(RowAt(result.get(), row));
            }
        } else if (status != PGRES_COMMAND_OK && !failed) {
            failed = Failed(PQresultErrorField(result.get(), PG_DIAG_SQLSTATE));
        }
    }
    if (failed) {
        return std::move(*failed);
    }
    return {};
}

}  // namespace orvalt
