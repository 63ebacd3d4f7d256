#include "seal/RunSeal.h"

#include "records/Sha256.h"

namespace orvalt {

namespace {

void AddField(std::string& message, const char* name, const std::string& value) {
    message += name;
    message += ' ';
    message += std::to_string(value.size());
    message += ':';
    message += value;
    message += '\n';
}

constexpr const char* kPartFields[kSealedParts] = {"run", "settings", "tests", "measurements",
                                                   "trace"};

}  // namespace

const char* const kRunSealColumns =
    "run_uuid, started_at, key_id, position, previous, run_digest, settings_digest,"
    " tests_digest, measurements_digest, trace_digest, sealed_at, signature";

std::string SealMessage(const RunSeal& seal, const SealEra& era) {
    std::string message = "orvalt run seal 1\n";
    AddField(message, "run", seal.runUuid);
    AddField(message, "started", seal.startedAt);
    AddField(message, "key", seal.keyId);
    AddField(message, "position", std::to_string(seal.position));
    AddField(message, "previous", seal.previous);
    AddField(message, "era", era.beganAt);
    AddField(message, "era-last-run", std::to_string(era.lastRunBefore));
    for (std::size_t part = 0; part < kSealedParts; ++part) {
        AddField(message, kPartFields[part], seal.parts[part]);
    }
    AddField(message, "sealed", seal.sealedAt);
    return message;
}

std::string SealDigest(const RunSeal& seal, const SealEra& era) {
    return Sha256Hex(SealMessage(seal, era));
}

Result<std::optional<SealEra>> ReadSealEra(SqlConnection& connection) {
    const Result<SqlRows> rows =
        connection.Run("SELECT began_at, last_run_before FROM seal_era ORDER BY began_at");
    if (!rows) {
        return Fail(rows.Error());
    }
    if (rows->empty()) {
        return std::optional<SealEra>();
    }
    const SqlRow& row = rows->front();
    return std::optional<SealEra>(SealEra{CellText(row[0]), CellInteger(row[1])});
}

RunSeal RunSealOf(const SqlRow& row, std::size_t first) {
    RunSeal seal;
    seal.runUuid = CellText(row[first]);
    seal.startedAt = CellText(row[first + 1]);
    seal.keyId = CellText(row[first + 2]);
    seal.position = CellInteger(row[first + 3]);
    seal.previous = CellText(row[first + 4]);
    for (std::size_t part = 0; part < kSealedParts; ++part) {
        seal.parts[part] = CellText(row[first + 5 + part]);
    }
    seal.sealedAt = CellText(row[first + 10]);
    seal.signature = CellText(row[first + 11]);
    return seal;
}

Result<SqlRows> InsertRunSeal(SqlConnection& connection, const RunSeal& seal) {
    std::vector<SqlValue> values{seal.runUuid, seal.startedAt, seal.keyId, seal.position,
                                 seal.previous};
    for (const std::string& digest : seal.parts) {
        values.emplace_back(digest);
    }
    values.emplace_back(seal.sealedAt);
    values.emplace_back(seal.signature);
    return connection.Run(std::string("INSERT INTO run_seals (") + kRunSealColumns +
                              ") VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12)",
                          values);
}

}  // namespace orvalt
