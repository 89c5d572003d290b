#include "TBevel.h"

#include <QPainter>

namespace vandro::controls {

TBevel::TBevel(QWidget *parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void TBevel::paintEvent(QPaintEvent *) {
  // Sunken: the shadow on the top and left edges, the light on the others.
  QPainter painter(this);
  const QRect r = rect().adjusted(0, 0, -1, -1);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawLine(r.topLeft(), r.topRight());
  painter.drawLine(r.topLeft(), r.bottomLeft());
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(r.bottomLeft(), r.bottomRight());
  painter.drawLine(r.topRight(), r.bottomRight());
}

} // namespace vandro::controls
