// The chart of a statistics table, drawn with QPainter as SVG or PNG.
#pragma once

#include "Stats.h"

#include <QByteArray>
#include <string>

namespace vandro::admin {

enum class ChartFormat { Svg, Png };

// The chart of `report`: horizontal bars for relations and documents (the
// records, the part with a marker drawn within each bar, the counts at its
// end), stacked bars of the marker positions of each relation's two spans,
// and a heat map of markers by relations (each cell shaded by its count,
// the count written in). Needs a QGuiApplication.
QByteArray drawStatsChart(const StatsReport &report, ChartFormat format);

} // namespace vandro::admin
