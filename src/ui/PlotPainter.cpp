#include "ui/PlotPainter.h"

#include <QPainterPath>
#include <QPolygonF>
#include <vector>

#include "domain/FormatFixed.h"
#include "plot/AxisTicks.h"
#include "plot/Decimate.h"

namespace orvalt {

namespace {

const QColor kTraceColour(0x15, 0x65, 0xc0);
const QColor kPreviousColour(0x90, 0xa4, 0xae, 110);
const QColor kOnColour(0x2e, 0x7d, 0x32);
const QColor kOffAColour(0xef, 0x6c, 0x00);
const QColor kOffBColour(0xc6, 0x28, 0x28);
const QColor kSwitchColour(0x75, 0x75, 0x75);

// Plot units to pixels in `area`.
class Mapping {
  public:
    Mapping(const QRect& area, const PlotRange& range) : area_(area), range_(range) {}
    double X(double seconds) const {
        return area_.left() + (seconds - range_.xMin) / range_.Width() * area_.width();
    }
    double Y(double volts) const {
        return area_.bottom() - (volts - range_.yMin) / range_.Height() * area_.height();
    }
    QPointF At(double seconds, double volts) const { return {X(seconds), Y(volts)}; }

  private:
    QRect area_;
    PlotRange range_;
};

QString Label(double value, int decimals) {
    return QString::fromStdString(FormatFixed(value, decimals));
}

void PaintAxes(QPainter& painter, const QRect& area, const PlotRange& range, const Mapping& map) {
    painter.setPen(QColor(0xe0, 0xe0, 0xe0));
    const auto xs = AxisTicks(range.xMin, range.xMax, std::max(2, area.width() / 70));
    const auto ys = AxisTicks(range.yMin, range.yMax, std::max(2, area.height() / 30));
    for (const double x : xs) {
        painter.drawLine(QPointF(map.X(x), area.top()), QPointF(map.X(x), area.bottom()));
    }
    for (const double y : ys) {
        painter.drawLine(QPointF(area.left(), map.Y(y)), QPointF(area.right(), map.Y(y)));
    }
    painter.setPen(Qt::black);
    painter.drawRect(area);
    for (const double x : xs) {
        painter.drawText(QRectF(map.X(x) - 30, area.bottom() + 2, 60, 14), Qt::AlignCenter,
                         Label(x, TickDecimals(xs)));
    }
    for (const double y : ys) {
        painter.drawText(QRectF(0, map.Y(y) - 7, area.left() - 4, 14),
                         Qt::AlignRight | Qt::AlignVCenter, Label(y, TickDecimals(ys)));
    }
    painter.drawText(QRectF(area.left(), area.bottom() + 16, area.width(), 14), Qt::AlignCenter,
                     "seconds since the test's first power switch");
}

void PaintLevel(QPainter& painter, const QRect& area, const Mapping& map, double volts,
                const QColor& colour, const char* name) {
    painter.setPen(QPen(colour, 1, Qt::DashLine));
    const double y = map.Y(volts);
    painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    painter.drawText(QRectF(area.right() - 150, y - 14, 146, 13), Qt::AlignRight,
                     QString("%1 %2 V").arg(name, Label(volts, 2)));
}

void PaintTrace(QPainter& painter, const QRect& area, const Mapping& map, const PlotRange& range,
                const TestTrace& trace, const QPen& pen) {
    const auto points =
        DecimateForColumns(trace.readings, range.xMin, range.xMax, std::max(1, area.width()));
    QPolygonF line;
    line.reserve(static_cast<qsizetype>(points.size()));
    for (const PlotPoint& point : points) {
        line << map.At(point.seconds, point.volts);
    }
    painter.setPen(pen);
    painter.drawPolyline(line);
}

void PaintSwitches(QPainter& painter, const QRect& area, const Mapping& map,
                   const TestTrace& trace) {
    for (const SwitchMark& mark : trace.switches) {
        painter.setPen(QPen(kSwitchColour, 1, Qt::DotLine));
        const double x = map.X(mark.seconds);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.drawText(QPointF(x + 2, area.top() + 11), mark.on ? "ON" : "OFF");
    }
}

void PaintCrossings(QPainter& painter, const Mapping& map, const TestTrace& trace) {
    for (const CrossingMark& mark : trace.crossings) {
        const bool on = mark.kind == CrossingKind::TimeToOn;
        const QColor colour = on                                      ? kOnColour
                              : mark.kind == CrossingKind::TimeToOffA ? kOffAColour
                                                                      : kOffBColour;
        const QPointF at = map.At(mark.seconds, mark.volts);
        painter.setPen(QPen(colour, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(at, 5, 5);
        painter.drawText(at + QPointF(7, -6),
                         QString("%1 %2 s").arg(on ? "ON" : "OFF", Label(mark.measured, 2)));
    }
}

}  // namespace

void PaintPlot(QPainter& painter, const QRect& area, const LightPlotModel& model,
               const PlotRange& visible) {
    const Mapping map(area, visible);
    PaintAxes(painter, area, visible, map);
    painter.save();
    painter.setClipRect(area);
    const ThresholdLevels& levels = model.Levels();
    PaintLevel(painter, area, map, levels.voltageOn, kOnColour, "VoltageOn");
    PaintLevel(painter, area, map, levels.voltageOffA, kOffAColour, "VoltageOffA");
    PaintLevel(painter, area, map, levels.voltageOffB, kOffBColour, "VoltageOffB");
    // Traces take one-pixel pens: Qt draws those as plain lines, while a wider
    // or fractional pen is stroked as a shape, some 20 times slower here.
    PaintTrace(painter, area, map, visible, model.Previous(), QPen(kPreviousColour, 1));
    PaintSwitches(painter, area, map, model.Current());
    PaintTrace(painter, area, map, visible, model.Current(), QPen(kTraceColour, 1));
    PaintCrossings(painter, map, model.Current());
    painter.restore();
    if (model.Current().testNumber > 0) {
        painter.setPen(Qt::black);
        painter.drawText(QPointF(area.left() + 4, area.top() - 4),
                         QString("TEST %1").arg(model.Current().testNumber));
    }
}

}  // namespace orvalt
