#include "StatsChart.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>

namespace vandro::admin {

namespace {

constexpr int kMargin = 16;
constexpr int kRow = 22;
constexpr int kBarLength = 480;
// The top of the rows: below the title and the legend.
constexpr int kTop = kMargin + 28 + 24;
// The widest a row's label is drawn; longer ones are cut with an ellipsis.
constexpr int kLabelMost = 280;
// A chart is never taller than a page at its width: a US letter page, the
// shorter of letter and A4 for its width, so that it fits either.
constexpr double kPageRatio = 11.0 / 8.5;
// The relations a heat map shows as columns of their own.
constexpr std::size_t kColumnsShown = 30;
const QColor kInk(0x22, 0x22, 0x22);
const QColor kRecords(0xC6, 0xDB, 0xEF);
const QColor kMarked(0x21, 0x71, 0xB5);
const QColor kTotals(0xE6, 0xE6, 0xE6);
// The five marker positions, Beginning to other.
const QColor kPositionColours[] = {QColor(0x1B, 0x9E, 0x77), QColor(0xD9, 0x5F, 0x02), QColor(0x75, 0x70, 0xB3),
                                   QColor(0xE7, 0x29, 0x8A), QColor(0x99, 0x99, 0x99)};

QString text(const std::string &utf8) { return QString::fromStdString(utf8); }

QFont chartFont(int pixels, bool bold = false) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

// `utf8` as drawn in a label: cut with an ellipsis where it is wider than `most`.
QString shown(const std::string &utf8, const QFontMetrics &metrics, int most = kLabelMost) {
  return metrics.elidedText(text(utf8), Qt::ElideRight, most);
}

// The rows of `report` that stand on their own, and so set the scale: an
// "other" row may sum more than any of them, and is drawn cut.
std::size_t ownRows(const StatsReport &report) {
  return report.labels.size() - (report.otherCount > 0 && !report.labels.empty() ? 1 : 0);
}

// A bar cut short: two white strokes across it near its end.
void drawCut(QPainter &painter, const QRect &bar) {
  painter.save();
  painter.setPen(QPen(Qt::white, 3));
  for (const int x : {bar.right() - 22, bar.right() - 14})
    painter.drawLine(x - 3, bar.bottom() + 1, x + 3, bar.top() - 1);
  painter.restore();
}

// The height of a page as wide as `width`.
int pageHeight(int width) { return static_cast<int>(width * kPageRatio); }

// A chart's size and the painting that fills it.
struct Drawing {
  QSize size;
  std::function<void(QPainter &)> paint;
};

// The chart's title: the table's, the corpus and what was counted in it.
QString titleOf(const StatsReport &report) {
  return QStringLiteral("%1 (%2, N = %3 %4)")
      .arg(text(report.title), shown(report.corpus, QFontMetrics(chartFont(15, true)), 300))
      .arg(report.total)
      .arg(text(report.unit));
}

int titleWidth(const StatsReport &report) {
  return QFontMetrics(chartFont(15, true)).horizontalAdvance(titleOf(report)) + 2 * kMargin;
}

void drawTitle(QPainter &painter, const StatsReport &report) {
  painter.setFont(chartFont(15, true));
  painter.setPen(kInk);
  painter.drawText(QPoint(kMargin, kMargin + 16), titleOf(report));
}

int labelWidth(const std::vector<std::string> &labels, const QFontMetrics &metrics) {
  int widest = 0;
  for (const std::string &label : labels)
    widest = std::max(widest, metrics.horizontalAdvance(shown(label, metrics)));
  return widest + 12;
}

void legend(QPainter &painter, int x, int y, const std::vector<std::pair<QString, QColor>> &entries) {
  const QFontMetrics metrics(painter.font());
  for (const auto &[name, colour] : entries) {
    painter.fillRect(QRect(x, y, 12, 12), colour);
    painter.setPen(kInk);
    painter.drawText(QPoint(x + 16, y + 11), name);
    x += 16 + metrics.horizontalAdvance(name) + 18;
  }
}

// Relations or documents: one bar a row, the part with a marker within it.
Drawing bars(StatsReport report) {
  const QFont font = chartFont(12);
  const QFontMetrics metrics(font);
  const int endText = metrics.horizontalAdvance(QStringLiteral("000000 (000000 with a marker, 100.0%)")) + 12;
  auto widthOf = [&] {
    return std::max(kMargin + labelWidth(report.labels, metrics) + kBarLength + endText + kMargin, titleWidth(report));
  };
  // Rows beyond a page are summed in "other".
  const std::size_t fit = static_cast<std::size_t>(std::max(2, (pageHeight(widthOf()) - kTop - kMargin) / kRow));
  if (report.labels.size() > fit)
    foldRows(report, fit - 1);
  const int labels = labelWidth(report.labels, metrics);
  long most = 1;
  for (std::size_t i = 0; i < ownRows(report); ++i)
    most = std::max(most, report.values[i][0]);
  Drawing drawing;
  drawing.size = QSize(widthOf(), kTop + static_cast<int>(report.labels.size()) * kRow + kMargin);
  drawing.paint = [=](QPainter &painter) {
    drawTitle(painter, report);
    painter.setFont(font);
    legend(painter, kMargin + labels, kMargin + 30, {{QStringLiteral("Records"), kRecords},
                                                      {QStringLiteral("With a marker"), kMarked}});
    for (std::size_t i = 0; i < report.labels.size(); ++i) {
      const int y = kTop + static_cast<int>(i) * kRow;
      const long records = report.values[i][0], marked = report.values[i][1];
      // An "other" row longer than the longest bar is cut at its length;
      // the part with a marker keeps its share of what is drawn.
      const bool cut = records > most;
      const double scale = static_cast<double>(kBarLength) / static_cast<double>(cut ? records : most);
      const int length = cut ? kBarLength : static_cast<int>(std::lround(scale * static_cast<double>(records)));
      const int markedLength = static_cast<int>(std::lround(scale * static_cast<double>(marked)));
      painter.setPen(kInk);
      painter.drawText(QRect(kMargin, y, labels - 8, kRow - 4), Qt::AlignRight | Qt::AlignVCenter,
                       shown(report.labels[i], metrics));
      painter.fillRect(QRect(kMargin + labels, y + 2, std::max(length, 1), kRow - 8), kRecords);
      painter.fillRect(QRect(kMargin + labels, y + 2, markedLength, kRow - 8), kMarked);
      if (cut)
        drawCut(painter, QRect(kMargin + labels, y + 2, length, kRow - 8));
      const QString share = records ? QString::number(100.0 * marked / records, 'f', 1) : QStringLiteral("0.0");
      painter.drawText(QRect(kMargin + labels + length + 6, y, endText, kRow - 4), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("%1 (%2 with a marker, %3%)").arg(records).arg(marked).arg(share));
    }
  };
  return drawing;
}

// The span groups drawn for row `row` of a position chart: both spans
// always; of the roles, those with a marker.
std::vector<std::size_t> groupsDrawn(const StatsReport &report, std::size_t row) {
  const std::size_t groups = report.spanGroups.size(), perGroup = report.series.size() / std::max<std::size_t>(groups, 1);
  std::vector<std::size_t> drawn;
  for (std::size_t g = 0; g < groups; ++g) {
    long sum = 0;
    for (std::size_t p = 0; p < perGroup; ++p)
      sum += report.values[row][g * perGroup + p];
    if (report.spans == StatsSpans::Number || sum > 0)
      drawn.push_back(g);
  }
  return drawn;
}

int blockHeight(std::size_t groups) { return static_cast<int>(std::max<std::size_t>(groups, 1)) * kRow + 6; }

// Positions: each relation's spans as bars stacked by position, each part's
// count written on it where it fits.
Drawing positions(StatsReport report) {
  const QFont font = chartFont(12);
  const QFontMetrics metrics(font);
  std::vector<QString> groupNames;
  int spanLabel = 0;
  for (const std::string &group : report.spanGroups) {
    groupNames.push_back(text(group).toLower());
    spanLabel = std::max(spanLabel, metrics.horizontalAdvance(groupNames.back()) + 10);
  }
  const std::size_t perGroup = report.series.size() / std::max<std::size_t>(report.spanGroups.size(), 1);
  auto widthOf = [&] {
    return std::max(kMargin + labelWidth(report.labels, metrics) + spanLabel + kBarLength + 80 + kMargin,
                    titleWidth(report));
  };
  // When the relations are more than a page holds: as many as it holds
  // with room left for the "other" row.
  const int page = pageHeight(widthOf()) - kTop - kMargin;
  int height = 0;
  for (std::size_t i = 0; i < report.labels.size(); ++i)
    height += blockHeight(groupsDrawn(report, i).size());
  if (height > page) {
    const int room = page - blockHeight(report.spanGroups.size());
    std::size_t fit = 0;
    for (height = 0; fit < report.labels.size() && height + blockHeight(groupsDrawn(report, fit).size()) <= room;)
      height += blockHeight(groupsDrawn(report, fit++).size());
    foldRows(report, std::max<std::size_t>(fit, 1));
  }
  const int labels = labelWidth(report.labels, metrics) + spanLabel;
  long most = 1;
  for (std::size_t i = 0; i < ownRows(report); ++i)
    for (std::size_t g = 0; g < report.spanGroups.size(); ++g) {
      long sum = 0;
      for (std::size_t p = 0; p < perGroup; ++p)
        sum += report.values[i][g * perGroup + p];
      most = std::max(most, sum);
    }
  int total = 0;
  for (std::size_t i = 0; i < report.labels.size(); ++i)
    total += blockHeight(groupsDrawn(report, i).size());
  Drawing drawing;
  drawing.size = QSize(widthOf(), kTop + total + kMargin);
  drawing.paint = [=](QPainter &painter) {
    drawTitle(painter, report);
    painter.setFont(font);
    std::vector<std::pair<QString, QColor>> entries;
    for (std::size_t p = 0; p < perGroup; ++p)
      entries.emplace_back(text(report.series[p]).mid(static_cast<qsizetype>(report.spanGroups[0].size()) + 1),
                           kPositionColours[p % 5]);
    legend(painter, kMargin + labels, kMargin + 30, entries);
    int y = kTop;
    for (std::size_t i = 0; i < report.labels.size(); ++i) {
      const std::vector<std::size_t> drawn = groupsDrawn(report, i);
      painter.setPen(kInk);
      painter.drawText(QRect(kMargin, y, labels - spanLabel - 8, static_cast<int>(drawn.size()) * kRow - 4),
                       Qt::AlignRight | Qt::AlignVCenter, shown(report.labels[i], metrics));
      for (std::size_t d = 0; d < drawn.size(); ++d) {
        const std::size_t group = drawn[d];
        const int rowY = y + static_cast<int>(d) * kRow;
        painter.setPen(QColor(0x66, 0x66, 0x66));
        painter.drawText(QRect(kMargin + labels - spanLabel, rowY, spanLabel - 6, kRow - 4),
                         Qt::AlignRight | Qt::AlignVCenter, groupNames[group]);
        int x = kMargin + labels;
        long sum = 0, whole = 0;
        for (std::size_t p = 0; p < perGroup; ++p)
          whole += report.values[i][group * perGroup + p];
        // An "other" row longer than the longest bar is cut at its length.
        const double scale = static_cast<double>(kBarLength) / static_cast<double>(std::max(whole, most));
        for (std::size_t p = 0; p < perGroup; ++p) {
          const long count = report.values[i][group * perGroup + p];
          const int length = static_cast<int>(std::lround(scale * static_cast<double>(count)));
          const QRect part(x, rowY + 2, length, kRow - 8);
          painter.fillRect(part, kPositionColours[p % 5]);
          const QString number = QString::number(count);
          if (count > 0 && metrics.horizontalAdvance(number) + 6 <= length) {
            painter.setPen(p % 5 == 4 ? kInk : Qt::white);
            painter.drawText(part, Qt::AlignCenter, number);
          }
          x += length;
          sum += count;
        }
        if (whole > most)
          drawCut(painter, QRect(kMargin + labels, rowY + 2, x - kMargin - labels, kRow - 8));
        painter.setPen(kInk);
        painter.drawText(QRect(x + 6, rowY, 80, kRow - 4), Qt::AlignLeft | Qt::AlignVCenter, QString::number(sum));
      }
      y += blockHeight(drawn.size());
    }
  };
  return drawing;
}

// The shade of a heat map's cell, 0 (white) to 1 (the darkest blue).
QColor shade(double amount) {
  return QColor::fromRgbF(1.0 - 0.87 * amount, 1.0 - 0.56 * amount, 1.0 - 0.29 * amount);
}

// Markers by relations: a cell a count, shaded by it on a log scale (or by
// the count's share of its row or column), the count or share written in;
// each marker's total on the right, each relation's below.
Drawing heatMap(StatsReport report) {
  const QFont font = chartFont(12), bold = chartFont(12, true);
  const QFontMetrics metrics(font);
  // Relations beyond the columns shown are summed in one column.
  if (report.series.size() > kColumnsShown) {
    const std::size_t own = kColumnsShown - 1;
    const long others = static_cast<long>(report.series.size() - own);
    report.series.resize(own);
    report.series.push_back(otherLabel(others, "relations"));
    for (auto &values : report.values) {
      const long rest = std::accumulate(values.begin() + static_cast<long>(own), values.end(), 0L);
      values.resize(own);
      values.push_back(rest);
    }
  }
  const int cellWidth = std::max(44, metrics.horizontalAdvance(QStringLiteral("00000")) + 10);
  const int totalWidth = std::max(cellWidth, metrics.horizontalAdvance(QStringLiteral("0000000")) + 10);
  const int cellHeight = kRow;
  // Column names slanted upwards, so that long ones need no room across.
  int tallest = metrics.horizontalAdvance(QStringLiteral("Total"));
  for (const std::string &relation : report.series)
    tallest = std::max(tallest, metrics.horizontalAdvance(shown(relation, metrics, 160)));
  const int header = static_cast<int>(tallest * 0.72) + 24;
  const int top = kMargin + 30 + header;
  const int columns = static_cast<int>(report.series.size());
  const int legendHeight = 56;
  auto widthOf = [&] {
    const int labels = labelWidth(report.labels, metrics);
    return std::max({kMargin + labels + columns * cellWidth + 6 + totalWidth + static_cast<int>(tallest * 0.72) +
                         kMargin,
                     kMargin + labels + 320 + kMargin, titleWidth(report)});
  };
  // Markers beyond a page are summed in "other"; the totals' row stays.
  const std::size_t fit = static_cast<std::size_t>(
      std::max(2, (pageHeight(widthOf()) - top - (cellHeight + 6) - legendHeight - kMargin) / cellHeight));
  if (report.labels.size() > fit)
    foldRows(report, fit - 1);
  const int labels = labelWidth(report.labels, metrics);
  const std::size_t rows = report.labels.size();
  std::vector<long> rowTotals(rows), columnTotals(report.series.size());
  long most = 1;
  for (std::size_t r = 0; r < rows; ++r)
    for (std::size_t c = 0; c < report.series.size(); ++c) {
      rowTotals[r] += report.values[r][c];
      columnTotals[c] += report.values[r][c];
      if (r < ownRows(report))
        most = std::max(most, report.values[r][c]);
    }
  const long all = std::accumulate(rowTotals.begin(), rowTotals.end(), 0L);
  const StatsShare share = report.share;
  // How dark a count is: its share, or its place between 1 and the largest
  // count on a log scale, so that the rare pairs differ as well as the common.
  auto amount = [=](long count, long whole) {
    if (share != StatsShare::None)
      return 0.08 + 0.92 * (whole ? static_cast<double>(count) / static_cast<double>(whole) : 0.0);
    // An "other" row's sums may pass the largest count: as dark as it.
    return most > 1 ? std::min(1.0, 0.12 + 0.88 * std::log(static_cast<double>(count)) /
                                             std::log(static_cast<double>(most)))
                    : 1.0;
  };
  Drawing drawing;
  drawing.size = QSize(widthOf(), top + static_cast<int>(rows) * cellHeight + cellHeight + 6 + legendHeight + kMargin);
  drawing.paint = [=](QPainter &painter) {
    drawTitle(painter, report);
    painter.setFont(font);
    const int left = kMargin + labels, totalsX = left + columns * cellWidth + 6;
    auto slanted = [&](int x, const QString &name) {
      painter.save();
      painter.translate(x, top - 6);
      painter.rotate(-45);
      painter.setPen(kInk);
      painter.drawText(QPoint(0, 0), name);
      painter.restore();
    };
    for (int c = 0; c < columns; ++c)
      slanted(left + c * cellWidth + cellWidth / 2 + 4, shown(report.series[static_cast<std::size_t>(c)], metrics, 160));
    painter.setFont(bold);
    slanted(totalsX + totalWidth / 2 + 4, QStringLiteral("Total"));
    for (std::size_t r = 0; r <= rows; ++r) {
      const bool totals = r == rows;
      const int y = top + static_cast<int>(r) * cellHeight + (totals ? 6 : 0);
      painter.setFont(totals ? bold : font);
      painter.setPen(kInk);
      painter.drawText(QRect(kMargin, y, labels - 8, cellHeight), Qt::AlignRight | Qt::AlignVCenter,
                       totals ? QStringLiteral("Total") : shown(report.labels[r], metrics));
      for (int c = 0; c < columns; ++c) {
        const std::size_t column = static_cast<std::size_t>(c);
        const QRect cell(left + c * cellWidth, y, cellWidth - 1, cellHeight - 1);
        if (totals) {
          painter.fillRect(cell, kTotals);
          painter.setPen(kInk);
          painter.drawText(cell, Qt::AlignCenter, QString::number(columnTotals[column]));
          continue;
        }
        const long count = report.values[r][column];
        const long whole = share == StatsShare::Row ? rowTotals[r] : columnTotals[column];
        const double dark = count ? amount(count, whole) : 0.0;
        painter.fillRect(cell, count ? shade(dark) : QColor(0xF4, 0xF4, 0xF4));
        if (!count)
          continue;
        painter.setFont(font);
        painter.setPen(dark > 0.55 ? Qt::white : kInk);
        const double percent = 100.0 * static_cast<double>(count) / static_cast<double>(std::max(whole, 1L));
        painter.drawText(cell, Qt::AlignCenter,
                         share == StatsShare::None ? QString::number(count)
                         : percent < 0.5           ? QStringLiteral("<1%")
                                                   : QStringLiteral("%1%").arg(std::lround(percent)));
      }
      painter.setFont(bold);
      painter.fillRect(QRect(totalsX, y, totalWidth - 1, cellHeight - 1), kTotals);
      painter.setPen(kInk);
      painter.drawText(QRect(totalsX, y, totalWidth - 1, cellHeight - 1), Qt::AlignCenter,
                       QString::number(totals ? all : rowTotals[r]));
    }
    // The scale: a strip of shades with the values they stand for below it.
    painter.setFont(font);
    const int y = top + static_cast<int>(rows + 1) * cellHeight + 6 + 14;
    constexpr int kStrip = 240, kSteps = 24;
    for (int step = 0; step < kSteps; ++step) {
      const double at = (step + 0.5) / kSteps;
      const double dark = share != StatsShare::None ? 0.08 + 0.92 * at : most > 1 ? 0.12 + 0.88 * at : 1.0;
      painter.fillRect(QRect(left + step * kStrip / kSteps, y, kStrip / kSteps, 12), shade(dark));
    }
    std::vector<std::pair<double, QString>> ticks;
    if (share != StatsShare::None) {
      for (int percent = 0; percent <= 100; percent += 25)
        ticks.emplace_back(percent / 100.0, QStringLiteral("%1%").arg(percent));
    } else if (most > 1) {
      for (long value = 1; value < most; value *= 10)
        ticks.emplace_back(std::log(static_cast<double>(value)) / std::log(static_cast<double>(most)),
                           QString::number(value));
      ticks.emplace_back(1.0, QString::number(most));
    } else {
      ticks.emplace_back(1.0, QStringLiteral("1"));
    }
    int clearFrom = std::numeric_limits<int>::min();
    for (std::size_t t = ticks.size(); t-- > 0;) {
      // From the right, so that the largest count always shows; a tick too
      // close to the one after it is left out.
      const int x = left + static_cast<int>(std::lround(ticks[t].first * kStrip));
      const int half = metrics.horizontalAdvance(ticks[t].second) / 2;
      if (t + 1 < ticks.size() && x + half + 6 > clearFrom)
        continue;
      painter.setPen(kInk);
      painter.drawLine(x, y + 12, x, y + 16);
      painter.drawText(QPoint(x - half, y + 29), ticks[t].second);
      clearFrom = x - half;
    }
    const QString caption = share == StatsShare::Row      ? QStringLiteral("share of the marker's uses")
                            : share == StatsShare::Column ? QStringLiteral("share of the relation's markers")
                                                          : QStringLiteral("count, log scale");
    painter.drawText(QPoint(left + kStrip + 14, y + 11), caption);
  };
  return drawing;
}

} // namespace

QByteArray drawStatsChart(const StatsReport &report, ChartFormat format) {
  Drawing drawing;
  if (report.labels.empty()) {
    // Nothing counted: the title, and that there is nothing.
    drawing.size = QSize(std::max(titleWidth(report), 300), kMargin + 60);
    drawing.paint = [&report](QPainter &painter) {
      drawTitle(painter, report);
      painter.setFont(chartFont(12));
      painter.drawText(QPoint(kMargin, kMargin + 44), QStringLiteral("Nothing to count."));
    };
  } else switch (report.by) {
  case StatsBy::Relation:
  case StatsBy::Document: drawing = bars(report); break;
  case StatsBy::Position: drawing = positions(report); break;
  case StatsBy::Marker: drawing = heatMap(report); break;
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (format == ChartFormat::Svg) {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(drawing.size);
    svg.setViewBox(QRect(QPoint(0, 0), drawing.size));
    svg.setTitle(titleOf(report));
    svg.setDescription(QStringLiteral("Made by vandro-admin stats"));
    QPainter painter(&svg);
    painter.fillRect(QRect(QPoint(0, 0), drawing.size), Qt::white);
    drawing.paint(painter);
    painter.end();
  } else {
    QImage image(drawing.size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawing.paint(painter);
    painter.end();
    image.save(&buffer, "PNG");
  }
  return bytes;
}

} // namespace vandro::admin
