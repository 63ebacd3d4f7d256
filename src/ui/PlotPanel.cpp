#include "ui/PlotPanel.h"

#include <variant>

namespace orvalt {

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
        if (std::holds_alternative<plotfeed::RunStart>(event)) {
            const SettingsRecord& s = session_.Settings();
            plot_.SetLevels({s.voltageOn, s.voltageOffA, s.voltageOffB});
        }
        plot_.Apply(event);
    }
}

void PlotPanel::ShowVerdicts() {
    const VerdictSnapshot snapshot = session_.Verdicts();
    const std::filesystem::path inForce = session_.Status().limitsFile;
    if (snapshot.version == verdictsShown_ && inForce == limitsShown_) {
        return;
    }
    verdictsShown_ = snapshot.version;
    limitsShown_ = inForce;
    banner_.ShowFace(FaceOf(snapshot, inForce));
}

}  // namespace orvalt
