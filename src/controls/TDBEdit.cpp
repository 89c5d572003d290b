#include "TDBEdit.h"

#include "shell/FocusRules.h"
#include "shell/TApplication.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionFrame>
#include <limits>

namespace vandro::controls {

TDBEdit::TDBEdit(const QString &name, const QString &fieldName, bool readOnly, QWidget *parent)
    : QLineEdit(parent), m_link(*this, fieldName, readOnly) {
  setObjectName(name);
  setReadOnly(true); // until the table is in edit mode
  setMaxLength(std::numeric_limits<int>::max()); // a string field sets its size
  connect(this, &QLineEdit::textEdited, this, [this] { m_link.setModified(); });
}

TDBEdit::~TDBEdit() = default;

void TDBEdit::reload() {
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
  if (field->kind() == engine::FieldKind::String && !m_lengthLimited) {
    setMaxLength(field->Size());
    m_lengthLimited = true;
  }
  const QString shown = hasFocus() && field->CanModify() ? field->EditText() : field->DisplayText();
  if (shown != text()) {
    setText(shown);
    setCursorPosition(0); // a long text shows its start
  }
  update();
}

void TDBEdit::setWritable(bool writable) { setReadOnly(!writable); }

void TDBEdit::focusControl() {
  setFocus(Qt::OtherFocusReason);
}

void TDBEdit::keyPressEvent(QKeyEvent *event) {
  TFieldDataLink::KeyOutcome outcome = TFieldDataLink::KeyOutcome::Drop;
  guarded([&] { outcome = m_link.filterKey(*event); });
  if (outcome == TFieldDataLink::KeyOutcome::Escape) {
    // The field's text again; the record stays in edit mode.
    m_link.clearModified();
    guarded([this] { reload(); });
    selectAll();
    return;
  }
  if (outcome == TFieldDataLink::KeyOutcome::Pass)
    QLineEdit::keyPressEvent(event);
}

void TDBEdit::contextMenuEvent(QContextMenuEvent *event) {
  QMenu *menu = createStandardContextMenu();
  // Paste, cut and undo from the menu ask for an edit before they act.
  for (QAction *action : menu->actions()) {
    const QString name = action->objectName();
    void (QLineEdit::*operation)() = nullptr;
    if (name == QLatin1String("edit-paste"))
      operation = &QLineEdit::paste;
    else if (name == QLatin1String("edit-cut"))
      operation = &QLineEdit::cut;
    else if (name == QLatin1String("edit-undo"))
      operation = &QLineEdit::undo;
    else if (name == QLatin1String("edit-delete"))
      operation = &QLineEdit::del;
    if (!operation)
      continue;
    action->disconnect();
    if (!m_link.readOnly())
      action->setEnabled(true);
    connect(action, &QAction::triggered, this, [this, operation] {
      guarded([this, operation] {
        m_link.requestEdit();
        if (!isReadOnly()) {
          (this->*operation)();
          m_link.setModified();
        }
      });
    });
  }
  menu->exec(event->globalPos());
  delete menu;
}

void TDBEdit::focusInEvent(QFocusEvent *event) {
  QLineEdit::focusInEvent(event);
  // Text the user typed and that has not gone into the field yet stays (the
  // focus comes back after a failed write-back so that it can be mended).
  if (!m_link.modified())
    guarded([this] { reload(); });
  if (selectsAllOnFocus(event->reason()))
    selectAll();
  update();
}

void TDBEdit::focusOutEvent(QFocusEvent *event) {
  QLineEdit::focusOutEvent(event);
  if (leavesTheBox(event->reason()))
    leave();
}

void TDBEdit::leave() {
  if (!m_link.writeBackOnLeave(*this, [this] { selectAll(); }))
    return;
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
  if (hasFocus() || m_alignment != store::Alignment::Right) {
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
