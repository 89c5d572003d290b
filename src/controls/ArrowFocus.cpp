#include "ArrowFocus.h"

#include <QKeyEvent>

namespace vandro::controls {

ArrowFocus::ArrowFocus(QObject *parent) : QObject(parent) {}

void ArrowFocus::addSiblings(const std::vector<QWidget *> &controls) {
  m_groups.emplace_back(controls.begin(), controls.end());
}

void ArrowFocus::watch(QWidget *control) { control->installEventFilter(this); }

bool ArrowFocus::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() != QEvent::KeyPress)
    return false;
  auto *key = static_cast<QKeyEvent *>(event);
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
    return false;
  int step;
  switch (key->key()) {
  case Qt::Key_Right:
  case Qt::Key_Down: step = 1; break;
  case Qt::Key_Left:
  case Qt::Key_Up: step = -1; break;
  default: return false;
  }
  for (const auto &group : m_groups) {
    const auto count = static_cast<int>(group.size());
    for (int i = 0; i < count; ++i) {
      if (group[static_cast<std::size_t>(i)] != watched)
        continue;
      // The next control that can take the focus at all, wrapping around.
      for (int n = 1; n < count; ++n) {
        QWidget *next = group[static_cast<std::size_t>(((i + step * n) % count + count) % count)];
        if (next && next->isEnabled() && next->isVisible() && next->focusPolicy() != Qt::NoFocus) {
          next->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
          return true;
        }
      }
      return true;
    }
  }
  return false;
}

} // namespace vandro::controls
