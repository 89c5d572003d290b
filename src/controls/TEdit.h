// The window's single-line edit box.
#pragma once

#include "SelectionMemory.h"

#include <QLineEdit>

namespace vandro::controls {

// A line edit without a length limit of its own that selects all its text
// when the focus arrives by Tab or by the program, and hides its selection
// once the focus has gone to another control.
class TEdit : public QLineEdit {
  Q_OBJECT
public:
  explicit TEdit(QWidget *parent = nullptr);

  // The program's assignment of the text. An equal text (compared exactly)
  // changes nothing and raises no change notification; a different one
  // raises textChanged before this returns and leaves the caret at the
  // start, so that the start of a long text is what shows. (A name of its
  // own: QLineEdit::setText is no virtual function, and a call through a
  // QLineEdit pointer would skip this rule.)
  void assignText(const QString &text);

protected:
  // The box's own menu, with the window's commands added to the box.
  void contextMenuEvent(QContextMenuEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;

private:
  SelectionMemory m_inactiveSelection;
  bool m_hadFocus = false;
};

} // namespace vandro::controls
