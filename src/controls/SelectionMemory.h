// What a line edit's selection was while its window is inactive.
#pragma once

#include <QString>

class QLineEdit;

namespace vandro::controls {

// A box's selection is hidden while its window is not the active one (a
// selection drawn there would look like one to type over) and comes back,
// with the caret, when the window is active again: keep() as the window
// goes, restore() as it comes back. Nothing comes back when the program
// changed the text meanwhile.
class SelectionMemory {
public:
  void keep(QLineEdit &edit);
  void restore(QLineEdit &edit);
  void forget() { m_kept = false; }

private:
  bool m_kept = false;
  QString m_text;
  int m_start = -1, m_length = 0, m_cursor = 0;
};

} // namespace vandro::controls
