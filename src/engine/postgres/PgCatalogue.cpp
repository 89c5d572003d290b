#include "PgCatalogue.h"

#include "../ErrorEntries.h"
#include "../Quoted.h"
#include "PgValues.h"

#include <algorithm>
#include <charconv>

namespace vandro::engine {

Result describePgTable(PgConnection &connection, const std::string &qualified, const std::string &location,
                       bool writable, PgTable &out) {
  // The table, its rights, its columns and its primary key in one request:
  // one row per column (one row of nulls for a table that does not exist).
  PgResult columns;
  if (const Result result = connection.exec(
          "SELECT r.oid::bigint, has_table_privilege(r.oid, 'UPDATE') AND has_table_privilege(r.oid, 'INSERT'), "
          "a.attname, t.typname, a.atttypmod, a.attnotnull, a.attidentity <> '', a.attgenerated <> '', "
          "format_type(a.atttypid, a.atttypmod), array_position(i.indkey::int2[], a.attnum), "
          "has_table_privilege(r.oid, 'UPDATE'), has_table_privilege(r.oid, 'INSERT'), current_user "
          "FROM (SELECT to_regclass($1) AS oid) r "
          "LEFT JOIN pg_attribute a ON a.attrelid = r.oid AND a.attnum > 0 AND NOT a.attisdropped "
          "LEFT JOIN pg_type t ON t.oid = a.atttypid "
          "LEFT JOIN pg_index i ON i.indrelid = r.oid AND i.indisprimary "
          "ORDER BY a.attnum",
          {qualified.c_str()}, columns);
      result != code::Ok)
    return result;
  if (columns.rows() == 0 || columns.isNull(0, 0))
    return ErrorEntries::fail(code::TableNotFound, {{code::TableNotFound, 0, location}});
  {
    const std::string oid = columns.text(0, 0);
    if (std::from_chars(oid.data(), oid.data() + oid.size(), out.oid).ec != std::errc())
      return ErrorEntries::fail(code::UnsupportedSchema, {{code::UnsupportedSchema, 0, location},
                                                         {code::UnsupportedSchema, 0, "The server named the table " + oid}});
  }
  if (writable && columns.text(0, 1) != "t") {
    // The rights missing, named as the server's GRANT names them.
    const bool update = columns.text(0, 10) == "t", insert = columns.text(0, 11) == "t";
    const std::string missing = !update && !insert ? "UPDATE and INSERT rights" : !update ? "UPDATE right" : "INSERT right";
    return ErrorEntries::fail(code::ReadOnlyTable,
                              {{code::ReadOnlyTable, 0, location},
                               {code::ReadOnlyTable, 0,
                                "The user " + columns.text(0, 12) + " has no " + missing + " on the table"}});
  }
  TableDescription &description = out.description;
  description.writable = writable;

  std::vector<std::pair<int, int>> keyOrder; // (place in the key, field number)
  for (int i = 0; i < columns.rows(); ++i) {
    if (columns.isNull(i, 2))
      continue; // a table without columns
    FieldDescription field;
    field.name = columns.text(i, 2);
    field.declaredType = columns.text(i, 8);
    const auto kind = kindFromPgType(columns.text(i, 3), std::stoi(columns.text(i, 4)), columns.text(i, 6) == "t");
    if (!kind)
      return ErrorEntries::fail(code::UnsupportedSchema,
                                {{code::UnsupportedSchema, 0, location},
                                 {code::UnsupportedSchema, 0,
                                  "Column \"" + field.name + "\" is of type " + field.declaredType}});
    field.kind = kind->kind;
    field.size = kind->size;
    field.required = columns.text(i, 5) == "t";
    field.readOnly = columns.text(i, 7) == "t";
    if (!columns.isNull(i, 9))
      keyOrder.emplace_back(std::stoi(columns.text(i, 9)), static_cast<int>(description.fields.size()));
    description.fields.push_back(field);
  }
  std::sort(keyOrder.begin(), keyOrder.end());
  for (const auto &[place, field] : keyOrder) {
    out.index.keyFields.push_back(field);
    out.keyColumns.push_back(quoteIdentifier(description.fields[static_cast<std::size_t>(field)].name));
  }
  if (out.index.keyFields.empty())
    return ErrorEntries::fail(code::UnsupportedSchema,
                              {{code::UnsupportedSchema, 0, location},
                               {code::UnsupportedSchema, 0, "The table has no primary key to read it in order by"}});
  out.index.exists = true;
  for (int field : out.index.keyFields)
    out.index.keySize += storageSize(description.fields[static_cast<std::size_t>(field)].kind,
                                     description.fields[static_cast<std::size_t>(field)].size);
  for (const FieldDescription &field : description.fields)
    description.recordSize += storageSize(field.kind, field.size);
  return code::Ok;
}

} // namespace vandro::engine
