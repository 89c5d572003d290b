#include "StatsChart.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <functional>

namespace vandro::admin {

namespace {

constexpr int kMargin = 16;
constexpr int kRow = 22;
constexpr int kBarLength = 480;
const QColor kInk(0x22, 0x22, 0x22);
const QColor kRecords(0xC6, 0xDB, 0xEF);
const QColor kMarked(0x21, 0x71, 0xB5);
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

// A chart's size and the painting that fills it.
struct Drawing {
  QSize size;
  std::function<void(QPainter &)> paint;
};

// The chart's title: the table's, and for a heat map that shows only the
// most frequent markers, how many more the CSV has.
QString titleOf(const StatsReport &report) {
  QString title = text(report.title);
  if (report.leftOut > 0)
    title += QStringLiteral(" (the %1 most frequent; %2 more in the CSV)").arg(report.labels.size()).arg(report.leftOut);
  return title;
}

// The width the title needs, margins included.
int titleWidth(const StatsReport &report) {
  return QFontMetrics(chartFont(15, true)).horizontalAdvance(titleOf(report)) + 2 * kMargin;
}

int labelWidth(const std::vector<std::string> &labels, const QFontMetrics &metrics) {
  int widest = 0;
  for (const std::string &label : labels)
    widest = std::max(widest, metrics.horizontalAdvance(text(label)));
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
Drawing bars(const StatsReport &report) {
  const QFont font = chartFont(12);
  const QFontMetrics metrics(font);
  const int labels = labelWidth(report.labels, metrics);
  long most = 1;
  for (const auto &values : report.values)
    most = std::max(most, values[0]);
  const int top = kMargin + 28 + 24;
  const int endText = metrics.horizontalAdvance(QStringLiteral("000000 (000000 with a marker, 100.0%)")) + 12;
  Drawing drawing;
  drawing.size = QSize(std::max(kMargin + labels + kBarLength + endText + kMargin, titleWidth(report)),
                       top + static_cast<int>(report.labels.size()) * kRow + kMargin);
  drawing.paint = [=, &report](QPainter &painter) {
    painter.setFont(chartFont(15, true));
    painter.setPen(kInk);
    painter.drawText(QPoint(kMargin, kMargin + 16), text(report.title));
    painter.setFont(font);
    legend(painter, kMargin + labels, kMargin + 30, {{QStringLiteral("Records"), kRecords},
                                                      {QStringLiteral("With a marker"), kMarked}});
    for (std::size_t i = 0; i < report.labels.size(); ++i) {
      const int y = top + static_cast<int>(i) * kRow;
      const long records = report.values[i][0], marked = report.values[i][1];
      const int length = static_cast<int>(std::lround(static_cast<double>(kBarLength) * records / most));
      const int markedLength = static_cast<int>(std::lround(static_cast<double>(kBarLength) * marked / most));
      painter.setPen(kInk);
      painter.drawText(QRect(kMargin, y, labels - 8, kRow - 4), Qt::AlignRight | Qt::AlignVCenter,
                       text(report.labels[i]));
      painter.fillRect(QRect(kMargin + labels, y + 2, std::max(length, 1), kRow - 8), kRecords);
      painter.fillRect(QRect(kMargin + labels, y + 2, markedLength, kRow - 8), kMarked);
      const QString share = records ? QString::number(100.0 * marked / records, 'f', 1) : QStringLiteral("0.0");
      painter.drawText(QRect(kMargin + labels + length + 6, y, endText, kRow - 4), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("%1 (%2 with a marker, %3%)").arg(records).arg(marked).arg(share));
    }
  };
  return drawing;
}

// Positions: each relation's two spans as bars stacked by position.
Drawing positions(const StatsReport &report) {
  const QFont font = chartFont(12);
  const QFontMetrics metrics(font);
  const int spanLabel = metrics.horizontalAdvance(QStringLiteral("span 2")) + 10;
  const int labels = labelWidth(report.labels, metrics) + spanLabel;
  const std::size_t perSpan = report.series.size() / 2;
  long most = 1;
  for (const auto &values : report.values)
    for (std::size_t span = 0; span < 2; ++span) {
      long sum = 0;
      for (std::size_t p = 0; p < perSpan; ++p)
        sum += values[span * perSpan + p];
      most = std::max(most, sum);
    }
  const int top = kMargin + 28 + 24;
  const int pair = 2 * kRow + 6;
  Drawing drawing;
  drawing.size = QSize(std::max(kMargin + labels + kBarLength + 80 + kMargin, titleWidth(report)),
                       top + static_cast<int>(report.labels.size()) * pair + kMargin);
  drawing.paint = [=, &report](QPainter &painter) {
    painter.setFont(chartFont(15, true));
    painter.setPen(kInk);
    painter.drawText(QPoint(kMargin, kMargin + 16), text(report.title));
    painter.setFont(font);
    std::vector<std::pair<QString, QColor>> entries;
    for (std::size_t p = 0; p < perSpan; ++p)
      entries.emplace_back(text(report.series[p]).section(QLatin1Char(' '), 2), kPositionColours[p % 5]);
    legend(painter, kMargin + labels, kMargin + 30, entries);
    for (std::size_t i = 0; i < report.labels.size(); ++i) {
      const int y = top + static_cast<int>(i) * pair;
      painter.setPen(kInk);
      painter.drawText(QRect(kMargin, y, labels - spanLabel - 8, 2 * kRow - 4), Qt::AlignRight | Qt::AlignVCenter,
                       text(report.labels[i]));
      for (std::size_t span = 0; span < 2; ++span) {
        const int rowY = y + static_cast<int>(span) * kRow;
        painter.setPen(QColor(0x66, 0x66, 0x66));
        painter.drawText(QRect(kMargin + labels - spanLabel, rowY, spanLabel - 6, kRow - 4),
                         Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("span %1").arg(span + 1));
        int x = kMargin + labels;
        long sum = 0;
        for (std::size_t p = 0; p < perSpan; ++p) {
          const long count = report.values[i][span * perSpan + p];
          const int length = static_cast<int>(std::lround(static_cast<double>(kBarLength) * count / most));
          painter.fillRect(QRect(x, rowY + 2, length, kRow - 8), kPositionColours[p % 5]);
          x += length;
          sum += count;
        }
        painter.setPen(kInk);
        painter.drawText(QRect(x + 6, rowY, 80, kRow - 4), Qt::AlignLeft | Qt::AlignVCenter, QString::number(sum));
      }
    }
  };
  return drawing;
}

// Markers by relations: a cell a count, shaded by it, the count written in.
Drawing heatMap(const StatsReport &report) {
  const QFont font = chartFont(12);
  const QFontMetrics metrics(font);
  const int labels = labelWidth(report.labels, metrics);
  const int cellWidth = std::max(38, metrics.horizontalAdvance(QStringLiteral("00000")) + 10);
  const int cellHeight = kRow;
  // Column names slanted upwards, so that long ones need no room across.
  int tallest = 0;
  for (const std::string &relation : report.series)
    tallest = std::max(tallest, metrics.horizontalAdvance(text(relation)));
  const int header = static_cast<int>(tallest * 0.72) + 24;
  const int top = kMargin + 30 + header;
  long most = 1;
  for (const auto &values : report.values)
    for (long count : values)
      most = std::max(most, count);
  const int columns = static_cast<int>(report.series.size());
  const int scaleWidth = kMargin + labels + 14 + 21 * 8 + 4 + metrics.horizontalAdvance(QString::number(most)) + kMargin;
  Drawing drawing;
  drawing.size = QSize(std::max({kMargin + labels + columns * cellWidth + static_cast<int>(tallest * 0.72) + kMargin,
                                 scaleWidth, titleWidth(report)}),
                       top + static_cast<int>(report.labels.size()) * cellHeight + 40 + kMargin);
  drawing.paint = [=, &report](QPainter &painter) {
    painter.setFont(chartFont(15, true));
    painter.setPen(kInk);
    painter.drawText(QPoint(kMargin, kMargin + 16), titleOf(report));
    painter.setFont(font);
    for (int c = 0; c < columns; ++c) {
      painter.save();
      painter.translate(kMargin + labels + c * cellWidth + cellWidth / 2 + 4, top - 6);
      painter.rotate(-45);
      painter.setPen(kInk);
      painter.drawText(QPoint(0, 0), text(report.series[static_cast<std::size_t>(c)]));
      painter.restore();
    }
    for (std::size_t r = 0; r < report.labels.size(); ++r) {
      const int y = top + static_cast<int>(r) * cellHeight;
      painter.setPen(kInk);
      painter.drawText(QRect(kMargin, y, labels - 8, cellHeight), Qt::AlignRight | Qt::AlignVCenter,
                       text(report.labels[r]));
      for (int c = 0; c < columns; ++c) {
        const long count = report.values[r][static_cast<std::size_t>(c)];
        const QRect cell(kMargin + labels + c * cellWidth, y, cellWidth - 1, cellHeight - 1);
        // The square root keeps the rarer pairs visible beside the commonest.
        const double shade = count ? std::sqrt(static_cast<double>(count) / static_cast<double>(most)) : 0.0;
        const QColor fill = QColor::fromRgbF(1.0 - 0.87 * shade, 1.0 - 0.56 * shade, 1.0 - 0.29 * shade);
        painter.fillRect(cell, count ? fill : QColor(0xF4, 0xF4, 0xF4));
        if (count) {
          painter.setPen(shade > 0.55 ? Qt::white : kInk);
          painter.drawText(cell, Qt::AlignCenter, QString::number(count));
        }
      }
    }
    // The scale: from one to the largest count.
    const int y = top + static_cast<int>(report.labels.size()) * cellHeight + 14;
    painter.setPen(kInk);
    painter.drawText(QPoint(kMargin + labels, y + 12), QStringLiteral("1"));
    for (int step = 0; step <= 20; ++step) {
      const double shade = std::sqrt(step / 20.0);
      painter.fillRect(QRect(kMargin + labels + 14 + step * 8, y + 1, 8, 12),
                       QColor::fromRgbF(1.0 - 0.87 * shade, 1.0 - 0.56 * shade, 1.0 - 0.29 * shade));
    }
    painter.drawText(QPoint(kMargin + labels + 14 + 21 * 8 + 4, y + 12), QString::number(most));
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
      painter.setFont(chartFont(15, true));
      painter.setPen(kInk);
      painter.drawText(QPoint(kMargin, kMargin + 16), titleOf(report));
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
    svg.setTitle(QString::fromStdString(report.title));
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
