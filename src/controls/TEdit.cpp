#include "TEdit.h"

#include <QFocusEvent>

namespace vandro::controls {

TEdit::TEdit(QWidget *parent) : QLineEdit(parent) {}

void TEdit::focusInEvent(QFocusEvent *event) {
  QLineEdit::focusInEvent(event);
  if (event->reason() != Qt::MouseFocusReason)
    selectAll();
}

void TEdit::focusOutEvent(QFocusEvent *event) {
  QLineEdit::focusOutEvent(event);
  // Popups (a context menu) take the focus only for a moment.
  if (event->reason() != Qt::PopupFocusReason)
    deselect();
}

} // namespace vandro::controls
