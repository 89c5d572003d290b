// The application object: its title, the error boxes, and the guard that
// keeps every failure inside the program's own code.
#pragma once

#include "Exception.h"

#include <QApplication>
#include <QIcon>
#include <exception>
#include <functional>

namespace vandro {

class TApplication : public QApplication {
  Q_OBJECT
public:
  // Derives the title from the program file's name and makes it the
  // application's name, which names the window class.
  TApplication(int &argc, char **argv);
  ~TApplication() override;

  // The title: the program file's name without its directory, cut at its
  // first ".", every character but the first in lower case.
  const QString &Title() const { return m_title; }
  static QString titleForProgramFile(const QString &programFile);

  // Shows the error box for `error` and returns when the user has dismissed
  // it: nothing for EAbort, the long form for a failure that is no
  // Exception, else the message with its period under the title, modal to
  // the whole program, the focus given back afterwards.
  void ReportError(std::exception_ptr error);

  // The last-resort box for a failure that ends start-up: "Application
  // Error" with the class, module, offset and message.
  void ShowLastResortBox(std::exception_ptr error);
  // The text of that box for `error`.
  static QString lastResortText(std::exception_ptr error);

  // The message text with the period rule of the error box applied.
  static QString withPeriod(const QString &message);

  // Qt's dispatch, guarded: a failure escaping any handler is reported and
  // the program goes on.
  bool notify(QObject *receiver, QEvent *event) override;

  // A request to end the program (log-off, shutdown, a signal). A modal
  // dialog that is up ends as cancelled; once no dialog is up any more,
  // `setTerminateAction`'s action runs (it closes the main window).
  void Terminate();
  bool Terminated() const { return m_terminated; }
  void setTerminateAction(std::function<void()> action) { m_terminateAction = std::move(action); }
  // Kept by the modal loop of the dialogs: how many are up.
  void enterModal() { ++m_modalDepth; }
  void leaveModal();

  // The windows' default font: "MS Sans Serif" (as fontconfig substitutes
  // it) with a character height of 11 pixels at 96 dots per inch, scaled to
  // the screen's resolution.
  static QFont DefaultFont();
  // The program's icon (the one the desktop entry names), drawn at the
  // sizes window managers ask for.
  static QIcon ProgramIcon();

  // A held button or a drag gives up the mouse before a box or dialog opens.
  static void CancelMouseModes();

private:
  void runTerminateAction();

  QString m_title;
  bool m_terminated = false;
  int m_modalDepth = 0;
  std::function<void()> m_terminateAction;
};

// The one application object.
extern TApplication *Application;

// Runs `body` so that no failure leaves it: whatever escapes is passed to
// the application's ReportError. Every place where Qt calls the program's
// code goes through here.
void guarded(const std::function<void()> &body);

} // namespace vandro
