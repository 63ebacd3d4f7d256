#include "ui/LightPlotWidget.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

#include "platform/SafeFile.h"
#include "ui/PlotPainter.h"

namespace orvalt {

namespace {

// Room for the tick labels left and below, the test's name above.
constexpr int kLeftMargin = 44;
constexpr int kRightMargin = 8;
constexpr int kTopMargin = 18;
constexpr int kBottomMargin = 34;
constexpr double kWheelStep = 0.8;  // one notch in: 80 % of the span

}  // namespace

LightPlotWidget::LightPlotWidget(QWidget* parent) : QWidget(parent) {
    setObjectName("lightPlot");
    setAutoFillBackground(true);
    setPalette(QPalette(Qt::white));
    setMinimumSize(240, 160);
    clock_.start();
    frameTimer_.setSingleShot(true);
    // A precise timer never fires early, so frames stay at least 40 ms apart.
    frameTimer_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer_, &QTimer::timeout, this, &LightPlotWidget::FrameDue);
}

void LightPlotWidget::SetLevels(const ThresholdLevels& levels) {
    model_.SetLevels(levels);
    Changed();
}

void LightPlotWidget::StartRun() {
    running_ = true;
    view_.Follow();
    model_.StartRun();
    Changed();
}

void LightPlotWidget::EndRun() {
    running_ = false;
}

void LightPlotWidget::BeginTest(int testNumber) {
    model_.BeginTest(testNumber);
    Changed();
}

void LightPlotWidget::AddSwitch(double seconds, bool on) {
    model_.AddSwitch(seconds, on);
    Changed();
}

void LightPlotWidget::AddReading(double seconds, double volts) {
    model_.AddReading(seconds, volts);
    Changed();
}

void LightPlotWidget::MarkCrossings(const std::vector<Crossing>& crossings) {
    model_.MarkCrossings(crossings);
    Changed();
}

void LightPlotWidget::Apply(const PlotEvent& event) {
    if (std::holds_alternative<plotfeed::RunStart>(event)) {
        StartRun();
        return;
    }
    if (std::holds_alternative<plotfeed::RunEnd>(event)) {
        EndRun();
    }
    model_.Apply(event);
    Changed();
}

void LightPlotWidget::Changed() {
    if (const auto delay = gate_.Schedule(clock_.elapsed())) {
        frameTimer_.start(static_cast<int>(*delay));
    }
}

// A paint that came first (an expose) has already shown the change.
void LightPlotWidget::FrameDue() {
    if (gate_.Pending()) {
        update();
    }
}

QRect LightPlotWidget::PlotArea() const {
    return rect().adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin);
}

void LightPlotWidget::paintEvent(QPaintEvent*) {
    gate_.Drew(clock_.elapsed());
    ++framesDrawn_;
    drawnRevision_ = model_.Revision();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    PaintPlot(painter, PlotArea(), model_, view_.Visible(model_.DataRange()));
}

void LightPlotWidget::wheelEvent(QWheelEvent* event) {
    const QRect area = PlotArea();
    if (running_ || event->angleDelta().y() == 0 || area.isEmpty()) {
        return;
    }
    const QPointF at = event->position();
    const double notches = event->angleDelta().y() / 120.0;
    view_.ZoomAt(model_.DataRange(), std::pow(kWheelStep, notches),
                 (at.x() - area.left()) / area.width(), (area.bottom() - at.y()) / area.height());
    update();
}

void LightPlotWidget::mousePressEvent(QMouseEvent* event) {
    if (!running_ && event->button() == Qt::LeftButton) {
        dragFrom_ = event->position().toPoint();
    }
}

// The picture follows the pointer: dragging right shows earlier times.
void LightPlotWidget::mouseMoveEvent(QMouseEvent* event) {
    const QRect area = PlotArea();
    if (!dragFrom_ || running_ || !(event->buttons() & Qt::LeftButton) || area.isEmpty()) {
        dragFrom_.reset();
        return;
    }
    const QPoint moved = event->position().toPoint() - *dragFrom_;
    dragFrom_ = event->position().toPoint();
    view_.PanBy(model_.DataRange(), -static_cast<double>(moved.x()) / area.width(),
                static_cast<double>(moved.y()) / area.height());
    update();
}

void LightPlotWidget::mouseDoubleClickEvent(QMouseEvent*) {
    view_.Follow();
    update();
}

// Written as every output of the station is (SafeFile.h), not through Qt's
// own file, which follows any link and replaces a read-only file.
bool LightPlotWidget::SaveAsPng(const QString& file) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !grab().save(&buffer, "PNG")) {
        return false;
    }
    const std::string path = file.toStdString();
    return ReplaceFileAtomically(
               path, std::string_view(png.constData(), static_cast<std::size_t>(png.size())))
        .Ok();
}

QString LightPlotWidget::AskForPngFile() {
    if (askForPngFile) {
        return askForPngFile();
    }
    return QFileDialog::getSaveFileName(this, "Save Plot", "plot.png", "PNG pictures (*.png)");
}

void LightPlotWidget::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* save = menu.addAction("Save Plot as PNG...");
    QAction* whole = menu.addAction("Show Whole Trace");
    whole->setEnabled(!view_.Following());
    const QAction* chosen = menu.exec(event->globalPos());
    if (chosen == whole) {
        view_.Follow();
        update();
    } else if (chosen == save) {
        const QString file = AskForPngFile();
        if (!file.isEmpty() && !SaveAsPng(file)) {
            QMessageBox::warning(this, "Orvalt", "Can't write " + file);
        }
    }
}

}  // namespace orvalt
