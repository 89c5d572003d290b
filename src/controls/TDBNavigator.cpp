#include "TDBNavigator.h"

#include "shell/TApplication.h"
#include "store/TDataSource.h"
#include "store/TTable.h"

#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QToolTip>

namespace vandro::controls {

using store::DataSetState;

namespace {

constexpr int kMinimumWidth = 20;
constexpr int kMinimumHeight = 18;
constexpr int kFirstRepeat = 400;
constexpr int kNextRepeats = 100;
constexpr int kHintPause = 500;
constexpr int kHintShowTime = 2500;

const char *hintText(NavigateButton index) {
  switch (index) {
  // With the keys that do the same from any box of the main window.
  case NavigateButton::First: return "First record (Alt+Home)";
  case NavigateButton::Prior: return "Prior record (Ctrl+PgUp)";
  case NavigateButton::Next: return "Next record (Ctrl+PgDn)";
  case NavigateButton::Last: return "Last record (Alt+End)";
  case NavigateButton::Edit: return "Edit record";
  case NavigateButton::Post: return "Post edit";
  default: return "";
  }
}

// The picture's size: 14 by 13, or 10 by 13 for Prior and Next.
QSize pictureSize(NavigateButton index) {
  return index == NavigateButton::Prior || index == NavigateButton::Next ? QSize(10, 13) : QSize(14, 13);
}

} // namespace

// TNavButton ----------------------------------------------------------------

TNavButton::TNavButton(TDBNavigator &bar, NavigateButton index)
    : QWidget(&bar), m_bar(bar), m_index(index) {
  setFocusPolicy(Qt::NoFocus);
  setObjectName(QString::fromLatin1(hintText(index)).section(QLatin1Char(' '), 0, 0) + QStringLiteral("Button"));
  setMouseTracking(true);
  connect(&m_repeat, &QTimer::timeout, this, [this] {
    m_repeat.setInterval(kNextRepeats);
    if (!(m_pressed && m_held))
      return;
    try {
      m_bar.BtnClick(m_index);
    } catch (...) {
      // The repeat ends before the failure is shown.
      m_repeat.stop();
      release();
      if (Application)
        Application->ReportError(std::current_exception());
    }
  });
}

QString TNavButton::hint() const { return QString::fromLatin1(hintText(m_index)); }

void TNavButton::release() {
  m_repeat.stop();
  m_held = false;
  m_pressed = false;
  update();
}

void TNavButton::changeEvent(QEvent *event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled())
    release(); // a disabled button never looks pressed and does nothing
  QWidget::changeEvent(event);
}

void TNavButton::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton || !isEnabled())
    return;
  m_held = true;
  m_pressed = true;
  update();
  if (repeats()) {
    m_repeat.setInterval(kFirstRepeat);
    m_repeat.start();
  }
}

void TNavButton::mouseMoveEvent(QMouseEvent *event) {
  if (!m_held)
    return;
  const bool over = rect().contains(event->position().toPoint());
  if (over != m_pressed) {
    m_pressed = over;
    update();
  }
}

void TNavButton::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton)
    return;
  const bool click = m_held && isEnabled() && rect().contains(event->position().toPoint());
  release();
  if (click)
    guarded([this] { m_bar.BtnClick(m_index); });
}

void TNavButton::enterEvent(QEnterEvent *event) {
  QWidget::enterEvent(event);
  m_bar.pointerEntered(this);
}

void TNavButton::leaveEvent(QEvent *event) {
  QWidget::leaveEvent(event);
  m_bar.pointerLeft(this);
}

void TNavButton::paintEvent(QPaintEvent *) {
  // The picture shows the button's own state, also while a dialog has
  // disabled the whole window for a moment.
  const bool usable = isEnabledTo(window());
  QPainter painter(this);
  QStyleOptionButton option;
  option.initFrom(this);
  option.state |= m_pressed && usable ? QStyle::State_Sunken : QStyle::State_Raised;
  style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, this);
  const QSize size = pictureSize(m_index);
  QRect area(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  if (m_pressed && usable)
    area.translate(1, 1);
  if (usable) {
    drawPicture(painter, area, Qt::black);
  } else {
    // Embossed: white one pixel down and right, grey on top.
    drawPicture(painter, area.translated(1, 1), Qt::white);
    drawPicture(painter, area, QColor(0x80, 0x80, 0x80));
  }
}

void TNavButton::drawPicture(QPainter &painter, const QRect &area, const QColor &colour) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  const int x = area.left(), y = area.top(), w = area.width(), h = area.height();
  const int mid = y + h / 2;
  auto triangleLeft = [&](int tipX, int baseX) {
    painter.drawPolygon(QPolygon({QPoint(tipX, mid), QPoint(baseX, mid - (baseX - tipX)), QPoint(baseX, mid + (baseX - tipX))}));
  };
  auto triangleRight = [&](int baseX, int tipX) {
    painter.drawPolygon(QPolygon({QPoint(tipX, mid), QPoint(baseX, mid - (tipX - baseX)), QPoint(baseX, mid + (tipX - baseX))}));
  };
  switch (m_index) {
  case NavigateButton::First:
    painter.drawRect(x + 2, y + 2, 2, h - 4);
    triangleLeft(x + 5, x + 11);
    break;
  case NavigateButton::Prior: triangleLeft(x + 2, x + 8); break;
  case NavigateButton::Next: triangleRight(x + 2, x + 8); break;
  case NavigateButton::Last:
    triangleRight(x + 3, x + 9);
    painter.drawRect(x + w - 4, y + 2, 2, h - 4);
    break;
  case NavigateButton::Edit:
    painter.drawPolygon(QPolygon({QPoint(x + 1, y + h - 4), QPoint(x + w / 2, y + 3), QPoint(x + w - 1, y + h - 4)}));
    break;
  case NavigateButton::Post: {
    QPen pen(colour, 2);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygon({QPoint(x + 2, y + 6), QPoint(x + 5, y + 10), QPoint(x + 12, y + 2)}));
    break;
  }
  default: break;
  }
  painter.restore();
}

