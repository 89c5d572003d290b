#include "ModalAnswer.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>

namespace vandro::testing {

ModalAnswerer::ModalAnswerer(std::vector<Answer> answers)
    : m_answers(std::move(answers)), m_timer(std::make_unique<QTimer>()) {
  m_timer->setInterval(10);
  QObject::connect(m_timer.get(), &QTimer::timeout, [this] { poll(); });
  m_timer->start();
}

ModalAnswerer::~ModalAnswerer() { m_timer->stop(); }

void ModalAnswerer::poll() {
  QWidget *modal = QApplication::activeModalWidget();
  // Marked rather than compared by address: a dialog asked again may be
  // built at the address of the one before.
  if (!modal || !modal->isVisible() || modal->property("vandroAnswered").toBool())
    return;
  modal->setProperty("vandroAnswered", true);
  SeenModal seen{QString::fromUtf8(modal->metaObject()->className()), modal->windowTitle(), {}};
  if (auto *box = qobject_cast<QMessageBox *>(modal))
    seen.text = box->text();
  else if (auto *message = modal->findChild<QLabel *>(QStringLiteral("Message")))
    seen.text = message->text(); // the notice dialog
  m_seen.push_back(seen);
  const std::size_t index = m_seen.size() - 1;
  Answer answer = index < m_answers.size() ? m_answers[index] : escape();
  // Answered from the event loop, after the window has settled.
  QTimer::singleShot(0, modal, [modal, answer] { answer(modal); });
}

ModalAnswerer::Answer ModalAnswerer::press(const QString &text) {
  return [text](QWidget *modal) {
    for (auto *button : modal->findChildren<QAbstractButton *>()) {
      QString caption = button->text();
      caption.remove(QLatin1Char('&'));
      if (caption == text) {
        button->click();
        return;
      }
    }
    if (auto *dialog = qobject_cast<QDialog *>(modal))
      dialog->reject();
  };
}

ModalAnswerer::Answer ModalAnswerer::pressFirstOf(const QStringList &texts) {
  return [texts](QWidget *modal) {
    for (const QString &text : texts)
      for (auto *button : modal->findChildren<QAbstractButton *>())
        if (QString(button->text()).remove(QLatin1Char('&')) == text)
          return press(text)(modal);
    escape()(modal);
  };
}

ModalAnswerer::Answer ModalAnswerer::escape() {
  return [](QWidget *modal) {
    if (auto *dialog = qobject_cast<QDialog *>(modal))
      dialog->reject();
    else
      modal->close();
  };
}

} // namespace vandro::testing
