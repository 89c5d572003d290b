// A lowered box drawn beneath the controls it frames.
#pragma once

#include <QWidget>

namespace vandro::controls {

class TBevel : public QWidget {
  Q_OBJECT
public:
  explicit TBevel(QWidget *parent = nullptr);

protected:
  void paintEvent(QPaintEvent *event) override;
};

} // namespace vandro::controls
