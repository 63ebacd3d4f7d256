#pragma once
// The panel the window grows for: the verdict banner above the live
// light-level plot. It feeds the plot from the session's events 25 times a
// second through a PlotFeed, and the banner from the session's verdicts when
// they changed.

#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "station/StationSession.h"
#include "ui/LightPlotWidget.h"
#include "ui/PlotFeed.h"
#include "ui/VerdictBanner.h"

namespace orvalt {

class PlotPanel final : public QWidget {
    Q_OBJECT

  public:
    explicit PlotPanel(StationSession& session, QWidget* parent = nullptr);
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
    VerdictBanner banner_;
    LightPlotWidget plot_;
    QTimer catchUp_;
    std::uint64_t verdictsShown_ = 0;
    // Declared last: it goes first, and leaves the widgets to their own ends.
    QVBoxLayout layout_;
};

}  // namespace orvalt
