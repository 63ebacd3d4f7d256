#pragma once
// The live light-level plot, drawn with QPainter from a LightPlotModel: a trace
// is cut down to a few points a pixel column before it is drawn, so a frame
// costs the same at 100 readings as at 10 000, at most 25 frames a second.
// After a run: wheel zoom, drag pan, double click back, PNG from the context
// menu. Why not Qt Charts: docs/design/window.md.

#include <QElapsedTimer>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "plot/FrameGate.h"
#include "plot/LightPlotModel.h"
#include "plot/PlotView.h"

namespace orvalt {

class LightPlotWidget final : public QWidget {
    Q_OBJECT

  public:
    explicit LightPlotWidget(QWidget* parent = nullptr);

    // The station's events, on the window thread. Each asks for a frame.
    void SetLevels(const ThresholdLevels& levels);
    void StartRun();
    void EndRun();
    void BeginTest(int testNumber);
    // Times in seconds since the test's first power switch.
    void AddSwitch(double seconds, bool on);
    void AddReading(double seconds, double volts);
    void MarkCrossings(const std::vector<Crossing>& crossings);
    // One of the session's events: a run's start and end also start and end
    // the following of the data.
    void Apply(const PlotEvent& event);

    const LightPlotModel& Model() const { return model_; }
    const PlotView& View() const { return view_; }
    bool Running() const { return running_; }
    // Frames painted since the widget was made.
    int FramesDrawn() const { return framesDrawn_; }
    // The model's revision the last frame showed.
    std::uint64_t DrawnRevision() const { return drawnRevision_; }

    // The plot as it is on screen; false when the file could not be written.
    bool SaveAsPng(const QString& file);
    // Asks where to save; replaceable by tests. Empty: not saved.
    std::function<QString()> askForPngFile;

    QSize sizeHint() const override { return {520, 320}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void Changed();
    void FrameDue();
    QRect PlotArea() const;
    QString AskForPngFile();

    LightPlotModel model_;
    PlotView view_;
    FrameGate gate_;
    QElapsedTimer clock_;
    QTimer frameTimer_;
    bool running_ = false;
    int framesDrawn_ = 0;
    std::uint64_t drawnRevision_ = 0;
    std::optional<QPoint> dragFrom_;
};

}  // namespace orvalt
