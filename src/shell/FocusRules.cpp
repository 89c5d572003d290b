#include "FocusRules.h"

namespace vandro {

bool selectsAllOnFocus(Qt::FocusReason reason) {
  switch (reason) {
  case Qt::TabFocusReason:
  case Qt::BacktabFocusReason:
  case Qt::ShortcutFocusReason:
  case Qt::OtherFocusReason: return true;
  default: return false;
  }
}

bool leavesTheBox(Qt::FocusReason reason) {
  return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

} // namespace vandro
