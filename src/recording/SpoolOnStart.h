#pragma once
// What a station does with its spool when it starts: runs that an earlier
// version spooled under the spool's former name (made from the database text
// as written, password and all) are moved into the spool named after the
// server's identity, and the operator learns how many runs wait and for which
// database.

#include <cstdint>
#include <filesystem>
#include <string>

#include "base/Result.h"

namespace orvalt {

// Moves every row of `earlier` into `spool` (rows `spool` already holds stay
// as they are) and removes `earlier`. Nothing to do when `earlier` does not
// exist or is `spool` itself.
Result<void> AdoptEarlierSpool(const std::filesystem::path& earlier,
                               const std::filesystem::path& spool);

// How many runs have rows in the spool; 0 when there is no spool.
Result<std::int64_t> SpooledRunCount(const std::filesystem::path& spool);

// "3 runs wait in SPOOL for DATABASE ..." or, with none waiting, empty.
std::string SpoolWaitingText(std::int64_t runs, const std::filesystem::path& spool,
                             const std::string& database);

}  // namespace orvalt
