#pragma once
// A model's judged series as text: the terminal's blocks, and the phrases and
// figures the SPC page shows too.

#include <optional>
#include <string>
#include <vector>

#include "spc/JudgedSeries.h"

namespace orvalt {

// The series as text for a terminal: one block per series.
std::string SpcText(const std::vector<JudgedSeries>& all);

// "centre 0.500, sigma 0.010, 25 units, the model's first units" (or
// "frozen <when>"), or that there is no baseline yet.
std::string BaselineText(const JudgedSeries& judged);

// Why a series is flagged: "Cpk 1.22 is below 1.33 over 40 units", then
// "Ppk 0.34 is below 1.33" and "8 of 40 units (20.0%) are out of limits" where they
// hold, joined by "; ".
std::string CapabilityLowText(const JudgedSeries& judged);

// "8 of 40 units (20.0%)": the units whose value lies outside the limits.
std::string OutOfLimitsText(const JudgedSeries& judged);

// Why Cp and Cpk use sigma overall, for a series with a limit whose sigma
// within is too coarse and whose values spread; empty for any other.
std::string CoarseWithinText(const JudgedSeries& judged);

// A capability index with two decimals; "<=1.00" for one held at the ceiling
// while units lie outside the limits; "-" for none.
std::string SpcIndex(const std::optional<CapabilityIndex>& index);

// A number as the series shows its values, one digit more (a mean or a sigma
// is finer than one unit's value); "-" for none.
std::string SpcNumber(std::optional<double> value, int decimals);

}  // namespace orvalt
