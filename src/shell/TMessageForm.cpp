#include "TMessageForm.h"

#include "TApplication.h"
#include "TPrefixLabel.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <optional>

namespace vandro {

namespace {

// The width of the "OK" caption, measured by the first notice of the
// process and used by every later one.
std::optional<int> g_okWidth;

QSize primaryScreenSize() {
  const QScreen *screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().size() : QSize(1024, 768);
}

} // namespace

TMessageForm::TMessageForm(const QString &text)
    : TMessageForm(text, {{QStringLiteral("OK"), QStringLiteral("OK"), Ok, Default | CancelButton}}) {}

TMessageForm::TMessageForm(const QString &text, const std::vector<MessageButton> &buttons)
    : TDialogForm(QApplication::font("QMessageBox")), m_text(text) {
  setWindowTitle(Application ? Application->Title() : QString());
  const int hMargin = horizontal(8), vMargin = vertical(8), vSpacing = vertical(10), hGap = horizontal(4);
  if (!g_okWidth)
    g_okWidth = fontMetrics().horizontalAdvance(QStringLiteral("OK")) + 8;
  // Every button as wide as the widest caption needs, at least 50 units.
  int buttonWidth = std::max(horizontal(50), *g_okWidth);
  for (const MessageButton &button : buttons) {
    const QString caption = QString(button.caption).remove(QLatin1Char('&'));
    buttonWidth = std::max(buttonWidth, fontMetrics().horizontalAdvance(caption) + 16);
  }
  const int buttonHeight = vertical(14);
  const QSize textSize = TPrefixLabel::measure(text, font(), primaryScreenSize().width() / 2);
  const int count = static_cast<int>(buttons.size());
  const int groupWidth = count * buttonWidth + (count - 1) * hGap;
  const int clientWidth = std::max(textSize.width(), groupWidth) + 2 * hMargin;
  const int clientHeight = textSize.height() + buttonHeight + vSpacing + 2 * vMargin;
  setFixedSize(clientWidth, clientHeight);

  auto *message = new TPrefixLabel(QStringLiteral("Message"), text, this);
  message->setGeometry(hMargin, vMargin, textSize.width(), textSize.height());
  int left = (clientWidth - groupWidth) / 2;
  QPushButton *focused = nullptr;
  for (const MessageButton &button : buttons) {
    QPushButton *made = addButton(button.name, button.caption, button.result, button.roles,
                                  {left, textSize.height() + vMargin + vSpacing, buttonWidth, buttonHeight});
    if (!focused || (button.roles & Default))
      focused = made;
    left += buttonWidth + hGap;
  }
  if (focused)
    focused->setFocus(Qt::OtherFocusReason);
}

QString TMessageForm::clipboardText() const {
  const QString divider = QString(27, QLatin1Char('-'));
  const QString lineEnd = QStringLiteral("\r\n");
  QString buttons;
  for (const QPushButton *button : findChildren<QPushButton *>())
    buttons += QString(button->text()).remove(QLatin1Char('&')) + QStringLiteral("   ");
  return divider + lineEnd + windowTitle() + lineEnd + divider + lineEnd + m_text + lineEnd + divider + lineEnd +
         buttons + lineEnd + divider + lineEnd;
}

void TMessageForm::keyPressEvent(QKeyEvent *event) {
  // Ctrl+C alone, without Shift or Alt.
  const auto modifiers = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
  if (event->key() == Qt::Key_C && modifiers == Qt::ControlModifier) {
    QApplication::beep();
    QGuiApplication::clipboard()->setText(clipboardText());
    return;
  }
  TDialogForm::keyPressEvent(event);
}

void ShowNotice(const QString &text) {
  TMessageForm form(text);
  form.ShowModal();
}

int AskChoice(const QString &text, const std::vector<MessageButton> &buttons) {
  TMessageForm form(text, buttons);
  const int result = form.ShowModal();
  if (result != TDialogForm::Cancel)
    return result;
  // Escape, the close box and an end request: the cancel button's choice.
  for (const MessageButton &button : buttons)
    if (button.roles & TDialogForm::CancelButton)
      return button.result;
  return result;
}

} // namespace vandro
