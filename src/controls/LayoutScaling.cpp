#include "LayoutScaling.h"

#include "TDBNavigator.h"

#include <QComboBox>
#include <QLineEdit>
#include <cmath>

namespace vandro::controls {

void scaleLayout(QWidget &window, const std::vector<QWidget *> &containers, int measured, int design,
                 QSize client, int editHeight) {
  if (measured == design || design <= 0)
    return;
  const double ratio = static_cast<double>(measured) / design;
  auto scaled = [ratio](int v) { return static_cast<int>(std::lround(v * ratio)); };
  for (QWidget *container : containers) {
    for (QWidget *control : container->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
      if (qobject_cast<TNavButton *>(control))
        continue; // laid out by their bar
      const QRect g = control->geometry();
      const int left = scaled(g.left()), top = scaled(g.top());
      const int width = scaled(g.left() + g.width()) - left;
      int height = scaled(g.top() + g.height()) - top;
      if (qobject_cast<QLineEdit *>(control) || qobject_cast<QComboBox *>(control))
        height = editHeight;
      if (control->testAttribute(Qt::WA_SetFont)) {
        QFont own = control->font();
        if (own.pixelSize() > 0)
          own.setPixelSize(scaled(own.pixelSize()));
        else
          own.setPointSizeF(own.pointSizeF() * ratio);
        control->setFont(own);
      }
      if (auto *bar = qobject_cast<TDBNavigator *>(control))
        bar->setRequestedGeometry(left, top, width, height);
      else
        control->setGeometry(left, top, width, height);
    }
  }
  window.setFixedSize(scaled(client.width()), scaled(client.height()));
}

} // namespace vandro::controls
