#include "ScreenCentre.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace vandro {

namespace {

bool hasKnownFrame(const QWidget &window) {
  return window.windowHandle() && !window.windowHandle()->frameMargins().isNull();
}

void placeInTheMiddle(QWidget &window) {
  const QScreen *screen = QGuiApplication::primaryScreen();
  if (!screen)
    return;
  const QRect area = screen->geometry();
  const QRect outer = window.frameGeometry();
  window.move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
}

// Centres its window again at the first event after the window manager has
// framed it (a move for a main window, the first activation or paint for a
// dialog), then goes; it gives up after a while when no frame comes (no
// window manager).
class CentreWhenFramed : public QObject {
public:
  explicit CentreWhenFramed(QWidget &window) : QObject(&window), m_window(window) {
    setObjectName(kName);
    window.installEventFilter(this);
    QTimer::singleShot(kPatience, this, [this] { done(); });
  }
  static constexpr const char *kName = "vandroCentreWhenFramed";

  bool eventFilter(QObject *watched, QEvent *event) override {
    if (watched != &m_window)
      return false;
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Paint:
    case QEvent::WindowActivate:
      if (hasKnownFrame(m_window)) {
        done();
        placeInTheMiddle(m_window);
      }
      break;
    default: break;
    }
    return false;
  }

private:
  static constexpr int kPatience = 3000; // milliseconds
  void done() {
    m_window.removeEventFilter(this);
    deleteLater();
  }

private:
  QWidget &m_window;
};

} // namespace

void centreOnScreen(QWidget &window) {
  placeInTheMiddle(window);
  if (!hasKnownFrame(window) &&
      !window.findChild<QObject *>(QLatin1String(CentreWhenFramed::kName), Qt::FindDirectChildrenOnly))
    new CentreWhenFramed(window);
}

} // namespace vandro
