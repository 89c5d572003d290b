// The program's start-up, event loop and shut-down.
#pragma once

#include <QString>
#include <memory>

namespace vandro {

class TMainForm;
namespace store {
class TSession;
class TTable;
}

class Program {
public:
  Program();
  ~Program();

  // Creates the session "Default" and the main window, which opens the
  // relation table. On a failure: the last-resort box, then false.
  bool startUp();
  // Shows the main window centred and runs the event loop until the window
  // is closed (or the process is asked to end); the exit code. A notice
  // set before shows once the window is up.
  int run();
  void setStartNotice(const QString &text) { m_startNotice = text; }
  // Destroys the main window, then ends the session.
  void shutDown();

  TMainForm *mainForm() const { return m_mainForm.get(); }
  store::TSession &session() const { return *m_session; }

private:
  std::unique_ptr<store::TSession> m_session;
  std::unique_ptr<TMainForm> m_mainForm;
  QString m_startNotice;
};

// What the notice at open says of a table the engine opened read-only.
QString readOnlyNotice(const store::TTable &table);

// What the notice says when a start made the demo table in `directory`.
QString demoNotice(const QString &directory);

// The whole program: start-up, event loop, shut-down; the exit code.
int VandroMain(int argc, char **argv);

} // namespace vandro
