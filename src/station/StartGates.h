#pragma once
// The checks a production Start passes in order, beside the serial number's
// own (station/SerialShift.h): a judged diagnostic figure needs the driver's
// diagnostic line heard, or every unit would fail on a figure nobody measured.

#include <string>
#include <vector>

#include "verdict/LimitsFile.h"

namespace orvalt {

// The diagnostic figures (Delay, SaveNotAsExpected, ...) that `limits` bound,
// in the file's order.
std::vector<std::string> JudgedDiagnosticFigures(const Limits& limits);

// "Open the Diag Comm Port first: the limits judge Delay and SaveNotAsExpected
// from the driver's diagnostic line."
std::string DiagLinkRequiredText(const std::vector<std::string>& figures);

}  // namespace orvalt
