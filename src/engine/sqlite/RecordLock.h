// Record locks that other processes see, kept in a lock file beside the table.
#pragma once

#include "../LockHolder.h"
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
//
// Who holds a lock is written in the holders' record "<table>-holders": a
// slot of kSlotSize bytes per lock holder, owned while its first byte is
// locked the same way. A holder takes a free slot at its first lock and
// writes there the record it holds, its user, machine and since when; a
// slot whose byte nobody locks is a dead holder's, ignored by readers and
// cleared by the next that finds it, so no crash leaves a stale name.
class RecordLock {
public:
  RecordLock() = default;
  RecordLock(const RecordLock &) = delete;
  RecordLock &operator=(const RecordLock &) = delete;
  ~RecordLock();

  // Opens (and creates) the lock file for `tablePath`. Ok or CannotOpenFile.
  [[nodiscard]] Result open(const std::string &tablePath);
  // Opens the lock file and the holders' record of `tablePath`, where they
  // are, only to read who holds what (holders()); takes no lock.
  void openToRead(const std::string &tablePath);
  // The byte that stands for the record with `key`: the key itself for a
  // key of one integer from 0 to 2^62 - 1 (so no two such records share
  // one), else a 62-bit hash of the key above those.
  static long long offsetFor(const Bookmark &key);
  // Locks the record at `offset` for editing (the cursor has let go of any
  // other: it alone knows which record it holds) and writes `recordName`
  // ("Id = 7") into the holders' record. RecordLocked (without entries: the
  // cursor names the record) when another holder has it.
  [[nodiscard]] Result lock(long long offset, const std::string &recordName);
  void release();
  // Locks the byte at `offset` as well as any held, until releaseAll():
  // the records a bulk delete takes away. RecordLocked when another holder
  // has it.
  [[nodiscard]] Result lockAlso(long long offset);
  void releaseAll();

  // Who else holds the record at `offset`, from the holders' record.
  std::optional<LockHolder> holderOf(long long offset) const;
  // Every record another holder has locked now, with its holder.
  std::vector<LockHolder> holders() const;

  static constexpr long long kSlotSize = 512, kSlots = 1024;

private:
  struct Entry {
    long long offset = -1;
    LockHolder holder;
  };
  // The live entries of other holders (their slot's byte locked), clearing
  // the entries of dead ones on the way.
  std::vector<Entry> liveEntries() const;
  // Takes a free slot of the holders' record for this holder, once.
  void claimSlot();
  void writeSlot(const std::string &text) const;

  int m_fd = -1;
  int m_holdersFd = -1;
  bool m_holdersWritable = false;
  long long m_slot = -1; // ours, once claimed
  std::string m_path;
  std::optional<long long> m_held; // the byte of the record locked for editing
  std::vector<long long> m_also; // the bytes of lockAlso

};

} // namespace vandro::engine
