// Turning a failed engine result into the exception the program reports.
#pragma once

#include "engine/Result.h"
#include "shell/Exception.h"

#include <QStringList>

namespace vandro::store {

// Whether the session's engine runs: when it never started, a failure is
// that, whatever the code says.
enum class EngineState { Started, NotStarted };

// The EDBEngineError for `result`, with the engine's entries: entry 0 is the
// engine's text for the code, then the engine's numbered entries. When the
// engine never started, the one message about starting it.
EDBEngineError engineError(engine::Result result, EngineState engine = EngineState::Started);

// Raises engineError(result) unless `result` is success.
void check(engine::Result result);

// The EDBEngineError of a failure the store finds itself: the engine's text
// for `result`, then `details`, a line each.
EDBEngineError storeError(engine::Result result, const QStringList &details);

// The failure of an edit whose record another client changed since the
// window showed it (TTable::ChangedAtEdit gives `fields`), then what became
// of what the user did.
EDBEngineError changedSinceShown(const QStringList &fields, const QString &outcome);

} // namespace vandro::store
