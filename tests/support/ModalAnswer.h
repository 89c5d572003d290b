// Answering the modal boxes and dialogs that a step under test opens.
#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

namespace vandro::testing {

// What a modal window showed when it was answered.
struct SeenModal {
  QString className;
  QString title;
  QString text; // a message box's or the notice's text
};

// Until destroyed, answers each modal window that opens with the next
// answer in the list (the answer gets the window); the modal windows seen
// are kept in order. A modal window beyond the list is closed with Escape
// and recorded, so that a test never hangs on an unexpected box.
class ModalAnswerer {
public:
  using Answer = std::function<void(QWidget *)>;
  explicit ModalAnswerer(std::vector<Answer> answers = {});
  ~ModalAnswerer();

  const std::vector<SeenModal> &seen() const { return m_seen; }

  // An answer that presses the message box's or dialog's button whose text
  // (without "&") is `text`.
  static Answer press(const QString &text);
  // An answer that presses the first button of `texts` the window has: one
  // answer for a step that may ask a question before its notice.
  static Answer pressFirstOf(const QStringList &texts);
  // An answer that rejects the dialog (Escape).
  static Answer escape();

private:
  void poll();
  std::vector<Answer> m_answers;
  std::vector<SeenModal> m_seen;
  std::unique_ptr<QTimer> m_timer;
};

} // namespace vandro::testing
