#include "TDBEdit.h"

#include "BoxMenu.h"

#include "KeyFilter.h"
#include "shell/FocusRules.h"
#include "shell/TApplication.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QValidator>
#include <QStyleOptionFrame>
#include <algorithm>
#include <limits>

namespace vandro::controls {

namespace {

// The characters (code points) of `text`.
qsizetype characterCount(const QString &text) {
  qsizetype count = 0;
  for (qsizetype i = 0; i < text.size(); ++i, ++count)
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
      ++i;
  return count;
}

} // namespace

// A string field's size counts characters, while QLineEdit's own length
// limit counts UTF-16 units (half as many characters beyond the Basic
// Multilingual Plane) and may split a pair. A change that would give more
// characters than the field holds keeps only as many of the characters it
// brought (those just before the caret go) as fit, as a typed or pasted
// text meets a length limit. The text the table shows is never cut here.
class TDBEdit::CharacterLimit : public QValidator {
public:
  explicit CharacterLimit(QObject *parent) : QValidator(parent) {}
  qsizetype limit = std::numeric_limits<qsizetype>::max();
  bool showing = false; // the box takes the field's text

  State validate(QString &input, int &caret) const override {
    if (showing || limit == std::numeric_limits<qsizetype>::max())
      return Acceptable;
    qsizetype excess = characterCount(input) - limit;
    if (excess <= 0)
      return Acceptable;
    // Remove `excess` characters ending at the caret (the ones just put
    // in), whole surrogate pairs at a time.
    qsizetype from = caret;
    while (excess > 0 && from > 0) {
      from -= from >= 2 && input[from - 1].isLowSurrogate() && input[from - 2].isHighSurrogate() ? 2 : 1;
      --excess;
    }
    if (excess > 0)
      return Invalid;
    input.remove(from, caret - from);
    caret = static_cast<int>(from);
    return Acceptable;
  }
};

TDBEdit::TDBEdit(const QString &name, const QString &fieldName, BoxAccess access, QWidget *parent)
    : QLineEdit(parent), m_link(*this, fieldName, access) {
  setObjectName(name);
  // Refusing changes until the table is in edit mode is this class's own
  // work (see setWritable): a read-only QLineEdit would hide its caret.
  setMaxLength(std::numeric_limits<int>::max()); // a string field's size limits the characters
  m_limit = new CharacterLimit(this);
  setValidator(m_limit);
  setAcceptDrops(false);
  connect(this, &QLineEdit::textEdited, this, [this] { m_link.setModified(); });
}

TDBEdit::~TDBEdit() = default;

void TDBEdit::reload(Reload kind) {
  store::TField *field = m_link.field();
  if (!field) {
    setText(QString());
    m_alignment = store::Alignment::Left;
    update();
    return;
  }
  if (field->alignment() != m_alignment) {
    clear();
    m_alignment = field->alignment();
  }
  m_limit->limit = field->kind() == engine::FieldKind::String ? field->Size() : std::numeric_limits<qsizetype>::max();
  const QString shown = m_focused && field->CanModify() ? field->EditText() : field->DisplayText();
  if (shown != text()) {
    if (kind == Reload::EditedRecord && hasFocus()) {
      // The caret (or selection) stays where the user put it, within the
      // new text; a selection of the whole text selects the whole new one.
      const bool all = !text().isEmpty() && selectedText() == text();
      const int start = hasSelectedText() ? selectionStart() : cursorPosition();
      const int length = hasSelectedText() ? selectionLength() : 0;
      const int caret = cursorPosition();
      showText(shown);
      const auto clamped = [&shown](int position) { return std::min(position, static_cast<int>(shown.size())); };
      if (all)
        selectAll();
      else if (length > 0 && caret == start)
        setSelection(clamped(start + length), clamped(start) - clamped(start + length)); // caret at the start
      else if (length > 0)
        setSelection(clamped(start), clamped(start + length) - clamped(start));
      else
        setCursorPosition(clamped(caret));
    } else {
      showText(shown);
      setCursorPosition(0); // a long text shows its start
    }
  }
  update();
}

void TDBEdit::showText(const QString &text) {
  // A stored text longer than its field is shown whole.
  m_limit->showing = true;
  setText(text);
  m_limit->showing = false;
}

void TDBEdit::setWritable(bool writable) { m_writable = writable; }

bool TDBEdit::changesText(const QKeyEvent &event) {
  const KeyMeaning meaning = meaningOf(event);
  return meaning == KeyMeaning::Character || meaning == KeyMeaning::Changing;
}

void TDBEdit::inputMethodEvent(QInputMethodEvent *event) {
  if (!m_writable) {
    event->ignore();
    return;
  }
  QLineEdit::inputMethodEvent(event);
}

void TDBEdit::mousePressEvent(QMouseEvent *event) {
  // The middle button pastes the X selection: a change like any other.
  if (event->button() == Qt::MiddleButton && !m_writable) {
    event->accept();
    return;
  }
  QLineEdit::mousePressEvent(event);
}

void TDBEdit::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() == Qt::MiddleButton && !m_writable) {
    event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(event);
}

