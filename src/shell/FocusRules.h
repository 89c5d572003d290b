// What the reason of a focus change means to the window's text boxes.
#pragma once

#include <Qt>

namespace vandro {

// Whether a text box receiving the focus for `reason` selects all its
// text: only when the focus arrives by the keyboard's Tab keys or because
// the program moved it. A click places the caret itself; the window
// becoming active again (after another window, a minimised state or a
// message box) and a closed popup menu leave caret and selection as they
// were, so that the next key does not replace what the user typed.
bool selectsAllOnFocus(Qt::FocusReason reason);

// Whether losing the focus for `reason` means leaving the box for another
// control of the window. A popup menu or another window taking the focus
// for a while does not: the box keeps its selection and writes nothing back.
bool leavesTheBox(Qt::FocusReason reason);

} // namespace vandro
