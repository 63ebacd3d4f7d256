#include "ui/PlotPainter.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <QPolygonF>
#include <vector>

#include "domain/FormatFixed.h"
#include "plot/AxisTicks.h"
#include "plot/CrossingMarks.h"
#include "plot/Decimate.h"
#include "plot/PlotMapping.h"
#include "plot/TraceGaps.h"
#include "plot/TraceLabels.h"

namespace orvalt {

namespace {

const QColor kTraceColour(0x15, 0x65, 0xc0);
const QColor kPreviousColour(0x90, 0xa4, 0xae, 110);
const QColor kSwitchColour(0x75, 0x75, 0x75);

PlotMapping MappingOf(const QRect& area, const PlotRange& range) {
    return PlotMapping({static_cast<double>(area.left()), static_cast<double>(area.top()),
                        static_cast<double>(area.width()), static_cast<double>(area.height())},
                       range);
}

QPointF At(const PlotMapping& map, double seconds, double volts) {
    return {map.X(seconds), map.Y(volts)};
}

QString Label(double value, int decimals) {
    return QString::fromStdString(FormatFixed(value, decimals));
}

void PaintAxes(QPainter& painter, const QRect& area, const PlotRange& range,
               const PlotMapping& map) {
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

void PaintLevel(QPainter& painter, const QRect& area, const PlotMapping& map, double volts,
                const QColor& colour) {
    painter.setPen(QPen(colour, 1, Qt::DashLine));
    const double y = map.Y(volts);
    painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
}

// Each stretch between gaps on its own; a lone reading as a dot.
void PaintTrace(QPainter& painter, const QRect& area, const PlotMapping& map,
                const PlotRange& range, const TestTrace& trace, const QPen& pen) {
    painter.setPen(pen);
    for (const auto stretch : Stretches(trace.readings)) {
        if (stretch.size() == 1) {
            painter.setBrush(pen.color());
            painter.drawEllipse(At(map, stretch[0].seconds, stretch[0].volts), 1.5, 1.5);
            painter.setBrush(Qt::NoBrush);
            continue;
        }
        const auto points =
            DecimateForColumns(stretch, range.xMin, range.xMax, std::max(1, area.width()));
        QPolygonF line;
        line.reserve(static_cast<qsizetype>(points.size()));
        for (const PlotPoint& point : points) {
            line << At(map, point.seconds, point.volts);
        }
        painter.drawPolyline(line);
    }
}

void PaintSwitches(QPainter& painter, const QRect& area, const PlotMapping& map,
                   const TestTrace& trace) {
    painter.setPen(QPen(kSwitchColour, 1, Qt::DotLine));
    for (const SwitchMark& mark : trace.switches) {
        const double x = map.X(mark.seconds);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
}

QColor ColourOf(Figure figure) {
    return QColor::fromRgb(static_cast<QRgb>(MarkColour(figure)));
}

void PaintCrossings(QPainter& painter, const PlotMapping& map, const TestTrace& trace) {
    painter.setBrush(Qt::NoBrush);
    for (const CrossingMark& mark : trace.crossings) {
        painter.setPen(QPen(ColourOf(mark.figure), 2));
        painter.drawEllipse(At(map, mark.seconds, mark.volts), 5, 5);
    }
}

void PaintLabels(QPainter& painter, const PlotMapping& map, const LightPlotModel& model) {
    const QFontMetricsF metrics(painter.font());
    const auto widthOf = [&metrics](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text)) + 2.0;
    };
    for (const PlotLabel& label :
         PlacedLabels(model.Current(), model.Levels(), map, widthOf, metrics.height())) {
        painter.setPen(label.kind == LabelKind::Switch ? kSwitchColour : ColourOf(label.figure));
        const QRectF box(label.box.left, label.box.top, label.box.width, label.box.height);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(label.text));
    }
}

}  // namespace

void PaintPlot(QPainter& painter, const QRect& area, const LightPlotModel& model,
               const PlotRange& visible) {
    const PlotMapping map = MappingOf(area, visible);
    PaintAxes(painter, area, visible, map);
    painter.save();
    painter.setClipRect(area);
    for (const LevelLine& line : LevelLines(model.Levels())) {
        PaintLevel(painter, area, map, line.volts, ColourOf(line.figure));
    }
    // Traces take one-pixel pens: Qt draws those as plain lines, while a wider
    // or fractional pen is stroked as a shape, some 20 times slower here.
    PaintTrace(painter, area, map, visible, model.Previous(), QPen(kPreviousColour, 1));
    PaintSwitches(painter, area, map, model.Current());
    PaintTrace(painter, area, map, visible, model.Current(), QPen(kTraceColour, 1));
    PaintCrossings(painter, map, model.Current());
    PaintLabels(painter, map, model);
    painter.restore();
    if (model.Current().testNumber > 0) {
        painter.setPen(Qt::black);
        painter.drawText(QPointF(area.left() + 4, area.top() - 4),
                         QString("TEST %1").arg(model.Current().testNumber));
    }
}

}  // namespace orvalt
