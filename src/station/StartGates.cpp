#include "station/StartGates.h"

#include "domain/MeasurementNames.h"

namespace orvalt {

std::vector<std::string> JudgedDiagnosticFigures(const Limits& limits) {
    std::vector<std::string> figures;
    for (const Limit& limit : limits.rows) {
        if (IsDiagnosticFigure(limit.name)) {
            figures.push_back(limit.name);
        }
    }
    return figures;
}

std::string DiagLinkRequiredText(const std::vector<std::string>& figures) {
    std::string named;
    for (std::size_t i = 0; i < figures.size(); ++i) {
        named += i == 0 ? "" : i + 1 == figures.size() ? " and " : ", ";
        named += figures[i];
    }
    return "Open the Diag Comm Port first: the limits judge " + named +
           " from the driver's diagnostic line.";
}

}  // namespace orvalt
