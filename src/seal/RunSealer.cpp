#include "seal/RunSealer.h"

#include "platform/UtcTime.h"
#include "seal/RunSeal.h"

namespace orvalt {

namespace {

// The head row exists, then is locked by an update that changes nothing, so
// that what is read after it is what the last seal of the chain committed.
Result<SqlRows> LockChainHead(SqlConnection& db, const std::string& keyId) {
    Result<SqlRows> done = db.Run(
        "INSERT INTO seal_heads (key_id, position, seal_digest) VALUES ($1, 0, '')"
        " ON CONFLICT (key_id) DO NOTHING",
        {keyId});
    if (done) {
        done = db.Run("UPDATE seal_heads SET position = position WHERE key_id = $1", {keyId});
    }
    return done;
}

Result<bool> HasSeal(SqlConnection& db, const std::string& uuid) {
    const Result<SqlRows> found = db.Run("SELECT 1 FROM run_seals WHERE run_uuid = $1", {uuid});
    if (!found) {
        return Fail(found.Error());
    }
    return !found->empty();
}

}  // namespace

RunSealer::RunSealer(StationKey key) : key_(std::move(key)) {}

RunSealer::RunSealer(std::string unsealedBecause) : unsealedBecause_(std::move(unsealedBecause)) {}

Result<SqlRows> RunSealer::SealEnded(SqlConnection& db,
                                     const std::vector<std::string>& uuids) const {
    Result<SqlRows> result = SqlRows{};
    for (std::size_t i = 0; result && i < uuids.size(); ++i) {
        result = SealOne(db, uuids[i]);
    }
    return result;
}

Result<SqlRows> RunSealer::SealOne(SqlConnection& db, const std::string& uuid) const {
    const Result<SqlRows> run =
        db.Run("SELECT started_at FROM runs WHERE run_uuid = $1 AND ended_how IS NOT NULL", {uuid});
    if (!run || run->empty()) {
        return run;
    }
    RunSeal seal;
    seal.runUuid = uuid;
    seal.startedAt = CellText(run->front()[0]);
    if (!key_) {
        return MarkUnsealed(db, uuid, seal.startedAt);
    }
    // Digested before the chain's head is taken, which other fixtures wait for.
    Result<PartDigests> parts = DigestRun(db, uuid);
    if (!parts) {
        return Fail(parts.Error());
    }
    seal.parts = std::move(*parts);
    seal.keyId = key_->Id();
    Result<SqlRows> result = LockChainHead(db, seal.keyId);
    if (!result) {
        return result;
    }
    const Result<bool> sealed = HasSeal(db, uuid);
    if (!sealed || *sealed) {
        return sealed ? SqlRows{} : Result<SqlRows>(Fail(sealed.Error()));
    }
    const Result<std::optional<SealEra>> era = ReadSealEra(db);
    if (!era) {
        return Fail(era.Error());
    }
    const Result<SqlRows> head = db.Run(
        "UPDATE seal_heads SET position = position + 1 WHERE key_id = $1"
        " RETURNING position, seal_digest",
        {seal.keyId});
    if (!head || head->empty()) {
        return head ? Fail("The chain head of key " + seal.keyId + " is gone.")
                    : Result<SqlRows>(Fail(head.Error()));
    }
    seal.position = CellInteger(head->front()[0]);
    seal.previous = CellText(head->front()[1]);
    seal.sealedAt = UtcIsoNow();
    const SealEra sealedIn = era->value_or(SealEra{});
    Result<std::string> signature = key_->Sign(SealMessage(seal, sealedIn));
    if (!signature) {
        return Fail(signature.Error());
    }
    seal.signature = std::move(*signature);
    result = InsertRunSeal(db, seal);
    if (result) {
        result = db.Run("UPDATE seal_heads SET seal_digest = $2, run_uuid = $3 WHERE key_id = $1",
                        {seal.keyId, SealDigest(seal, sealedIn), uuid});
    }
    return result;
}

Result<SqlRows> RunSealer::MarkUnsealed(SqlConnection& db, const std::string& uuid,
                                        const std::string& startedAt) const {
    return db.Run(
        "INSERT INTO run_seals (run_uuid, started_at, sealed_at, unsealed_reason)"
        " VALUES ($1, $2, $3, $4) ON CONFLICT (run_uuid) DO NOTHING",
        {uuid, startedAt, UtcIsoNow(), unsealedBecause_});
}

}  // namespace orvalt
