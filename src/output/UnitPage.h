#pragma once
// The unit page's main part: the serial's runs, newest first, each with its
// attempt, start, station and fixture, verdict and how it ended, and a link
// to its report.

#include <cstddef>
#include <string>
#include <vector>

#include "reading/History.h"

namespace orvalt {

// The most runs of one serial the page lists.
inline constexpr std::size_t kUnitRunsShown = 500;

// `serial` empty: the search alone.
std::string UnitPageMain(const std::string& serial, const std::vector<HistoryRow>& runs);

}  // namespace orvalt
