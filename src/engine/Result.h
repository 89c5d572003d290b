// Result codes of the database engine and their message texts.
#pragma once

#include <cstdint>
#include <string_view>

namespace vandro::engine {

// Every engine operation answers with one of these codes; 0 is success.
// The values of the first group are fixed because the layers above test for
// them; the others are the engine's own.
using Result = std::uint16_t;

namespace code {
inline constexpr Result Ok = 0;
// Fixed codes.
inline constexpr Result Bof = 0x2201;               // nothing earlier
inline constexpr Result Eof = 0x2202;               // nothing later
inline constexpr Result NoMoreEntries = 0x2A06;     // error entries exhausted
inline constexpr Result AlreadyInitialised = 0x2A07;
inline constexpr Result ReadOnlyTable = 0x2A0B;     // can only be opened for reading
inline constexpr Result PasswordNeeded = 0x2902;
// Start-up of the engine.
inline constexpr Result EngineNotFound = 0x2108;
inline constexpr Result EngineStartFailed = 0x2109;
inline constexpr Result OutOfMemory = 0x2501;
// Records and keys.
inline constexpr Result RecordNotFound = 0x2204;
inline constexpr Result RecordDeleted = 0x2205;
inline constexpr Result KeyViolation = 0x2601;
inline constexpr Result RequiredValueMissing = 0x2602;
inline constexpr Result ValueTooLong = 0x2603;
inline constexpr Result ValueDoesNotFit = 0x2604;
inline constexpr Result ConstraintFailed = 0x2605;
// Files, tables and schemas.
inline constexpr Result TableNotFound = 0x2701;
inline constexpr Result TableMissingInFile = 0x2702;
inline constexpr Result DirectoryNotFound = 0x2703;
inline constexpr Result TableExists = 0x2704;
inline constexpr Result NotADatabase = 0x2705;
inline constexpr Result DatabaseDamaged = 0x2706;
inline constexpr Result UnsupportedSchema = 0x2707;
inline constexpr Result UnsupportedTableType = 0x2708;
// Passwords.
inline constexpr Result PasswordTooLong = 0x2903;
// Use of the interface.
inline constexpr Result InvalidParameter = 0x2A01;
inline constexpr Result NotInitialised = 0x2A0C;
inline constexpr Result TableIsReadOnly = 0x2A0D;
inline constexpr Result NoCurrentRecord = 0x2A0E;
inline constexpr Result NoIndex = 0x2A0F;
// Configuration and aliases.
inline constexpr Result AliasNotFound = 0x2C01;
inline constexpr Result ConfigMalformed = 0x2C02;
inline constexpr Result ConfigUnreadable = 0x2C03;
inline constexpr Result ConfigUnwritable = 0x2C04;
inline constexpr Result DriverNotSupported = 0x2C05;
inline constexpr Result AliasIncomplete = 0x2C06;
// Database servers.
inline constexpr Result ServerUnreachable = 0x2B01;
inline constexpr Result AuthenticationFailed = 0x2B02;
inline constexpr Result ConnectionLost = 0x2B03;
inline constexpr Result RecordChanged = 0x2B04;
inline constexpr Result NotForServerTables = 0x2B05;
// Sharing.
inline constexpr Result RecordLocked = 0x2D01;
inline constexpr Result TableBusy = 0x2D02;
inline constexpr Result RecordNotLocked = 0x2D03;
// Operating system.
inline constexpr Result IoFailure = 0x2E01;
inline constexpr Result DiskFull = 0x2E02;
inline constexpr Result PermissionDenied = 0x2E03;
inline constexpr Result CannotOpenFile = 0x2E04;
// Anything else the storage library reports.
inline constexpr Result InternalError = 0x3001;
} // namespace code

// The engine's message text for a code: at most 128 bytes; empty for a code
// the engine does not know.
std::string_view messageFor(Result result);

} // namespace vandro::engine
