#include "LockHolder.h"

#include "MessageText.h"

#include <ctime>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace vandro::engine {

std::string sinceText(std::int64_t since) {
  const std::time_t then = static_cast<std::time_t>(since), now = std::time(nullptr);
  std::tm at{}, today{};
  if (!localtime_r(&then, &at) || !localtime_r(&now, &today))
    return {};
  const bool sameDay = at.tm_year == today.tm_year && at.tm_yday == today.tm_yday;
  char text[32];
  if (std::strftime(text, sizeof text, sameDay ? "%H:%M" : "%Y-%m-%d %H:%M", &at) == 0)
    return {};
  return text;
}

std::string holderText(const LockHolder &holder) {
  std::string text = "Held by " + (holder.user.empty() ? std::string("another user") : shownLine(holder.user, 64));
  if (!holder.program.empty())
    text += " (" + shownLine(holder.program, 64) + ")";
  if (!holder.machine.empty())
    text += " on " + shownLine(holder.machine, 64);
  if (holder.since)
    if (const std::string since = sinceText(*holder.since); !since.empty())
      text += " since " + since;
  return text;
}

namespace {

std::string userName() {
  std::vector<char> buffer(16384);
  passwd entry{}, *found = nullptr;
  if (getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
    return found->pw_name;
  return "user " + std::to_string(::geteuid());
}

std::string hostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0)
    return {};
  return name;
}

} // namespace

// Looked up once: every lock the process takes names them.
std::string thisUser() {
  static const std::string user = userName();
  return user;
}

std::string thisMachine() {
  static const std::string machine = hostName();
  return machine;
}

std::int64_t secondsNow() { return static_cast<std::int64_t>(std::time(nullptr)); }

} // namespace vandro::engine
