#pragma once
// The failure Pareto as the terminal shows it and as comma-separated text.

#include <string>

#include "reading/Pareto.h"
#include "reading/RunFilter.h"

namespace orvalt {

// A heading ("Failure Pareto by reason: model X100, since 2026-12-01", "3
// failed runs of 10"), then one aligned line a row: runs, share and
// cumulative share of all the rows' runs, the worst value (by reason) and
// the row's name last, as long as it is.
std::string ParetoText(const Pareto& pareto, ParetoGrouping by, const RunFilter& filter);

// A header record and one record a row with the same columns, RFC 4180.
std::string ParetoCsv(const Pareto& pareto, ParetoGrouping by);

}  // namespace orvalt
