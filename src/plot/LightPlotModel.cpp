#include "plot/LightPlotModel.h"

#include <algorithm>
#include <type_traits>

#include "plot/CrossingMarks.h"

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

PlotRange RangeOf(std::initializer_list<const TestTrace*> traces, const ThresholdLevels& levels) {
    PlotRange range{0.0, kShortestSpan, 0.0, 0.0};
    for (const TestTrace* trace : traces) {
        WidenBy(range, *trace);
    }
    for (const LevelLine& line : LevelLines(levels)) {
        range.yMax = std::max(range.yMax, line.volts);
    }
    range.yMax = range.yMax > 0.0 ? range.yMax * kHeadroom : 1.0;
    range.yMin = range.yMin < 0.0 ? range.yMin * kHeadroom : 0.0;
    return range;
}

void LightPlotModel::SetLevels(const ThresholdLevels& levels) {
    levels_ = levels;
    ++revision_;
}

void LightPlotModel::StartRun() {
    current_ = {};
    previous_ = {};
    ++revision_;
}

void LightPlotModel::BeginTest(int testNumber) {
    if (!current_.readings.empty() || !current_.switches.empty()) {
        previous_ = std::move(current_);
    }
    current_ = TestTrace{testNumber, {}, {}, {}};
    ++revision_;
}

void LightPlotModel::AddSwitch(double seconds, bool on) {
    current_.switches.push_back({seconds, on});
    ++revision_;
}

void LightPlotModel::AddReading(double seconds, double volts) {
    current_.readings.push_back({seconds, volts});
    ++revision_;
}

void LightPlotModel::MarkCrossings(const std::vector<Crossing>& crossings) {
    orvalt::MarkCrossings(current_, crossings, levels_);
    ++revision_;
}

void LightPlotModel::Apply(const PlotEvent& event) {
    std::visit(
        [this](const auto& e) {
            using E = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<E, plotfeed::RunStart>) {
                StartRun();
            } else if constexpr (std::is_same_v<E, plotfeed::TestBegin>) {
                BeginTest(e.testNumber);
            } else if constexpr (std::is_same_v<E, plotfeed::Switch>) {
                AddSwitch(e.seconds, e.on);
            } else if constexpr (std::is_same_v<E, plotfeed::Reading>) {
                AddReading(e.seconds, e.volts);
            } else if constexpr (std::is_same_v<E, plotfeed::Crossings>) {
                MarkCrossings(e.crossings);
            }
        },
        event);
}

PlotRange LightPlotModel::DataRange() const {
    return RangeOf({&current_, &previous_}, levels_);
}

}  // namespace orvalt
