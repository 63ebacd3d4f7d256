#pragma once
// Checks the seals of the recorded runs against the station keys given:
// each sealed run still reads as it was sealed (each part, and its attempt,
// counted again from its unit's runs), each seal is signed by its key and
// follows the one before it in its station's chain, and no chain has lost
// its newest seals. Each broken seal is one line: a changed run, a removed
// run, an inserted run, a run recorded unsealed. Runs recorded before the
// database sealed runs, and runs not ended yet, are counted, not broken.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "records/SqlConnection.h"
#include "seal/TrustedKeys.h"

namespace orvalt {

// One run, the runs started on or after a day, or all. Only a check of all
// looks for the chains' lost newest seals and for keys that sealed nothing.
struct SealScope {
    std::optional<std::string> run;
    std::optional<std::string> since;  // YYYY-MM-DD, UTC
    bool Whole() const { return !run && !since; }
};

struct SealTally {
    std::int64_t runs = 0, sealed = 0, beforeSeals = 0, notEnded = 0, broken = 0;
    bool Held() const { return broken == 0; }
};

Result<SealTally> CheckSeals(SqlConnection& connection, const TrustedKeys& keys,
                             const SealScope& scope,
                             const std::function<void(const std::string&)>& say);

// "Seals of 12 runs: 10 sealed and unchanged, 1 recorded before runs were
// sealed, 1 not ended, 0 broken seals."
std::string SealSummary(const SealTally& tally);

}  // namespace orvalt
