#include "PgKeywords.h"

#include <libpq-fe.h>
#include <map>

namespace vandro::engine {

namespace {

// libpq's keywords, each with whether it carries a secret (libpq marks
// those "*" for display), read once.
const std::map<std::string, bool> &libpqKeywords() {
  static const std::map<std::string, bool> keywords = [] {
    std::map<std::string, bool> list;
    if (PQconninfoOption *options = PQconndefaults()) {
      for (const PQconninfoOption *option = options; option->keyword; ++option)
        list.emplace(option->keyword, option->dispchar && option->dispchar[0] == '*');
      PQconninfoFree(options);
    }
    return list;
  }();
  return keywords;
}

} // namespace

bool pgSettingIsSecret(const std::string &key) {
  const auto found = libpqKeywords().find(key);
  return found != libpqKeywords().end() && found->second;
}

std::optional<std::string> pgSettingProblem(const std::string &key) {
  const auto &keywords = libpqKeywords();
  const auto found = keywords.find(key);
  if (found == keywords.end())
    return "Unknown connection setting \"" + key + "\"";
  if (found->second)
    return "The setting \"" + key + "\" holds a secret, which is never written to the configuration: keep a "
           "password in ~/.pgpass or PGPASSWORD, or let Vandro ask for it";
  if (key == "client_encoding")
    return "The setting \"client_encoding\" is Vandro's own: it always speaks UTF-8 to the server";
  return std::nullopt;
}

} // namespace vandro::engine
