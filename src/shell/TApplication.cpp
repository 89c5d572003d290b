#include "TApplication.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <cxxabi.h>
#include <dlfcn.h>
#include <memory>
#include <typeinfo>

namespace vandro {

TApplication *Application = nullptr;

namespace {

struct FailureFacts {
  QString className;
  QString message;
  const void *address = nullptr;
  bool isException = false;
  bool isAbort = false;
};

QString demangled(const char *name) {
  int status = 0;
  std::unique_ptr<char, void (*)(void *)> text(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                               std::free);
  return QString::fromUtf8(status == 0 && text ? text.get() : name);
}

FailureFacts factsOf(std::exception_ptr error) {
  FailureFacts facts;
  try {
    std::rethrow_exception(error);
  } catch (const EAbort &e) {
    facts = {e.className(), e.message(), e.address(), true, true};
  } catch (const Exception &e) {
    facts = {e.className(), e.message(), e.address(), true, false};
  } catch (const std::exception &e) {
    facts.className = demangled(typeid(e).name());
  } catch (...) {
    const std::type_info *type = abi::__cxa_current_exception_type();
    facts.className = type ? demangled(type->name()) : QStringLiteral("unknown");
  }
  return facts;
}

} // namespace

QIcon TApplication::ProgramIcon() {
  QIcon icon;
  QSvgRenderer picture(QStringLiteral(":/org.vandro.Vandro.svg"));
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    picture.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

QFont TApplication::DefaultFont() {
  constexpr int kDesignPixels = 11;
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(kDesignPixels);
  font.setStyleStrategy(QFont::PreferDefault);
  if (const QScreen *screen = QGuiApplication::primaryScreen(); screen && screen->logicalDotsPerInchY() != 96)
    font.setPixelSize(static_cast<int>(std::lround(kDesignPixels * screen->logicalDotsPerInchY() / 96.0)));
  return font;
}

void TApplication::CancelMouseModes() {
  if (QWidget *grabber = QWidget::mouseGrabber()) {
    if (auto *button = qobject_cast<QAbstractButton *>(grabber))
      button->setDown(false);
    grabber->releaseMouse();
  }
}

void TApplication::Terminate() {
  m_terminated = true;
  if (m_modalDepth == 0)
    runTerminateAction();
}

void TApplication::leaveModal() {
  if (--m_modalDepth == 0 && m_terminated) {
    // After the handler that ran the dialog has finished.
    QTimer::singleShot(0, this, [this] {
      if (m_terminated && m_modalDepth == 0)
        runTerminateAction();
    });
  }
}

void TApplication::runTerminateAction() {
  // The request is answered now: a question the action asks (markers typed
  // and not stored) is shown and waits for the user, and when the main
  // window stays open the program goes on and later dialogs work again.
  m_terminated = false;
  if (m_terminateAction)
    m_terminateAction();
}

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {
  Application = this;
  m_title = titleForProgramFile(applicationFilePath());
  // The window class (and so the desktop's name for the program) comes from
  // the application name. No display name is set: Qt would append it to
  // every window caption.
  setApplicationName(m_title);
  // Known to the desktop by its entry and icon, not by its captions.
  setDesktopFileName(QStringLiteral("org.vandro.Vandro"));
  setWindowIcon(ProgramIcon());
}

TApplication::~TApplication() {
  if (Application == this)
    Application = nullptr;
}

QString TApplication::titleForProgramFile(const QString &programFile) {
  QString name = programFile.mid(programFile.lastIndexOf(QLatin1Char('/')) + 1);
  const auto dot = name.indexOf(QLatin1Char('.'));
  if (dot >= 0)
    name.truncate(dot);
  if (name.size() > 1)
    name = name.left(1) + QLocale().toLower(name.mid(1));
  return name.left(255);
}

QString TApplication::withPeriod(const QString &message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.'))
    return message + QLatin1Char('.');
  return message;
}

QString TApplication::lastResortText(std::exception_ptr error) {
  const FailureFacts facts = factsOf(error);
  QString module = QStringLiteral("Vandro");
  quintptr offset = 0;
  Dl_info info{};
  if (facts.address && dladdr(facts.address, &info) != 0 && info.dli_fname) {
    module = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).fileName();
    offset = reinterpret_cast<quintptr>(facts.address) - reinterpret_cast<quintptr>(info.dli_fbase);
  }
  const QString period =
      !facts.message.isEmpty() && facts.message.back() != QLatin1Char('.') ? QStringLiteral(".") : QString();
  return QStringLiteral("Exception %1 in module %2 at %3.\n%4%5")
      .arg(facts.className, module,
           QStringLiteral("%1").arg(static_cast<qulonglong>(offset & 0xFFFFFFFFu), 8, 16,
                                    QLatin1Char('0')).toUpper(),
           facts.message, period);
}

void TApplication::ShowLastResortBox(std::exception_ptr error) {
  CancelMouseModes();
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Application Error"), lastResortText(error),
                  QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void TApplication::ReportError(std::exception_ptr error) {
  CancelMouseModes();
  const FailureFacts facts = factsOf(error);
  if (facts.isAbort)
    return;
  // The window active now gets the focus back when the box is dismissed.
  QPointer<QWidget> active = QApplication::activeWindow();
  QPointer<QWidget> focus = QApplication::focusWidget();
  if (!facts.isException) {
    ShowLastResortBox(error); // the long form; the program goes on
  } else {
    QMessageBox box(QMessageBox::Critical, m_title, withPeriod(facts.message), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
  }
  if (active) {
    // As the window becoming active again: the box that had the focus keeps
    // its caret and selection.
    active->activateWindow();
    if (focus)
      focus->setFocus(Qt::ActiveWindowFocusReason);
  }
}

bool TApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportError(std::current_exception());
    return false;
  }
}

void guarded(const std::function<void()> &body) {
  try {
    body();
  } catch (...) {
    if (Application)
      Application->ReportError(std::current_exception());
  }
}

} // namespace vandro
