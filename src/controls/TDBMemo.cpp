#include "TDBMemo.h"

#include "BoxMenu.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <memory>

#include "shell/FocusRules.h"
#include "shell/TApplication.h"
#include "store/TField.h"

#include <QApplication>
#include <QFocusEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <algorithm>

namespace vandro::controls {

TDBMemo::TDBMemo(const QString &name, const QString &fieldName, BoxAccess access, QWidget *parent)
    : QPlainTextEdit(parent), m_link(*this, fieldName, access) {
  setObjectName(name);
  setWritable(false);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTabChangesFocus(true);
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (!isReadOnly() && hasFocus())
      m_link.setModified();
  });
}

TDBMemo::~TDBMemo() = default;

void TDBMemo::show(const QString &text, Reload kind) {
  if (text == toPlainText())
    return;
  const bool wasReadOnly = isReadOnly();
  const QTextCursor before = textCursor();
  const bool keepCaret = kind == Reload::EditedRecord && hasFocus();
  // Qt lays out a line without a place to break in a time that grows with
  // the square of its length: a text with a "word" longer than any word
  // (another program stored it) wraps anywhere instead, at once.
  constexpr qsizetype kLongestWord = 1000;
  qsizetype run = 0, longest = 0;
  for (const QChar c : text) {
    run = c.isSpace() ? 0 : run + 1;
    longest = std::max(longest, run);
  }
  // The mode changes on an empty document: a change lays out the text the
  // memo holds, which may be the long word shown before.
  const QTextOption::WrapMode mode =
      longest > kLongestWord ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
  if (mode != wordWrapMode()) {
    clear();
    setWordWrapMode(mode);
  }
  setPlainText(text);
  setWritable(!wasReadOnly);
  if (!keepCaret) {
    verticalScrollBar()->setValue(0);
    return;
  }
  // The caret (and selection) stays where the user put it, within the new
  // text.
  const int end = static_cast<int>(text.size());
  QTextCursor after = textCursor();
  after.setPosition(std::min(before.anchor(), end));
  after.setPosition(std::min(before.position(), end), QTextCursor::KeepAnchor);
  setTextCursor(after);
  ensureCursorVisible();
}

void TDBMemo::setWritable(bool writable) {
  setReadOnly(!writable);
  // Read-only, the text can still be selected and copied from the keyboard,
  // with a caret that shows where the focus is.
  if (!writable)
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void TDBMemo::reload(Reload kind) {
  store::TField *field = m_link.field();
  if (!field) {
    show(QString(), kind);
    return;
  }
  if (!field->isMemo()) {
    show(hasFocus() && field->CanModify() ? field->EditText() : field->DisplayText(), kind);
    return;
  }
  QString text = field->AsString();
  // Line breaks of any kind show as line breaks.
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  if (text.size() > m_capacity)
    text = QStringLiteral("(%1)").arg(QStringLiteral("Text exceeds memo capacity"));
  show(text, kind);
}

void TDBMemo::keyPressEvent(QKeyEvent *event) {
  TFieldDataLink::KeyOutcome outcome = TFieldDataLink::KeyOutcome::Drop;
  guarded([&] { outcome = m_link.filterKey(*event); });
  if (outcome == TFieldDataLink::KeyOutcome::Escape) {
    bool cancelled = false;
    guarded([&] { cancelled = m_link.cancelStaleEdit(); });
    if (cancelled)
      return;
    // The field's text again; the record stays in edit mode.
    m_link.clearModified();
    guarded([this] { reload(); });
    return;
  }
  if (outcome == TFieldDataLink::KeyOutcome::Pass)
    QPlainTextEdit::keyPressEvent(event);
}

void TDBMemo::focusInEvent(QFocusEvent *event) {
  QPlainTextEdit::focusInEvent(event);
  if (!m_link.modified()) // typed text not yet written back stays
    guarded([this] { reload(); });
}

void TDBMemo::focusOutEvent(QFocusEvent *event) {
  QPlainTextEdit::focusOutEvent(event);
  if (!leavesTheBox(event->reason()))
    return;
  if (!m_link.writeBackOnLeave(*this, [this] { selectAll(); }))
    return;
  guarded([this] { reload(); });
}

void TDBMemo::contextMenuEvent(QContextMenuEvent *event) {
  const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
  execBoxMenu(*menu, *this, event->globalPos());
}

} // namespace vandro::controls
