#pragma once
// Draws a LightPlotModel's visible range into a rectangle: axes with round
// ticks, the three threshold levels, the previous test's trace faint behind,
// the switches, the current trace and its crossings.

#include <QPainter>
#include <QRect>

#include "plot/LightPlotModel.h"

namespace orvalt {

void PaintPlot(QPainter& painter, const QRect& area, const LightPlotModel& model,
               const PlotRange& visible);

}  // namespace orvalt
