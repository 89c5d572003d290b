#include "TComboBox.h"

#include "BoxMenu.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <memory>

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <limits>

namespace vandro::controls {

TComboBox::TComboBox(QWidget *parent) : QComboBox(parent) {
  setEditable(true);
  setCompleter(nullptr); // the completion is this class's own
  setInsertPolicy(QComboBox::NoInsert);
  setMaxVisibleItems(8);
  setFocusPolicy(Qt::StrongFocus); // the wheel takes no focus
  lineEdit()->setMaxLength(std::numeric_limits<int>::max());
  // Choosing an item of the open list with the arrow keys sets the text at
  // once; the mouse only points until it clicks.
  view()->installEventFilter(this);
  lineEdit()->installEventFilter(this); // for its menu
  connect(view()->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &index) {
    if (m_listKeys && index.isValid()) {
      lineEdit()->setText(itemText(index.row()));
      emit userEdited();
    }
  });
  connect(this, &QComboBox::activated, this, &TComboBox::userEdited);
}

void TComboBox::wheelEvent(QWheelEvent *event) {
  if (!hasFocus()) {
    event->ignore();
    return;
  }
  QComboBox::wheelEvent(event);
  emit userEdited();
}

bool TComboBox::eventFilter(QObject *watched, QEvent *event) {
  if (watched == lineEdit() && event->type() == QEvent::ContextMenu) {
    // The text's own menu, with the window's commands added to the box.
    const std::unique_ptr<QMenu> menu(lineEdit()->createStandardContextMenu());
    execBoxMenu(*menu, *this, static_cast<QContextMenuEvent *>(event)->globalPos());
    return true;
  }
  if (watched == view() && event->type() == QEvent::KeyPress) {
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      m_listKeys = true;
      QTimer::singleShot(0, this, [this] { m_listKeys = false; });
      break;
    default: break;
    }
  }
  return QComboBox::eventFilter(watched, event);
}

void TComboBox::setText(const QString &text) {
  if (lineEdit()->text() == text)
    return;
  lineEdit()->setText(text);
  lineEdit()->setCursorPosition(0);
}

void TComboBox::showPopup() {
  QAbstractItemView *list = view();
  const int scrollBar = count() > maxVisibleItems() ? list->verticalScrollBar()->sizeHint().width() : 0;
  list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() + scrollBar);
  QComboBox::showPopup();
}

void TComboBox::keyPressEvent(QKeyEvent *event) {
  const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (event->key() == Qt::Key_Backspace && plain) {
    backspace();
    event->accept();
    emit userEdited();
    return;
  }
  const QString typed = event->text();
  if (plain && typed.size() == 1 && typed[0].isPrint() && complete(typed)) {
    event->accept();
    emit userEdited();
    return;
  }
  const QString before = lineEdit()->text();
  QComboBox::keyPressEvent(event);
  if (lineEdit()->text() != before || (!typed.isEmpty() && typed[0].isPrint()))
    emit userEdited();
}

bool TComboBox::complete(const QString &typed) {
  QLineEdit *edit = lineEdit();
  const QString text = edit->text();
  const QString prefix = (edit->hasSelectedText() ? text.left(edit->selectionStart()) : text) + typed;
  for (int i = 0; i < count(); ++i) {
    const QString item = itemText(i);
    if (!item.startsWith(prefix, Qt::CaseInsensitive))
      continue;
    // The list item becomes the selection without its text replacing the
    // typed letters.
    const QSignalBlocker blocker(this);
    setCurrentIndex(i);
    edit->setText(prefix + item.mid(prefix.size()));
    edit->setSelection(static_cast<int>(prefix.size()), static_cast<int>(item.size() - prefix.size()));
    return true;
  }
  return false;
}

void TComboBox::backspace() {
  QLineEdit *edit = lineEdit();
  QString text = edit->text();
  int caret;
  if (edit->hasSelectedText()) {
    caret = edit->selectionStart();
    text.remove(caret, edit->selectedText().size());
  } else {
    caret = edit->cursorPosition();
    if (caret > 0)
      text.remove(--caret, 1);
  }
  {
    // Clearing the list selection would empty an editable box's text.
    const QSignalBlocker blocker(this);
    setCurrentIndex(-1);
  }
  edit->setText(text);
  edit->setCursorPosition(caret);
}

} // namespace vandro::controls
