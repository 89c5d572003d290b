#include "SelectionMemory.h"

#include <QLineEdit>

namespace vandro::controls {

void SelectionMemory::keep(QLineEdit &edit) {
  m_kept = true;
  m_text = edit.text();
  m_start = edit.selectionStart();
  m_length = edit.selectedText().size();
  m_cursor = edit.cursorPosition();
  edit.deselect();
}

void SelectionMemory::restore(QLineEdit &edit) {
  if (!m_kept)
    return;
  m_kept = false;
  if (edit.text() != m_text)
    return;
  if (m_start < 0) {
    edit.setCursorPosition(m_cursor);
    return;
  }
  // The caret at the end the selection was made towards.
  if (m_cursor == m_start)
    edit.setSelection(m_start + m_length, -m_length);
  else
    edit.setSelection(m_start, m_length);
}

} // namespace vandro::controls
