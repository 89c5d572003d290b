// The connection settings an alias of a server may hold.
#pragma once

#include <optional>
#include <string>

namespace vandro::engine {

// Why `key` (in lower case) cannot be a connection setting of a server
// alias, as one line for the user; nothing when it can. A setting is one of
// libpq's own connection keywords, but none that carries a secret (a
// password is never kept in the configuration) and none that the engine
// decides itself (the connection always speaks UTF-8).
std::optional<std::string> pgSettingProblem(const std::string &key);
// Whether libpq's keyword `key` carries a secret (a password).
bool pgSettingIsSecret(const std::string &key);

} // namespace vandro::engine
