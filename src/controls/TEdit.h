// The window's single-line edit box.
#pragma once

#include <QLineEdit>

namespace vandro::controls {

// A line edit that selects all its text when it receives the focus other
// than by a mouse click, and hides its selection while it has no focus.
class TEdit : public QLineEdit {
  Q_OBJECT
public:
  explicit TEdit(QWidget *parent = nullptr);

protected:
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;
};

} // namespace vandro::controls
