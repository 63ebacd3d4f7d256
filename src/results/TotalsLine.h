#pragma once
// A line of the cumulative totals file: a test's summary with the manufacturer
// the operator has in the window when saving.

#include <string>
#include <string_view>

#include "results/SummaryLine.h"

namespace orvalt {

// The summary line's fields, with `manufacturer` in place of the one at the
// time of the run and no blank before it. It is built from the fields
// themselves, each quoted where a reader of comma-separated text would
// otherwise not give it back exactly (QuoteCsvFieldStrictly); fields that need
// no quoting come out as in the summary line.
std::string FormatTotalsLine(std::string_view manufacturer, const SummaryFields& summary);

}  // namespace orvalt
