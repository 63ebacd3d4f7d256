#pragma once
// The measurements a limits file may bound: every entry of the station's one
// table of measurement names (domain/MeasurementNames.h), each under the name
// docs/limits.md documents, with the decimals the log or the summary line
// shows it with. A verdict compares the value as shown.

#include <span>
#include <string_view>

#include "domain/MeasurementNames.h"

namespace orvalt {

using MeasurementInfo = MeasurementName;

// Every measurement, in the order docs/limits.md lists them.
std::span<const MeasurementInfo> MeasurementCatalogue();

// The entry whose name equals `name` ignoring ASCII case; null when none does.
const MeasurementInfo* FindMeasurement(std::string_view name);

}  // namespace orvalt
