#include "plot/LightPlotModel.h"

#include <algorithm>

namespace orvalt {

namespace {

constexpr double kHeadroom = 1.1;
constexpr double kShortestSpan = 1.0;  // seconds shown at least

void Widen(PlotRange& range, double seconds, double volts) {
    range.xMax = std::max(range.xMax, seconds);
    range.xMin = std::min(range.xMin, seconds);
    range.yMax = std::max(range.yMax, volts);
    range.yMin = std::min(range.yMin, volts);
}

void WidenBy(PlotRange& range, const TestTrace& trace) {
    for (const PlotPoint& point : trace.readings) {
        Widen(range, point.seconds, point.volts);
    }
    for (const SwitchMark& mark : trace.switches) {
        Widen(range, mark.seconds, 0.0);
    }
    for (const CrossingMark& mark : trace.crossings) {
        Widen(range, mark.seconds, mark.volts);
    }
}

}  // namespace

void LightPlotModel::SetLevels(const ThresholdLevels& levels) {
    levels_ = levels;
    ++revision_;
}

void LightPlotModel::StartRun() {
    current_ = {};
    previous_ = {};
    originTick_.reset();
    lastOn_.reset();
    lastOff_.reset();
    ++revision_;
}

void LightPlotModel::BeginTest(int testNumber) {
    if (!current_.readings.empty() || !current_.switches.empty()) {
        previous_ = std::move(current_);
    }
    current_ = TestTrace{testNumber, {}, {}, {}};
    originTick_.reset();
    lastOn_.reset();
    lastOff_.reset();
    ++revision_;
}

// The wrapping tick difference, read as signed: a reading taken just before
// the origin lies just left of 0, not 49 days to the right.
double LightPlotModel::SecondsAt(std::uint32_t tickMs) {
    if (!originTick_) {
        originTick_ = tickMs;
    }
    return static_cast<std::int32_t>(tickMs - *originTick_) / 1000.0;
}

void LightPlotModel::AddSwitch(std::uint32_t tickMs, bool on) {
    const double seconds = SecondsAt(tickMs);
    current_.switches.push_back({seconds, on});
    (on ? lastOn_ : lastOff_) = seconds;
    ++revision_;
}

void LightPlotModel::AddReading(std::uint32_t tickMs, double volts) {
    current_.readings.push_back({SecondsAt(tickMs), volts});
    ++revision_;
}

void LightPlotModel::AddCrossing(CrossingKind kind, std::optional<double> from, double seconds,
                                 double volts) {
    if (!from || !(seconds >= 0.0)) {
        return;
    }
    current_.crossings.push_back({kind, *from + seconds, seconds, volts});
    ++revision_;
}

void LightPlotModel::MarkTimeToOn(double seconds) {
    AddCrossing(CrossingKind::TimeToOn, lastOn_, seconds, levels_.voltageOn);
}

void LightPlotModel::MarkTimeToOff(double secondsToA, double secondsToB) {
    AddCrossing(CrossingKind::TimeToOffA, lastOff_, secondsToA, levels_.voltageOffA);
    AddCrossing(CrossingKind::TimeToOffB, lastOff_, secondsToB, levels_.voltageOffB);
}

PlotRange LightPlotModel::DataRange() const {
    PlotRange range{0.0, kShortestSpan, 0.0, 0.0};
    WidenBy(range, current_);
    WidenBy(range, previous_);
    for (const double level : {levels_.voltageOn, levels_.voltageOffA, levels_.voltageOffB}) {
        range.yMax = std::max(range.yMax, level);
    }
    range.yMax = range.yMax > 0.0 ? range.yMax * kHeadroom : 1.0;
    range.yMin = range.yMin < 0.0 ? range.yMin * kHeadroom : 0.0;
    return range;
}

}  // namespace orvalt
