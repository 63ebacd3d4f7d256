#pragma once
// The live light-level plot beside the window's controls, and the feed of the
// verdict panel: 25 times a second it replays the session's events into the
// plot through a PlotFeed, and shows the session's verdicts in the banner
// (which the window places) when they or the limits in force changed.

#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "plot/PlotFeed.h"
#include "station/StationSession.h"
#include "ui/LightPlotWidget.h"
#include "ui/VerdictBanner.h"

namespace orvalt {

class PlotPanel final : public QWidget {
    Q_OBJECT

  public:
    PlotPanel(StationSession& session, VerdictBanner& banner, QWidget* parent = nullptr);
    ~PlotPanel() override;
    PlotPanel(const PlotPanel&) = delete;
    PlotPanel& operator=(const PlotPanel&) = delete;

    // Takes what the session told since the last call; the timer calls it.
    void CatchUp();

    LightPlotWidget& Plot() { return plot_; }
    VerdictBanner& Banner() { return banner_; }

    static constexpr int kCatchUpPeriodMs = 40;  // 25 a second

  private:
    void Replay(const std::vector<PlotEvent>& events);
    void ShowVerdicts();

    StationSession& session_;
    PlotFeed feed_;
    VerdictBanner& banner_;
    LightPlotWidget plot_;
    QTimer catchUp_;
    std::uint64_t verdictsShown_ = 0;
    std::filesystem::path limitsShown_;
    // Declared last: it goes first, and leaves the widgets to their own ends.
    QVBoxLayout layout_;
};

}  // namespace orvalt
