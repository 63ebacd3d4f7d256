#pragma once
// Fewer points for the same picture: a trace of 10 000 readings drawn into a
// few hundred pixel columns keeps, per column, the first, lowest, highest and
// last point in time order. The polyline then touches every extreme the full
// trace touches in that column, and the neighbours just outside the visible
// range keep the line running to the edges.

#include <span>
#include <vector>

#include "plot/TestTrace.h"

namespace orvalt {

// `points` in ascending time. `columns` at least 1.
std::vector<PlotPoint> DecimateForColumns(std::span<const PlotPoint> points, double xMin,
                                          double xMax, int columns);

}  // namespace orvalt
