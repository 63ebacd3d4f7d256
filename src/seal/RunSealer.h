#pragma once
// Seals runs as they end, in the transaction that records the end: the seal
// takes the next place in its station's chain, whose head row it updates, so
// fixtures of one station in separate processes, writing at once, still make
// one chain: each waits for the head the other holds. Without its key the
// station still records; the run is marked as recorded unsealed, with why.

#include <optional>
#include <string>
#include <vector>

#include "records/SqlConnection.h"
#include "seal/StationKey.h"

namespace orvalt {

class RunSealer {
  public:
    explicit RunSealer(StationKey key);
    // Runs are marked unsealed, `why` kept with each.
    explicit RunSealer(std::string unsealedBecause);

    // Within the open transaction: seals each run of `uuids` that has ended
    // and has no seal yet (a run forwarded twice is sealed once).
    Result<SqlRows> SealEnded(SqlConnection& connection,
                              const std::vector<std::string>& uuids) const;

    const std::optional<StationKey>& Key() const { return key_; }
    const std::string& UnsealedBecause() const { return unsealedBecause_; }

  private:
    Result<SqlRows> SealOne(SqlConnection& connection, const std::string& uuid) const;
    Result<SqlRows> MarkUnsealed(SqlConnection& connection, const std::string& uuid,
                                 const std::string& startedAt) const;

    std::optional<StationKey> key_;
    std::string unsealedBecause_;
};

}  // namespace orvalt
