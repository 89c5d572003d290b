#include "KeyFilter.h"

namespace vandro::controls {

KeyMeaning meaningOf(const QKeyEvent &event) {
  const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
  const int key = event.key();
  if (key == Qt::Key_Escape && mods == Qt::NoModifier)
    return KeyMeaning::Escape;
  if (key == Qt::Key_Backspace || key == Qt::Key_Delete)
    return KeyMeaning::Changing;
  if (key == Qt::Key_Insert && mods == Qt::ShiftModifier)
    return KeyMeaning::Changing;
  if (mods == Qt::ControlModifier && (key == Qt::Key_V || key == Qt::Key_X || key == Qt::Key_Z))
    return KeyMeaning::Changing;
  if (event.matches(QKeySequence::Paste) || event.matches(QKeySequence::Cut) ||
      event.matches(QKeySequence::Undo) || event.matches(QKeySequence::Redo) ||
      event.matches(QKeySequence::DeleteEndOfLine) || event.matches(QKeySequence::DeleteCompleteLine) ||
      event.matches(QKeySequence::DeleteStartOfWord) || event.matches(QKeySequence::DeleteEndOfWord))
    return KeyMeaning::Changing;
  const QString text = event.text();
  if (text.size() == 1 && text[0].isPrint() && !(mods & (Qt::ControlModifier | Qt::AltModifier)))
    return KeyMeaning::Character;
  return KeyMeaning::Other;
}

} // namespace vandro::controls
