// A data-bound edit box: shows one field of the current record.
#pragma once

#include "SelectionMemory.h"
#include "TFieldDataLink.h"
#include "store/TField.h"

#include <QLineEdit>
#include <memory>

namespace vandro::controls {

// Shows its field's display text (its edit text while focused and
// editable), right-aligned for numeric fields while not focused. Typing a
// character the field accepts, Backspace, Delete, cut, paste and undo first
// ask the table to edit; Escape brings the field's text back (or, when the
// edit can no longer be posted because the record changed meanwhile,
// cancels it and shows the stored record). The typed text goes into the
// field when the box is left or the record is posted.
class TDBEdit : public QLineEdit, public BoundControl {
  Q_OBJECT
public:
  TDBEdit(const QString &name, const QString &fieldName, BoxAccess access, QWidget *parent = nullptr);
  ~TDBEdit() override;

  TFieldDataLink &link() { return m_link; }
  const TFieldDataLink &link() const { return m_link; }
  // Where the text starts while the box paints it right-aligned.
  int rightAlignedTextLeft() const;

  void reload(Reload kind = Reload::Record) override;
  void setWritable(bool writable) override;
  QString controlText() const override { return text(); }
  QString controlName() const override { return objectName(); }
  void focusControl() override;

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  void inputMethodEvent(QInputMethodEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  void leave();
  // Shows the field's text as it is, whatever its length.
  void showText(const QString &text);
  static bool changesText(const QKeyEvent &event);
  // Whether the text may change now (the table editing, the field
  // modifiable): the box refuses changes itself, keeping its caret.
  bool m_writable = false;
  // From entering the box until leaving it (not while another window is
  // active): edit text and left alignment.
  bool m_focused = false;
  SelectionMemory m_inactiveSelection;
  TFieldDataLink m_link;
  store::Alignment m_alignment = store::Alignment::Left;
  class CharacterLimit;
  CharacterLimit *m_limit = nullptr;
};

} // namespace vandro::controls
