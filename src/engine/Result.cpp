#include "Result.h"

#include <array>
#include <utility>

namespace vandro::engine {

namespace {

// The one table of message texts. Each text is at most 128 bytes (checked
// below at compile time); the detail of a failure goes into error entries.
constexpr std::pair<Result, std::string_view> kMessages[] = {
    {code::Bof, "At beginning of table"},
    {code::Eof, "At end of table"},
    {code::NoMoreEntries, "No more error entries"},
    {code::AlreadyInitialised, "The database engine is already initialised"},
    {code::ReadOnlyTable, "The table can only be opened for reading"},
    {code::PasswordNeeded, "A password is needed to open the table"},
    {code::EngineNotFound, "The database engine could not be found"},
    {code::EngineStartFailed, "The database engine could not be started"},
    {code::OutOfMemory, "Not enough memory"},
    {code::RecordNotFound, "Record not found"},
    {code::RecordDeleted, "The record has been deleted by another user"},
    {code::KeyViolation, "Key violation: another record has the same key"},
    {code::RequiredValueMissing, "A required field has no value"},
    {code::ValueTooLong, "A text is longer than its field allows"},
    {code::ValueDoesNotFit, "A value does not fit the kind of its field"},
    {code::ConstraintFailed, "The record breaks a rule of the table"},
    {code::TableNotFound, "Table does not exist"},
    {code::TableMissingInFile, "The file holds no table of the expected name"},
    {code::DirectoryNotFound, "Database directory not found"},
    {code::TableExists, "Table already exists"},
    {code::NotADatabase, "The file is not a database"},
    {code::DatabaseDamaged, "The database file is damaged"},
    {code::UnsupportedSchema, "The table has a column the engine cannot describe"},
    {code::UnsupportedTableType, "Unknown table type"},
    {code::PasswordTooLong, "A password may have at most 255 bytes"},
    {code::InvalidParameter, "Invalid parameter"},
    {code::NotInitialised, "The database engine has not been initialised"},
    {code::TableIsReadOnly, "The table is open for reading only"},
    {code::NoCurrentRecord, "There is no current record"},
    {code::NoIndex, "The table has no primary index"},
    {code::AliasNotFound, "Unknown database alias"},
    {code::ConfigMalformed, "Malformed line in the engine configuration"},
    {code::ConfigUnreadable, "The engine configuration cannot be read"},
    {code::ConfigUnwritable, "The engine configuration cannot be written"},
    {code::DriverNotSupported, "The alias names a driver this engine does not have"},
    {code::AliasIncomplete, "The alias has no directory path"},
    {code::ServerUnreachable, "The database server cannot be reached"},
    {code::AuthenticationFailed, "The database server refused the login"},
    {code::ConnectionLost, "The connection to the database server was lost"},
    {code::RecordChanged, "The record was changed by another user"},
    {code::NotForServerTables, "Server tables use the server's own authentication, not a table password"},
    {code::RecordLocked, "Record locked by another user"},
    {code::TableBusy, "The table is busy: another program is writing to it"},
    {code::RecordNotLocked, "The record is not locked for editing"},
    {code::IoFailure, "Input/output error"},
    {code::DiskFull, "Disk full"},
    {code::PermissionDenied, "Permission denied"},
    {code::CannotOpenFile, "The file cannot be opened"},
    {code::InternalError, "Unexpected failure of the database engine"},
};

constexpr bool allTextsFit() {
  for (const auto &entry : kMessages)
    if (entry.second.size() > 128)
      return false;
  return true;
}
static_assert(allTextsFit(), "engine message texts are at most 128 bytes");

} // namespace

std::string_view messageFor(Result result) {
  for (const auto &entry : kMessages)
    if (entry.first == result)
      return entry.second;
  return {};
}

} // namespace vandro::engine
