// The user's message for an engine failure, built from its error entries.
#pragma once

#include "ErrorEntries.h"
#include "Result.h"

#include <string>
#include <vector>

namespace vandro::engine {

// The message for a failure with `result` and the entries that explain it:
// lines, each added only when it is not empty and not yet present (compared
// without regard to case): the code's own text (unless the code is
// ContextOnly), then for each entry the text of its code when it has no
// native code (and the main code is not ContextOnly), and its context. The lines are joined by line
// breaks; with no line at all the message is "Engine error $XXXX".
std::string failureMessage(Result result, const std::vector<ErrorEntry> &entries);

// Engine text trimmed of blanks and control characters at both ends.
std::string trimmedText(const std::string &text);

// "Engine error $2108": four upper-case hexadecimal digits.
std::string hexCode(Result result);

} // namespace vandro::engine
