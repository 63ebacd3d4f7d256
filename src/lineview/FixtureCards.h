#pragma once
// The line's stations and fixtures as their newest runs tell them.

#include <vector>

#include "base/Result.h"
#include "lineview/LineParts.h"
#include "lineview/LineRuns.h"
#include "records/SqlConnection.h"

namespace orvalt {

// A card per host and fixture with a run started since
// `moment.stationsSince`, by host, then fixture. The moment's times are in
// the records' own form (UtcIsoTime).
Result<std::vector<FixtureCard>> LoadFixtureCards(SqlConnection& connection,
                                                  const LineMoment& moment);
// The same from runs read already, among them every run started since
// `moment.stationsSince`.
Result<std::vector<FixtureCard>> LoadFixtureCards(SqlConnection& connection,
                                                  const LineMoment& moment, const LineRuns& runs);

}  // namespace orvalt
