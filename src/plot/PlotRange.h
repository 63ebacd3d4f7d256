#pragma once
// A rectangle of the plot in its own units: seconds across, volts up.

namespace orvalt {

struct PlotRange {
    double xMin = 0.0;
    double xMax = 1.0;
    double yMin = 0.0;
    double yMax = 1.0;

    double Width() const { return xMax - xMin; }
    double Height() const { return yMax - yMin; }
    bool operator==(const PlotRange&) const = default;
};

}  // namespace orvalt
