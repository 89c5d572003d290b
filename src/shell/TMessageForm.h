// The notice dialog: a message and one "OK" button.
#pragma once

#include "TDialogForm.h"

namespace vandro {

class TMessageForm : public TDialogForm {
  Q_OBJECT
public:
  // Builds the dialog for `text`, sized in dialog units of the platform's
  // message-box font, the text wrapped within half the screen's width.
  explicit TMessageForm(const QString &text);

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

} // namespace vandro
