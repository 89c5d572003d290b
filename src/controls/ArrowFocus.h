// Arrow keys in buttons and radio buttons move the focus among the
// controls of the same parent.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace vandro::controls {

// Right and Down move the focus to the next control of the same parent in
// keyboard order, Left and Up to the previous one, also onto a control that
// Tab passes over (an unchecked radio button). Install it on every control
// that does not use the arrow keys itself, and give it the parent's
// controls in keyboard order.
class ArrowFocus : public QObject {
  Q_OBJECT
public:
  explicit ArrowFocus(QObject *parent = nullptr);
  // The controls of one parent, in keyboard order.
  void addSiblings(const std::vector<QWidget *> &controls);
  void watch(QWidget *control);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  std::vector<std::vector<QPointer<QWidget>>> m_groups;
};

} // namespace vandro::controls
