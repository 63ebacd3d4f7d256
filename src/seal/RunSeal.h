#pragma once
// A run's seal: which station key made it and where in that station's chain,
// the digest of the seal before it, the digests of the run's parts, and the
// signature over all of it. The signed message is plain text, one field a
// line, each value with its length, so that anyone can check a seal with the
// station's public key and any Ed25519 tool (docs/results-database.md).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/SqlConnection.h"
#include "seal/RunDigest.h"

namespace orvalt {

// When the database began sealing runs: runs numbered up to `lastRunBefore`
// (run_keys.run_id) were recorded before. Every seal signs it.
struct SealEra {
    std::string beganAt;
    std::int64_t lastRunBefore = 0;
};

struct RunSeal {
    std::string runUuid, startedAt, keyId;
    std::int64_t position = 0;  // 1 for a station's first sealed run
    std::string previous;       // the digest of the seal before it; empty for the first
    PartDigests parts{};
    std::string sealedAt;
    std::string signature{};  // hex; not part of the message
};

std::string SealMessage(const RunSeal& seal, const SealEra& era);
// What the next seal of the chain names as its previous one.
std::string SealDigest(const RunSeal& seal, const SealEra& era);

// The era as the database keeps it; none when it keeps none.
Result<std::optional<SealEra>> ReadSealEra(SqlConnection& connection);

// The run_seals columns a RunSeal is read from, in RunSealOf's order, and the
// statement that writes one.
extern const char* const kRunSealColumns;
RunSeal RunSealOf(const SqlRow& row, std::size_t first = 0);
Result<SqlRows> InsertRunSeal(SqlConnection& connection, const RunSeal& seal);

}  // namespace orvalt
