#include "ServerWait.h"

namespace vandro::engine {

namespace {
WaitHook &hook() {
  static WaitHook installed;
  return installed;
}
} // namespace

void setWaitHook(WaitHook waitHook) { hook() = std::move(waitHook); }

void stillWaiting(int waitedMs) {
  if (hook())
    hook()(waitedMs);
}

} // namespace vandro::engine
