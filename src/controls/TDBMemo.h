// A data-bound memo: shows a long text field of the current record whole.
#pragma once

#include "TFieldDataLink.h"

#include <QPlainTextEdit>

namespace vandro::controls {

// Multi-line, wrapping at the right edge, with a vertical scroll bar. A
// memo field's whole text is shown with its line breaks; a text longer than
// the memo can hold shows "(Text exceeds memo capacity)" instead.
class TDBMemo : public QPlainTextEdit, public BoundControl {
  Q_OBJECT
public:
  TDBMemo(const QString &name, const QString &fieldName, BoxAccess access, QWidget *parent = nullptr);
  ~TDBMemo() override;

  // The most characters the memo holds: laid out in well under a second
  // (a span of text is rarely more than ten thousand).
  static constexpr qsizetype kDefaultCapacity = 1024 * 1024;
  void setCapacity(qsizetype characters) { m_capacity = characters; }

  TFieldDataLink &link() { return m_link; }

  void reload(Reload kind = Reload::Record) override;
  void setWritable(bool writable) override;
  QString controlText() const override { return toPlainText(); }
  QString controlName() const override { return objectName(); }
  void focusControl() override { setFocus(Qt::OtherFocusReason); }

protected:
  // The box's own menu, with the window's commands added to the box.
  void contextMenuEvent(QContextMenuEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;

private:
  void show(const QString &text, Reload kind);
  TFieldDataLink m_link;
  qsizetype m_capacity = kDefaultCapacity;
};

} // namespace vandro::controls
