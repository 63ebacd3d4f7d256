#pragma once
// The measurements a limits file may bound, each under the one name that
// docs/limits.md documents, with the number of decimals the log or the summary
// line shows it with. A verdict compares the value as shown.

#include <span>
#include <string>
#include <string_view>

namespace orvalt {

struct MeasurementInfo {
    std::string name;
    int decimals = 2;  // 2 for volts and seconds ("%.2f"), 0 for counts ("%d")
};

// Every measurement, in the order docs/limits.md lists them.
std::span<const MeasurementInfo> MeasurementCatalogue();

// The entry whose name equals `name` ignoring ASCII case; null when none does.
const MeasurementInfo* FindMeasurement(std::string_view name);

}  // namespace orvalt
