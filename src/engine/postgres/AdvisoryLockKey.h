// The server's advisory lock that stands for one record of one table.
#pragma once

#include "../Record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace vandro::engine {

// A record whose key is one integer (of 32 bits) is locked by the server's
// two-integer form, pg_try_advisory_lock(table, record), with the table's
// identity (its oid) and the key itself: no two records of a table share a
// lock. Any other key is locked by the one-integer form with a 64-bit hash
// of the table and the key; the two forms never conflict with each other.
struct AdvisoryLockKey {
  std::int32_t table = 0;
  std::optional<std::int32_t> record; // the two-integer form
  std::int64_t hash = 0;              // the one-integer form, when `record` is empty

  friend bool operator==(const AdvisoryLockKey &, const AdvisoryLockKey &) = default;
};

// The lock of the record with `key` in the table whose oid is `tableOid`.
AdvisoryLockKey advisoryLockKey(std::uint32_t tableOid, const Bookmark &key);

// The application_name of a session that takes a record lock, saying when
// and on which machine: "Vandro since 1765276920 on lab-3", within the
// server's 63 bytes and its printable ASCII; and the two read back from
// such a name (nothing for another program's).
std::string vandroApplicationName(std::int64_t since, const std::string &machine);
std::optional<std::pair<std::int64_t, std::string>> parseVandroApplicationName(const std::string &name);

} // namespace vandro::engine
