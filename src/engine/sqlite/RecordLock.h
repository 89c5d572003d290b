// Record locks that other processes see, kept in a lock file beside the table.
#pragma once

#include "../Record.h"
#include "../Result.h"

#include <optional>
#include <string>
#include <vector>

namespace vandro::engine {

// Locks one byte of the file "<table>-lock" per record, chosen by the
// record's key (offsetFor), with open-file-description locks: they conflict between
// any two opens of the file, also inside one process, and the kernel drops
// them when the holder closes the file or dies, so a crashed editor never
// leaves a record locked.
class RecordLock {
public:
  RecordLock() = default;
  RecordLock(const RecordLock &) = delete;
  RecordLock &operator=(const RecordLock &) = delete;
  ~RecordLock();

  // Opens (and creates) the lock file for `tablePath`. Ok or CannotOpenFile.
  [[nodiscard]] Result open(const std::string &tablePath);
  // The byte that stands for the record with `key`: the key itself for a
  // key of one integer from 0 to 2^62 - 1 (so no two such records share
  // one), else a 62-bit hash of the key above those.
  static long long offsetFor(const Bookmark &key);
  // Locks the record whose key reads `keyText` at `offset`, releasing any
  // lock held before. RecordLocked (without entries: the cursor names the
  // record) when another holder has it.
  [[nodiscard]] Result lock(const std::string &keyText, long long offset);
  void release();
  // Locks the byte at `offset` as well as any held, until releaseAll():
  // the records a bulk delete takes away. RecordLocked when another holder
  // has it.
  [[nodiscard]] Result lockAlso(long long offset);
  void releaseAll();
  bool isHeld() const { return m_held.has_value(); }
  // The key text of the record held, if any.
  const std::optional<std::string> &held() const { return m_held; }

private:
  int m_fd = -1;
  std::string m_path;
  std::optional<std::string> m_held;
  long long m_offset = 0;
  std::vector<long long> m_also; // the bytes of lockAlso

};

} // namespace vandro::engine
