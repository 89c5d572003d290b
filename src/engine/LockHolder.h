// Who holds a record's lock: for the locked-record message and the list of
// the records held now.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vandro::engine {

struct LockHolder {
  std::string record;  // "Id = 7"; empty where only the holder is known
  std::string user;    // the login on the holder's machine, or the server's role
  std::string machine; // the holder's host name, or address
  std::optional<std::int64_t> since; // seconds since 1970 (UTC) when the lock was taken
  std::string program; // another program holding it ("psql"), empty for a Vandro program
};

// "Held by ann on lab-3 since 10:42" (the day too when it is not today), the
// parts that are unknown left out.
std::string holderText(const LockHolder &holder);
// "10:42", or "2026-12-08 10:42" for another day, in local time.
std::string sinceText(std::int64_t since);

// This process's user name and host name, and the time now, for the locks
// it takes.
std::string thisUser();
std::string thisMachine();
std::int64_t secondsNow();

} // namespace vandro::engine
