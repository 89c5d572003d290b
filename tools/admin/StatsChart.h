// The chart of a statistics table, drawn with QPainter as SVG or PNG.
#pragma once

#include "Stats.h"

#include <QByteArray>
#include <string>

namespace vandro::admin {

enum class ChartFormat { Svg, Png };

// The chart of `report`, titled with the table's title, the corpus and N:
// horizontal bars for relations and documents (the records, the part with a
// marker drawn within each bar, the counts at its end), stacked bars of the
// marker positions of each relation's spans (each part's count on it where
// it fits), and a heat map of markers by relations (each cell shaded by its
// count on a log scale, or by its share of its row or column, and the count
// or share written in; totals on the right and below; a scale with its
// values). Never taller than a letter page at its width: the rows a page
// cannot hold, and relations beyond 30 columns, are summed as "other".
// Needs a QGuiApplication.
QByteArray drawStatsChart(const StatsReport &report, ChartFormat format);

} // namespace vandro::admin
