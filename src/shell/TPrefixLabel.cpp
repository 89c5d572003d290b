#include "TPrefixLabel.h"

#include <QPainter>

namespace vandro {

namespace {
constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs | Qt::TextShowMnemonic;
}

TPrefixLabel::TPrefixLabel(const QString &name, const QString &text, QWidget *parent) : QLabel(parent) {
  setObjectName(name);
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setText(text);
}

QSize TPrefixLabel::measure(const QString &text, const QFont &font, int width) {
  return QFontMetrics(font).boundingRect(QRect(0, 0, width, 0), kFlags, text).size();
}

void TPrefixLabel::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(contentsRect(), kFlags, text());
}

} // namespace vandro
