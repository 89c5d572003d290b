#include "TEdit.h"

#include "BoxMenu.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <memory>

#include "shell/FocusRules.h"

#include <QFocusEvent>
#include <limits>

namespace vandro::controls {

TEdit::TEdit(QWidget *parent) : QLineEdit(parent) { setMaxLength(std::numeric_limits<int>::max()); }

void TEdit::assignText(const QString &text) {
  if (text == QLineEdit::text())
    return;
  QLineEdit::setText(text);
  setCursorPosition(0);
}

void TEdit::focusInEvent(QFocusEvent *event) {
  QLineEdit::focusInEvent(event);
  // The focus the program gave before the window was shown arrives with the
  // window's first activation: that too is the program's.
  const bool first = !m_hadFocus && event->reason() == Qt::ActiveWindowFocusReason;
  m_hadFocus = true;
  if (selectsAllOnFocus(event->reason()) || first) {
    m_inactiveSelection.forget();
    selectAll();
  } else if (event->reason() == Qt::ActiveWindowFocusReason) {
    m_inactiveSelection.restore(*this);
  }
}

void TEdit::focusOutEvent(QFocusEvent *event) {
  QLineEdit::focusOutEvent(event);
  if (leavesTheBox(event->reason()))
    deselect();
  else if (event->reason() == Qt::ActiveWindowFocusReason)
    m_inactiveSelection.keep(*this);
}

void TEdit::contextMenuEvent(QContextMenuEvent *event) {
  const std::unique_ptr<QMenu> menu(createStandardContextMenu());
  execBoxMenu(*menu, *this, event->globalPos());
}

} // namespace vandro::controls
