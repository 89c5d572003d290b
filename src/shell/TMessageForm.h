// The notice dialog: a message and one "OK" button; and the same dialog
// with the buttons of a choice.
#pragma once

#include "TDialogForm.h"

#include <vector>

namespace vandro {

// One button of a message dialog: its object name, its caption ("&" before
// its access key), the modal result it ends the dialog with, and its roles
// (TDialogForm::ButtonRole).
struct MessageButton {
  QString name, caption;
  int result = TDialogForm::Ok;
  int roles = TDialogForm::Plain;
};

class TMessageForm : public TDialogForm {
  Q_OBJECT
public:
  // Builds the dialog for `text`, sized in dialog units of the platform's
  // message-box font, the text wrapped within half the screen's width,
  // with the one button "OK".
  explicit TMessageForm(const QString &text);
  // The same with `buttons`, side by side in this order, centred below the
  // text; the focus starts on the default one.
  TMessageForm(const QString &text, const std::vector<MessageButton> &buttons);

  // What Ctrl+C puts on the clipboard: the caption, the message and the
  // buttons' captions between dividers, each piece ending with CR LF.
  QString clipboardText() const;

protected:
  void keyPressEvent(QKeyEvent *event) override;

private:
  QString m_text;
};

// Shows `text` in the notice dialog, modally, and returns when the user has
// closed it (OK, Enter, Escape or the close box).
void ShowNotice(const QString &text);

// Shows `text` with `buttons`, modally, and returns the result of the
// button the user chose; Escape and the close box choose the cancel
// button's (TDialogForm::Cancel when none has the role), and so does a
// request to end the program.
int AskChoice(const QString &text, const std::vector<MessageButton> &buttons);

} // namespace vandro
