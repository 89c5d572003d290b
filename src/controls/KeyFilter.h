// What a key press means to a bound control.
#pragma once

#include <QKeyEvent>

namespace vandro::controls {

enum class KeyMeaning {
  Character,  // a printable character: filtered by the field, then an edit
  Changing,   // Backspace, Delete, cut, paste, undo: an edit first
  Escape,     // brings the field's text back
  Other,      // moves the caret, selects, copies: no edit
};

KeyMeaning meaningOf(const QKeyEvent &event);

} // namespace vandro::controls
