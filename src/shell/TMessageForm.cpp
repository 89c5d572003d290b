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

TMessageForm::TMessageForm(const QString &text) : TDialogForm(QApplication::font("QMessageBox")), m_text(text) {
  setWindowTitle(Application ? Application->Title() : QString());
  const int hMargin = horizontal(8), vMargin = vertical(8), vSpacing = vertical(10);
  if (!g_okWidth)
    g_okWidth = fontMetrics().horizontalAdvance(QStringLiteral("OK")) + 8;
  const int buttonWidth = std::max(horizontal(50), *g_okWidth);
  const int buttonHeight = vertical(14);
  const QSize textSize = TPrefixLabel::measure(text, font(), primaryScreenSize().width() / 2);
  const int groupWidth = buttonWidth; // one button
  const int clientWidth = std::max(textSize.width(), groupWidth) + 2 * hMargin;
  const int clientHeight = textSize.height() + buttonHeight + vSpacing + 2 * vMargin;
  setFixedSize(clientWidth, clientHeight);

  auto *message = new TPrefixLabel(QStringLiteral("Message"), text, this);
  message->setGeometry(hMargin, vMargin, textSize.width(), textSize.height());
  QPushButton *ok = addButton(QStringLiteral("OK"), QStringLiteral("OK"), Ok, Default | CancelButton,
                              {(clientWidth - groupWidth) / 2, textSize.height() + vMargin + vSpacing, buttonWidth,
                               buttonHeight});
  ok->setFocus(Qt::OtherFocusReason);
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

} // namespace vandro