void TDBEdit::focusControl() {
  setFocus(Qt::OtherFocusReason);
}

void TDBEdit::keyPressEvent(QKeyEvent *event) {
  TFieldDataLink::KeyOutcome outcome = TFieldDataLink::KeyOutcome::Drop;
  guarded([&] { outcome = m_link.filterKey(*event); });
  if (outcome == TFieldDataLink::KeyOutcome::Escape) {
    bool cancelled = false;
    guarded([&] { cancelled = m_link.cancelStaleEdit(); });
    if (cancelled) {
      selectAll();
      return;
    }
    // The field's text again; the record stays in edit mode.
    m_link.clearModified();
    guarded([this] { reload(); });
    selectAll();
    return;
  }
  // A change the table could not take (browsing a read-only box) is dropped;
  // moving the caret, selecting and copying always work.
  if (outcome == TFieldDataLink::KeyOutcome::Pass && (m_writable || !changesText(*event)))
    QLineEdit::keyPressEvent(event);
}

void TDBEdit::contextMenuEvent(QContextMenuEvent *event) {
  // The box's own menu: the changes in it ask the table for an edit before
  // they act, so they are offered while browsing too, in a box whose field
  // can change.
  QMenu menu(this);
  const bool changeable = m_link.canEdit();
  const bool selection = hasSelectedText();
  auto add = [&](const QString &text, QKeySequence::StandardKey key, bool enabled, auto act) {
    const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
    QAction *action = menu.addAction(shortcut.isEmpty() ? text : text + QLatin1Char('\t') + shortcut);
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, act);
  };
  auto change = [this](void (QLineEdit::*operation)()) {
    return [this, operation] {
      guarded([this, operation] {
        m_link.requestEdit();
        if (m_writable) {
          (this->*operation)();
          m_link.setModified();
        }
      });
    };
  };
  add(tr("&Undo"), QKeySequence::Undo, changeable && isUndoAvailable(), change(&QLineEdit::undo));
  add(tr("&Redo"), QKeySequence::Redo, changeable && isRedoAvailable(), change(&QLineEdit::redo));
  menu.addSeparator();
  add(tr("Cu&t"), QKeySequence::Cut, changeable && selection, change(&QLineEdit::cut));
  add(tr("&Copy"), QKeySequence::Copy, selection, [this] { copy(); });
  add(tr("&Paste"), QKeySequence::Paste, changeable && !QApplication::clipboard()->text().isEmpty(),
      change(&QLineEdit::paste));
  add(tr("Delete"), QKeySequence::UnknownKey, changeable && selection, change(&QLineEdit::del));
  menu.addSeparator();
  add(tr("Select All"), QKeySequence::SelectAll, !text().isEmpty() && selectedText() != text(),
      [this] { selectAll(); });
  execBoxMenu(menu, *this, event->globalPos());
}

void TDBEdit::focusInEvent(QFocusEvent *event) {
  QLineEdit::focusInEvent(event);
  m_focused = true;
  // Text the user typed and that has not gone into the field yet stays (the
  // focus comes back after a failed write-back so that it can be mended).
  if (!m_link.modified())
    guarded([this] { reload(); });
  if (selectsAllOnFocus(event->reason())) {
    m_inactiveSelection.forget();
    selectAll();
  } else if (event->reason() == Qt::ActiveWindowFocusReason) {
    m_inactiveSelection.restore(*this);
  }
  update();
}

void TDBEdit::focusOutEvent(QFocusEvent *event) {
  QLineEdit::focusOutEvent(event);
  if (leavesTheBox(event->reason()))
    leave();
  else if (event->reason() == Qt::ActiveWindowFocusReason)
    m_inactiveSelection.keep(*this);
}

void TDBEdit::leave() {
  if (!m_link.writeBackOnLeave(*this, [this] { selectAll(); }))
    return;
  m_focused = false;
  deselect();
  guarded([this] { reload(); });
}

int TDBEdit::rightAlignedTextLeft() const {
  QStyleOptionFrame option;
  initStyleOption(&option);
  const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
  const int margin = contents.left();
  return width() - fontMetrics().horizontalAdvance(text()) - margin - 1;
}

void TDBEdit::paintEvent(QPaintEvent *event) {
  if (m_focused || m_alignment != store::Alignment::Right) {
    QLineEdit::paintEvent(event);
    return;
  }
  // Numbers stand right-aligned while the box has no focus.
  QPainter painter(this);
  QStyleOptionFrame option;
  initStyleOption(&option);
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
  const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
  const QFontMetrics metrics = fontMetrics();
  const int baseline = contents.top() + (contents.height() - metrics.height()) / 2 + metrics.ascent();
  painter.drawText(rightAlignedTextLeft(), baseline, text());
}

} // namespace vandro::controls
