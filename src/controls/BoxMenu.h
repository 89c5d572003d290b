// A box's context menu with the window's commands that were added to the
// box (QWidget::addAction) at its end.
#pragma once

#include <QPoint>

class QMenu;
class QWidget;

namespace vandro::controls {

// Shows `menu` at `at` (global), after the actions of `box`, if any, were
// added below a separator.
void execBoxMenu(QMenu &menu, const QWidget &box, const QPoint &at);

} // namespace vandro::controls
