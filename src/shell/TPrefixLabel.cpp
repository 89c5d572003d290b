#include "TPrefixLabel.h"

#include <QPainter>

namespace vandro {

namespace {

constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs | Qt::TextShowMnemonic;

// The flags for `text`: a "word" longer than a line can be (a value a
// message names) breaks anywhere, so that the box never grows wider than
// the screen.
int flagsFor(const QString &text) {
  constexpr qsizetype kLongestWord = 80;
  qsizetype run = 0;
  for (const QChar c : text) {
    run = c.isSpace() ? 0 : run + 1;
    if (run > kLongestWord)
      return (kFlags & ~Qt::TextWordWrap) | Qt::TextWrapAnywhere;
  }
  return kFlags;
}

} // namespace

TPrefixLabel::TPrefixLabel(const QString &name, const QString &text, QWidget *parent) : QLabel(parent) {
  setObjectName(name);
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setText(text);
}

QSize TPrefixLabel::measure(const QString &text, const QFont &font, int width) {
  return QFontMetrics(font).boundingRect(QRect(0, 0, width, 0), flagsFor(text), text).size();
}

void TPrefixLabel::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(contentsRect(), flagsFor(text()), text());
}

} // namespace vandro
