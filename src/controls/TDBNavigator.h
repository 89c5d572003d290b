// A navigator bar: picture buttons that move through the table and start
// and end an edit, operated with the mouse only.
#pragma once

#include "store/TDataLink.h"

#include <QTimer>
#include <QWidget>
#include <array>
#include <set>

namespace vandro::store {
class TDataSource;
}

namespace vandro::controls {

class TDBNavigator;

enum class NavigateButton { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
inline constexpr int kNavigateButtonCount = 10;

// One button of a bar. It never takes the focus.
class TNavButton : public QWidget {
  Q_OBJECT
public:
  TNavButton(TDBNavigator &bar, NavigateButton index);
  NavigateButton index() const { return m_index; }
  bool isPressed() const { return m_pressed; }
  QString hint() const;
  // Drops the pressed state (the button became disabled while held).
  void release();
  QTimer &repeatTimer() { return m_repeat; }

protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void enterEvent(QEnterEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void changeEvent(QEvent *event) override;

private:
  bool repeats() const { return m_index == NavigateButton::Prior || m_index == NavigateButton::Next; }
  void drawPicture(QPainter &painter, const QRect &area, const QColor &colour) const;

  TDBNavigator &m_bar;
  NavigateButton m_index;
  bool m_held = false;    // the left mouse button went down on this button
  bool m_pressed = false; // ... and the pointer is over it
  QTimer m_repeat;
};

class TDBNavigator : public QWidget, public store::TDataLink {
  Q_OBJECT
public:
  TDBNavigator(const QString &name, std::set<NavigateButton> visibleButtons, QWidget *parent = nullptr);
  ~TDBNavigator() override;

  void setDataSource(store::TDataSource *source);
  TNavButton *button(NavigateButton index) const { return m_buttons[static_cast<std::size_t>(index)]; }
  bool isVisibleButton(NavigateButton index) const { return m_visible.count(index) != 0; }
  // The bar's requested place; the buttons are laid out from it.
  void setRequestedGeometry(int left, int top, int width, int height);

  // Performs the button's action on the table (nothing when the bar is not
  // connected to an open table). Raises what the table raises.
  void BtnClick(NavigateButton index);
  // Recomputes every button's enabled flag from the table.
  void updateButtons();

  void dataEvent(store::DataEvent event, store::TField *field) override;
  void dataSourceDestroyed() override;

  // Tool tips: shown 500 ms after the pointer rests on a button, for
  // 2500 ms; at once when moving between buttons while a tip is up.
  void pointerEntered(TNavButton *button);
  void pointerLeft(TNavButton *button);

protected:
  void changeEvent(QEvent *event) override;
  void leaveEvent(QEvent *event) override;

private:
  void layoutButtons();
  void showHint();

  std::array<TNavButton *, kNavigateButtonCount> m_buttons{};
  std::set<NavigateButton> m_visible;
  store::TDataSource *m_source = nullptr;
  QRect m_requested;
  QTimer m_hintDelay;
  TNavButton *m_hintButton = nullptr;
  bool m_hintsActive = false;
};

} // namespace vandro::controls
