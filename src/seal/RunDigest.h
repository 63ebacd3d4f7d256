#pragma once
// What a seal covers of a run, in a canonical form that does not depend on
// how SQLite or a PostgreSQL server renders a text or a number: each cell by
// its column's kind (a real as the bits of its double, an integer in decimal,
// a text or bytes with their length, NULL as such), each row as its cells,
// the rows in byte order. Each part is digested (SHA-256) on its own, so a
// check can say which part of a run changed.

#include <array>
#include <cstddef>
#include <string>

#include "records/SqlConnection.h"

namespace orvalt {

// The run's own row (the unit, the plan, the limits, the verdict, the times,
// the station, the fixture...), the settings it ran with, its tests, their
// measurements, and its trace (the switches and the blocks of readings and
// diagnostic lines).
enum class SealedPart { Run, Settings, Tests, Measurements, Trace };
inline constexpr std::size_t kSealedParts = 5;
using PartDigests = std::array<std::string, kSealedParts>;

// "its own record", "its settings", "its tests", "its measurements", "its trace"
const char* SealedPartName(std::size_t part);

// The digests of the run as the database holds it now (within the open
// transaction, when there is one).
Result<PartDigests> DigestRun(SqlConnection& connection, const std::string& uuid);

}  // namespace orvalt
