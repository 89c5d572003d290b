// What the engine does while it waits for a server or for another writer of
// a file: it tells the program, which keeps its windows painting.
#pragma once

#include <functional>

namespace vandro::engine {

// Called again and again, about every tenth of a second, while a statement
// waits for its server or a file's write lock; `waitedMs` is how long it
// has waited so far. The program may repaint its windows there, but must
// not call the engine. Nothing is called when the hook is empty.
using WaitHook = std::function<void(int waitedMs)>;

void setWaitHook(WaitHook hook);
// For the drivers: the wait goes on.
void stillWaiting(int waitedMs);

} // namespace vandro::engine