// TDBNavigator ----------------------------------------------------------------

TDBNavigator::TDBNavigator(const QString &name, std::set<NavigateButton> visibleButtons, QWidget *parent)
    : QWidget(parent), m_visible(std::move(visibleButtons)) {
  setObjectName(name);
  setFocusPolicy(Qt::NoFocus);
  for (int i = 0; i < kNavigateButtonCount; ++i)
    m_buttons[static_cast<std::size_t>(i)] = new TNavButton(*this, static_cast<NavigateButton>(i));
  m_hintDelay.setSingleShot(true);
  m_hintDelay.setInterval(kHintPause);
  connect(&m_hintDelay, &QTimer::timeout, this, [this] { showHint(); });
  updateButtons();
}

TDBNavigator::~TDBNavigator() {
  if (m_source)
    m_source->removeLink(this);
}

void TDBNavigator::setDataSource(store::TDataSource *source) {
  if (store::TDataSource::relink(this, m_source, source))
    updateButtons();
}

void TDBNavigator::setRequestedGeometry(int left, int top, int width, int height) {
  m_requested = QRect(left, top, width, height);
  layoutButtons();
}

void TDBNavigator::layoutButtons() {
  const int count = std::max<int>(1, static_cast<int>(m_visible.size()));
  int width = std::max(m_requested.width(), count * kMinimumWidth);
  const int height = std::max(m_requested.height(), kMinimumHeight);
  width = width / count * count;
  setGeometry(m_requested.left(), m_requested.top(), width, height);
  int x = 0;
  for (TNavButton *button : m_buttons) {
    if (isVisibleButton(button->index())) {
      button->setGeometry(x, 0, width / count, height);
      button->show();
      x += width / count;
    } else {
      button->setGeometry(width, 0, width / count, height); // past the right edge
      button->hide();
    }
  }
}

void TDBNavigator::updateButtons() {
  store::TTable *table = m_source ? m_source->DataSet() : nullptr;
  // The bar's own enabled state: a dialog disabling the whole window for a
  // moment changes nothing here.
  const bool usable = isEnabledTo(window()) && table && table->Active();
  const DataSetState state = table ? table->State() : DataSetState::Inactive;
  const bool editing = state == DataSetState::Edit || state == DataSetState::Insert || state == DataSetState::SetKey;
  const bool canModify = usable && table->CanModify();
  auto set = [&](NavigateButton index, bool enabled) { button(index)->setEnabled(enabled); };
  set(NavigateButton::First, usable && !table->AtStart());
  set(NavigateButton::Prior, usable && !table->AtStart());
  set(NavigateButton::Next, usable && !table->AtEnd());
  set(NavigateButton::Last, usable && !table->AtEnd());
  set(NavigateButton::Insert, canModify);
  set(NavigateButton::Delete, canModify && !(table->AtStart() && table->AtEnd()));
  set(NavigateButton::Edit, canModify && !editing);
  set(NavigateButton::Post, canModify && editing);
  set(NavigateButton::Cancel, canModify && editing);
  set(NavigateButton::Refresh, usable);
}

void TDBNavigator::dataEvent(store::DataEvent event, store::TField *) {
  switch (event) {
  case store::DataEvent::StateChange:
  case store::DataEvent::DataSetChange:
  case store::DataEvent::DataSetScroll:
  case store::DataEvent::LayoutChange: updateButtons(); break;
  default: break;
  }
}

void TDBNavigator::dataSourceDestroyed() {
  m_source = nullptr;
  updateButtons();
}

void TDBNavigator::changeEvent(QEvent *event) {
  if (event->type() == QEvent::EnabledChange)
    updateButtons();
  QWidget::changeEvent(event);
}

void TDBNavigator::BtnClick(NavigateButton index) {
  store::TTable *table = m_source ? m_source->DataSet() : nullptr;
  if (!table || !table->Active())
    return;
  switch (index) {
  case NavigateButton::First: table->First(); break;
  case NavigateButton::Prior: table->Prior(); break;
  case NavigateButton::Next: table->Next(); break;
  case NavigateButton::Last: table->Last(); break;
  case NavigateButton::Edit: table->Edit(); break;
  case NavigateButton::Post: table->Post(); break;
  default: break; // hidden in both bars of this program
  }
}

void TDBNavigator::pointerEntered(TNavButton *button) {
  m_hintButton = button;
  if (m_hintsActive) {
    showHint();
  } else {
    m_hintDelay.start();
  }
}

void TDBNavigator::pointerLeft(TNavButton *button) {
  if (m_hintButton == button) {
    m_hintDelay.stop();
    QToolTip::hideText();
    m_hintButton = nullptr;
  }
}

void TDBNavigator::leaveEvent(QEvent *event) {
  QWidget::leaveEvent(event);
  // On a control without a tip, the next tip waits its pause again.
  m_hintsActive = false;
  m_hintDelay.stop();
}

void TDBNavigator::showHint() {
  if (!m_hintButton)
    return;
  m_hintsActive = true;
  // Qt places the tip below the pointer by the cursor's height itself.
  QToolTip::showText(QCursor::pos(), m_hintButton->hint(), m_hintButton,
                     QRect(), kHintShowTime);
}

} // namespace vandro::controls
