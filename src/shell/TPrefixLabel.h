// A label that wraps its text at word boundaries and takes "&" as the
// underline prefix: "&x" shows x underlined, "&&" shows one "&".
#pragma once

#include <QLabel>

namespace vandro {

class TPrefixLabel : public QLabel {
  Q_OBJECT
public:
  TPrefixLabel(const QString &name, const QString &text, QWidget *parent);

  // How the text lays out within `width` pixels in `font`: the width of the
  // longest wrapped line and the height of all lines.
  static QSize measure(const QString &text, const QFont &font, int width);

protected:
  void paintEvent(QPaintEvent *event) override;
};

} // namespace vandro
