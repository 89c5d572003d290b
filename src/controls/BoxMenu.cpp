#include "BoxMenu.h"

#include <QMenu>
#include <QWidget>

namespace vandro::controls {

void execBoxMenu(QMenu &menu, const QWidget &box, const QPoint &at) {
  if (!box.actions().isEmpty()) {
    menu.addSeparator();
    menu.addActions(box.actions());
  }
  menu.exec(at);
}

} // namespace vandro::controls
