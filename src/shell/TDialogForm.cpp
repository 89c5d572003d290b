#include "TDialogForm.h"

#include "ScreenCentre.h"
#include "TApplication.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QWindow>
#include <cstdlib>
#include <vector>

namespace vandro {

TDialogForm::TDialogForm(const QFont &font)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setFont(font);
  setWindowIcon(QIcon());
  m_units = measureDialogUnits(font);
}

int TDialogForm::MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long quotient = product / c, remainder = product % c;
  // An exact half or more of the divisor rounds away from zero.
  if (2 * std::llabs(remainder) >= std::llabs(static_cast<long long>(c)))
    return static_cast<int>(quotient + ((product < 0) != (c < 0) ? -1 : 1));
  return static_cast<int>(quotient);
}

QSize TDialogForm::measureDialogUnits(const QFont &font) {
  const QFontMetrics metrics(font);
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return {metrics.horizontalAdvance(letters) / 52, metrics.height()};
}

QPushButton *TDialogForm::addButton(const QString &name, const QString &caption, int result, int roles,
                                    const QRect &place) {
  auto *button = new QPushButton(caption, this);
  button->setObjectName(name);
  button->setGeometry(place);
  // Enter is the dialog's to handle (see keyPressEvent), not the button's:
  // a default button would click itself on Enter whatever the modifiers,
  // so the dialog sees a button's Enter first.
  button->setAutoDefault(false);
  button->installEventFilter(this);
  if (roles & Default) {
    button->setDefault(true);
    m_defaultButton = button;
  }
  if (roles & CancelButton)
    m_cancelButton = button;
  connect(button, &QPushButton::clicked, this, [this, result] { setModalResult(result); });
  return button;
}

void TDialogForm::keyPressEvent(QKeyEvent *event) {
  const bool alt = event->modifiers() & Qt::AltModifier;
  auto *focused = qobject_cast<QPushButton *>(focusWidget());
  switch (event->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
    if (alt)
      break;
    if (QPushButton *button = focused ? focused : m_defaultButton)
      button->click();
    return;
  case Qt::Key_Escape:
    if (alt)
      break;
    if (m_cancelButton)
      m_cancelButton->click();
    return;
  case Qt::Key_Up:
  case Qt::Key_Down:
    // In a button, Up and Down step through the controls as Left and Right do.
    if (focused && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      focusNextPrevChild(event->key() == Qt::Key_Down);
      return;
    }
    break;
  default: break;
  }
  event->ignore();
}

bool TDialogForm::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::KeyPress && qobject_cast<QPushButton *>(watched)) {
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      keyPressEvent(key);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool TDialogForm::event(QEvent *event) {
  // Qt tells a window it is active before it moves the focus into it: the
  // others are disabled after that, from the event loop.
  if (event->type() == QEvent::WindowActivate && m_running)
    QMetaObject::invokeMethod(this, &TDialogForm::disableOthers, Qt::QueuedConnection);
  return QDialog::event(event);
}

void TDialogForm::disableOthers() {
  // Only once the dialog has the focus: the other windows' focused boxes
  // then merely see their window become inactive (keeping text, caret and
  // selection) instead of being made to leave.
  if (!m_running || !m_disabled.empty())
    return;
  for (QWidget *window : QApplication::topLevelWidgets())
    if (window != this && window->isVisible() && window->isEnabled() && window->windowType() != Qt::ToolTip &&
        window->windowType() != Qt::Popup) {
      // Disabled for input, but drawn as before: the record stays readable
      // behind the dialog.
      Disabled disabled{window, window->palette(), window->testAttribute(Qt::WA_SetPalette)};
      QPalette looksEnabled = disabled.palette;
      for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        looksEnabled.setBrush(QPalette::Disabled, r, looksEnabled.brush(QPalette::Active, r));
      }
      window->setPalette(looksEnabled);
      window->setEnabled(false);
      m_disabled.push_back(std::move(disabled));
    }
}

void TDialogForm::closeEvent(QCloseEvent *event) {
  // The close box (and Alt+F4): Cancel.
  if (m_modalResult == None)
    m_modalResult = Cancel;
  event->ignore(); // the modal loop hides the dialog
}

int TDialogForm::ShowModal() {
  TApplication::CancelMouseModes();
  QPointer<QWidget> activeBefore = QApplication::activeWindow();
  QPointer<QWidget> focusBefore = activeBefore ? activeBefore->focusWidget() : nullptr;
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  m_modalResult = None;
  setWindowModality(Qt::ApplicationModal);
  if (activeBefore && activeBefore->windowHandle()) {
    // Kept above the window it was opened from.
    winId();
    windowHandle()->setTransientParent(activeBefore->windowHandle());
  }
  centreOnScreen(*this);
  show();
  raise();
  activateWindow();
  if (Application)
    Application->enterModal();

  m_running = true;
  if (isActiveWindow() && QApplication::focusWidget() && QApplication::focusWidget()->window() == this)
    disableOthers();
  QEventLoop loop;
  while (m_modalResult == None) {
    if (Application && Application->Terminated()) {
      m_modalResult = Cancel;
      break;
    }
    loop.processEvents(QEventLoop::WaitForMoreEvents);
  }
  m_running = false;

  const bool wasActive = isActiveWindow();
  hide();
  for (const Disabled &disabled : m_disabled)
    if (disabled.window) {
      disabled.window->setEnabled(true);
      disabled.window->setPalette(disabled.hadOwnPalette ? disabled.palette : QPalette());
    }
  m_disabled.clear();
  QApplication::restoreOverrideCursor();
  if (activeBefore && (wasActive || !QApplication::activeWindow())) {
    activeBefore->activateWindow();
    if (focusBefore)
      focusBefore->setFocus(Qt::ActiveWindowFocusReason);
  }
  if (Application)
    Application->leaveModal();
  return m_modalResult;
}

} // namespace vandro
