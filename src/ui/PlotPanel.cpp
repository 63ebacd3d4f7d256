#include "ui/PlotPanel.h"

#include <cmath>
#include <type_traits>

namespace orvalt {

namespace {

// The plot counts in milliseconds since the test's first power switch.
std::uint32_t Ms(double seconds) {
    return seconds <= 0.0 ? 0u : static_cast<std::uint32_t>(std::lround(seconds * 1000.0));
}

void Mark(LightPlotWidget& plot, const plotfeed::Crossings& crossings) {
    if (crossings.timeToOn) {
        plot.MarkTimeToOn(*crossings.timeToOn);
    }
    if (crossings.timeToOffA && crossings.timeToOffB) {
        plot.MarkTimeToOff(*crossings.timeToOffA, *crossings.timeToOffB);
    }
}

}  // namespace

PlotPanel::PlotPanel(StationSession& session, VerdictBanner& banner, QWidget* parent)
    : QWidget(parent), session_(session), banner_(banner), plot_(this), layout_(this) {
    setObjectName(QStringLiteral("plotPanel"));
    layout_.setContentsMargins(4, 4, 4, 4);
    layout_.addWidget(&plot_, 1);
    session_.Observers().Attach(feed_);
    catchUp_.setInterval(kCatchUpPeriodMs);
    connect(&catchUp_, &QTimer::timeout, this, [this] { CatchUp(); });
    catchUp_.start();
    CatchUp();
}

PlotPanel::~PlotPanel() {
    session_.Observers().Detach(feed_);
}

void PlotPanel::CatchUp() {
    Replay(feed_.Take());
    ShowVerdicts();
}

void PlotPanel::Replay(const std::vector<PlotEvent>& events) {
    for (const PlotEvent& event : events) {
        std::visit(
            [this](const auto& e) {
                using E = std::decay_t<decltype(e)>;
                if constexpr (std::is_same_v<E, plotfeed::RunStart>) {
                    const SettingsRecord& s = session_.Settings();
                    plot_.SetLevels({s.voltageOn, s.voltageOffA, s.voltageOffB});
                    plot_.StartRun();
                } else if constexpr (std::is_same_v<E, plotfeed::RunEnd>) {
                    plot_.EndRun();
                } else if constexpr (std::is_same_v<E, plotfeed::TestBegin>) {
                    plot_.BeginTest(e.testNumber);
                } else if constexpr (std::is_same_v<E, plotfeed::Switch>) {
                    plot_.AddSwitch(Ms(e.seconds), e.on);
                } else if constexpr (std::is_same_v<E, plotfeed::Reading>) {
                    plot_.AddReading(Ms(e.seconds), e.volts);
                } else {
                    Mark(plot_, e);
                }
            },
            event);
    }
}

void PlotPanel::ShowVerdicts() {
    const VerdictSnapshot snapshot = session_.Verdicts();
    const LimitsInUse& limits = session_.LimitsInForce();
    const std::filesystem::path inForce =
        limits.Current() ? limits.File() : std::filesystem::path();
    if (snapshot.version == verdictsShown_ && inForce == limitsShown_) {
        return;
    }
    verdictsShown_ = snapshot.version;
    limitsShown_ = inForce;
    banner_.ShowFace(FaceOf(snapshot, inForce));
}

}  // namespace orvalt
