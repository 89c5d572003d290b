#include "Program.h"

#include "Main.h"
#include "demo/DemoSetup.h"
#include "shell/Exception.h"
#include "shell/PasswordDialog.h"
#include "shell/ScreenCentre.h"
#include "shell/TApplication.h"
#include "shell/TMessageForm.h"
#include "store/TSession.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

namespace vandro {

namespace {

// A request to end (SIGTERM, SIGHUP, SIGINT: the user logs off or the
// system shuts down) closes the main window as its close box would, so
// that the table is closed in order and the exit code is 0.
int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

void installEndRequest(QObject *owner) {
  if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
    guarded([] {
      char buffer[16];
      while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
      }
      Application->Terminate();
    });
  });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGHUP, SIGINT})
    sigaction(signal, &action, nullptr);
}

} // namespace

Program::Program() = default;

Program::~Program() { shutDown(); }

bool Program::startUp() {
  Application->setTerminateAction([] {
    if (MainForm)
      MainForm->close();
    else
      QApplication::quit();
  });
  m_session = std::make_unique<store::TSession>(QStringLiteral("Default"));
  // While a statement waits for the server (or another writer of the file),
  // the windows go on painting and show the busy cursor; no key, click,
  // timer or signal is handled meanwhile, so nothing calls the engine again.
  store::TSession::setWaitHook([](int) {
    static bool busy = false;
    if (!busy) {
      busy = true;
      QGuiApplication::setOverrideCursor(Qt::BusyCursor);
      // A timer, so it runs once the wait is over: timers wait meanwhile.
      QTimer::singleShot(50, [] {
        QGuiApplication::restoreOverrideCursor();
        busy = false;
      });
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
  });
  m_session->setPasswordPrompt([](store::TSession &session) {
    return PasswordDialog::ask({[&](const QString &p) { session.AddPassword(p); },
                                [&](const QString &p) { session.RemovePassword(p); },
                                [&] { session.RemoveAllPasswords(); }});
  });
  try {
    m_mainForm = std::make_unique<TMainForm>();
  } catch (...) {
    // The partly built window is gone with the failure.
    MainForm = nullptr;
    Application->ShowLastResortBox(std::current_exception());
    return false;
  }
  return true;
}

int Program::run() {
  installEndRequest(m_mainForm.get());
  centreOnScreen(*m_mainForm);
  m_mainForm->show();
  m_mainForm->activateWindow();
  // Once, at open: a table the engine opened read-only says so and why.
  QString notice = m_startNotice;
  if (const store::TTable *table = m_mainForm->Table1(); table && !table->ReadOnlyReason().isEmpty())
    notice += (notice.isEmpty() ? QString() : QStringLiteral("\n\n")) + readOnlyNotice(*table);
  if (!notice.isEmpty())
    QTimer::singleShot(0, m_mainForm.get(), [notice] { guarded([&] { ShowNotice(notice); }); });
  QApplication::exec();
  return 0;
}

QString demoNotice(const QString &directory) {
  return QStringLiteral("This is a demo table of a few records, made because no table was set up yet "
                        "(%1/Vandro.DB).\n\n"
                        "To annotate your own corpus, say where its table is to live, and import the "
                        "corpus's rs3/rs4 documents into it:\n\n"
                        "vandro-admin alias set Vandro FOLDER\n"
                        "vandro-admin import-rst Vandro Vandro.DB --map %2/gum-map.csv CORPUS\n\n"
                        "Then start Vandro again. \"man vandro-admin\" tells more.")
      .arg(directory, QStringLiteral(VANDRO_DATA_DIR));
}

QString readOnlyNotice(const store::TTable &table) {
  return QStringLiteral("The table %1 opened read-only: you can browse and search it, but corrections and "
                        "markers cannot be stored.\n\n%2.")
      .arg(table.TableName, table.ReadOnlyReason());
}

void Program::shutDown() {
  store::TSession::setWaitHook({});
  m_mainForm.reset();
  if (m_session)
    m_session->end();
  m_session.reset();
}

int VandroMain(int argc, char **argv) {
  TApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(true);
  // A user who starts the program for the first time, from the desktop's
  // menu, has no configuration yet: they get the demo table, as
  // `vandro-admin init --demo` would make it. A configuration named by
  // VANDRO_ENGINE_CONFIG, or one that exists, is left as it is; start-up
  // then says what is wrong with it.
  QString startNotice;
  if (const char *named = std::getenv("VANDRO_ENGINE_CONFIG"); !named || !*named) {
    struct stat status {};
    if (::lstat(store::TSession::configurationPath().toLocal8Bit().constData(), &status) != 0 && errno == ENOENT) {
      const Outcome<demo::DemoSetup> setup = demo::setUpDemo();
      if (!setup) {
        Application->ShowLastResortBox(std::make_exception_ptr(Exception(QString::fromStdString(setup.error()))));
        return 1;
      }
      if (!setup->tableMade.empty())
        startNotice = demoNotice(QString::fromStdString(setup->directory));
    }
  }
  Program program;
  program.setStartNotice(startNotice);
  if (!program.startUp()) {
    program.shutDown();
    return 1;
  }
  const int exitCode = program.run();
  program.shutDown();
  return exitCode;
}

} // namespace vandro
