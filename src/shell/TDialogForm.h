// The modal dialogs the commands build by code: modal results, their keys,
// their measures in dialog units and the modal loop.
#pragma once

#include <QDialog>
#include <QPalette>
#include <QPointer>
#include <vector>

class QPushButton;

namespace vandro {

class TDialogForm : public QDialog {
  Q_OBJECT
public:
  // The results a dialog ends with; None keeps it up.
  enum ModalResult { None = 0, Ok = 1, Cancel = 2 };

  // An empty dialog with a fixed-size dialog frame and no icon, in `font`.
  explicit TDialogForm(const QFont &font);

  int modalResult() const { return m_modalResult; }
  // A result other than None ends the modal loop.
  void setModalResult(int result) { m_modalResult = result; }

  // A push button whose click ends the dialog with `result`. Enter clicks
  // the default button unless another button has the focus; Escape clicks
  // the cancel button.
  enum ButtonRole { Plain = 0, Default = 1, CancelButton = 2 };
  QPushButton *addButton(const QString &name, const QString &caption, int result, int roles, const QRect &place);

  // n horizontal and n vertical dialog units, in pixels: the units are
  // measured from the dialog's font, the average width of the 52 letters
  // A-Z a-z (remainder dropped) and the character height.
  int horizontal(int n) const { return MulDiv(n, m_units.width(), 4); }
  int vertical(int n) const { return MulDiv(n, m_units.height(), 8); }
  // a * b / c to the nearest integer, an exact half away from zero.
  static int MulDiv(int a, int b, int c);
  static QSize measureDialogUnits(const QFont &font);

  // Runs the dialog modally and returns its result: every other window of
  // the program is disabled while it is up, it stands in the middle of the
  // screen, and afterwards the window that was active gets the focus back
  // where it was. A request to end the program ends it with Cancel.
  int ShowModal();

  void done(int result) override { setModalResult(result); }
  void accept() override { setModalResult(Ok); }
  void reject() override { setModalResult(Cancel); }

protected:
  bool event(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void closeEvent(QCloseEvent *event) override;

private:
  void disableOthers();

  QPushButton *m_defaultButton = nullptr;
  QPushButton *m_cancelButton = nullptr;
  QSize m_units;
  int m_modalResult = None;
  bool m_running = false;
  // The windows the modal loop disabled, with the palettes they had.
  struct Disabled {
    QPointer<QWidget> window;
    QPalette palette;
    bool hadOwnPalette;
  };
  std::vector<Disabled> m_disabled;
};

} // namespace vandro
