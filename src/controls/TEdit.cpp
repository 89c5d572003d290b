#include "TEdit.h"

#include "shell/FocusRules.h"

#include <QFocusEvent>
#include <limits>

namespace vandro::controls {

TEdit::TEdit(QWidget *parent) : QLineEdit(parent) { setMaxLength(std::numeric_limits<int>::max()); }

void TEdit::setText(const QString &text) {
  if (text == QLineEdit::text())
    return;
  QLineEdit::setText(text);
  setCursorPosition(0);
}

void TEdit::focusInEvent(QFocusEvent *event) {
  QLineEdit::focusInEvent(event);
  if (selectsAllOnFocus(event->reason()))
    selectAll();
}

void TEdit::focusOutEvent(QFocusEvent *event) {
  QLineEdit::focusOutEvent(event);
  if (leavesTheBox(event->reason()))
    deselect();
}

} // namespace vandro::controls
