// Result codes of the database engine and their message texts: one table.
#pragma once

#include <cstdint>
#include <string_view>

namespace vandro::engine {

// Every engine operation answers with one of these codes; 0 is success.
// The values of the fixed codes are fixed because the layers above test for
// them; the others are the engine's own.
using Result = std::uint16_t;

// The one table of codes: X(name, value, message). Each message is at most
// 128 bytes (checked at compile time); the detail of a failure goes into
// error entries. A value given twice does not compile (messageFor's switch).
// ContextOnly carries its whole text in its entries' contexts.
#define VANDRO_RESULT_CODES(X) \
  /* Fixed codes. */ \
  X(Bof, 0x2201, "At beginning of table") /* nothing earlier */ \
  X(Eof, 0x2202, "At end of table") /* nothing later */ \
  X(NoMoreEntries, 0x2A06, "No more error entries") /* error entries exhausted */ \
  X(AlreadyInitialised, 0x2A07, "The database engine is already initialised") \
  X(ReadOnlyTable, 0x2A0B, "The table can only be opened for reading") \
  X(PasswordNeeded, 0x2902, "A password is needed to open the table") \
  X(DescribedBeforeStart, 0x2F01, "The database engine reported a failure") /* described also before a session starts */ \
  /* Start-up of the engine. */ \
  X(EngineNotFound, 0x2108, "The database engine could not be found") \
  X(EngineStartFailed, 0x2109, "The database engine could not be started") \
  X(OutOfMemory, 0x2501, "Not enough memory") \
  /* Records and keys. */ \
  X(RecordNotFound, 0x2204, "Record not found") \
  X(RecordDeleted, 0x2205, "The record has been deleted by another user") \
  X(KeyViolation, 0x2601, "Key violation: another record has the same key") \
  X(RequiredValueMissing, 0x2602, "A required field has no value") \
  X(ValueTooLong, 0x2603, "A text is longer than its field allows") \
  X(ValueDoesNotFit, 0x2604, "A value does not fit the kind of its field") \
  X(ConstraintFailed, 0x2605, "The record breaks a rule of the table") \
  /* Files, tables and schemas. */ \
  X(TableNotFound, 0x2701, "Table does not exist") \
  X(TableMissingInFile, 0x2702, "The file holds no table of the expected name") \
  X(DirectoryNotFound, 0x2703, "Database directory not found") \
  X(TableExists, 0x2704, "Table already exists") \
  X(NotADatabase, 0x2705, "The file is not a database") \
  X(DatabaseDamaged, 0x2706, "The database file is damaged") \
  X(UnsupportedSchema, 0x2707, "The table has a column the engine cannot describe") \
  X(UnsupportedTableType, 0x2708, "Unknown table type") \
  /* Passwords. */ \
  X(PasswordTooLong, 0x2903, "A password may have at most 255 bytes") \
  /* Use of the interface. */ \
  X(InvalidParameter, 0x2A01, "Invalid parameter") \
  X(NotInitialised, 0x2A0C, "The database engine has not been initialised") \
  X(TableIsReadOnly, 0x2A0D, "The table is open for reading only") \
  X(NoCurrentRecord, 0x2A0E, "There is no current record") \
  X(NoIndex, 0x2A0F, "The table has no primary index") \
  /* Configuration and aliases. */ \
  X(AliasNotFound, 0x2C01, "Unknown database alias") \
  X(ConfigMalformed, 0x2C02, "Malformed line in the engine configuration") \
  X(ConfigUnreadable, 0x2C03, "The engine configuration cannot be read") \
  X(ConfigUnwritable, 0x2C04, "The engine configuration cannot be written") \
  X(DriverNotSupported, 0x2C05, "The alias names a driver this engine does not have") \
  X(AliasIncomplete, 0x2C06, "The alias has no directory path") \
  /* Database servers. */ \
  X(ServerUnreachable, 0x2B01, "The database server cannot be reached") \
  X(AuthenticationFailed, 0x2B02, "The database server refused the login") \
  X(ConnectionLost, 0x2B03, "The connection to the database server was lost") \
  X(RecordChanged, 0x2B04, "The record was changed by another user") \
  X(NotForServerTables, 0x2B05, "Server tables use the server's own authentication, not a table password") \
  /* Sharing. */ \
  X(RecordLocked, 0x2D01, "Record locked by another user") \
  X(TableBusy, 0x2D02, "The table is busy: another program is writing to it") \
  X(RecordNotLocked, 0x2D03, "The record is not locked for editing") \
  /* Operating system. */ \
  X(IoFailure, 0x2E01, "Input/output error") \
  X(DiskFull, 0x2E02, "Disk full") \
  X(PermissionDenied, 0x2E03, "Permission denied") \
  X(CannotOpenFile, 0x2E04, "The file cannot be opened") \
  /* Anything else the storage library reports. */ \
  X(InternalError, 0x3001, "Unexpected failure of the database engine") \
  X(ContextOnly, 0x2EC4, "")

namespace code {
inline constexpr Result Ok = 0;
#define VANDRO_DECLARE_CODE(name, value, message) inline constexpr Result name = value;
VANDRO_RESULT_CODES(VANDRO_DECLARE_CODE)
#undef VANDRO_DECLARE_CODE
} // namespace code

// The engine's message text for a code: at most 128 bytes; empty for a code
// the engine does not know, and for ContextOnly.
std::string_view messageFor(Result result);

} // namespace vandro::engine
