// The input dialog: a prompt, an edit box, OK and Cancel.
#pragma once

#include <QString>

namespace vandro {

// Asks for a text in a dialog with `caption`, `prompt` and an edit holding
// `defaultText` wholly selected (at most 255 characters). Returns the edit's
// text, unchanged, when the dialog closed with OK; `defaultText` in every
// other case (Cancel, Escape, the close box, a request to end the program).
QString AskText(const QString &caption, const QString &prompt, const QString &defaultText);

} // namespace vandro
