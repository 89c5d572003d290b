// The window's drop-down combo box, with typing completion from its list.
#pragma once

#include <QComboBox>

namespace vandro::controls {

// An editable combo box whose text may be any text. Typing a character
// completes the text from the first list item that begins with what was
// typed (ignoring case), keeping the typed letters as they were typed and
// selecting the completed tail; Backspace deletes the selection or the
// character before the caret and clears the list selection.
class TComboBox : public QComboBox {
  Q_OBJECT
public:
  explicit TComboBox(QWidget *parent = nullptr);

  // The text of the box, as the program reads and sets it.
  QString text() const { return currentText(); }
  // Sets the text; nothing happens when it is the same text. A different
  // text leaves the caret at its start.
  void setText(const QString &text);

  // Opens the list at least as wide as its widest item.
  void showPopup() override;

signals:
  // The user typed or deleted in the box, or chose from its list or with
  // the wheel, whether or not the text then differs.
  void userEdited();

protected:
  // The focused combo box gets the keys and hands them to its line edit
  // itself, so completion and Backspace are handled here, before that.
  void keyPressEvent(QKeyEvent *event) override;
  // The wheel turns through the list only in the box that has the focus.
  void wheelEvent(QWheelEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  bool complete(const QString &typed);
  void backspace();
  bool m_listKeys = false; // the arrow keys move through the open list
};

} // namespace vandro::controls
