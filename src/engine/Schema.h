// How the engine describes a table: its fields and its primary index.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vandro::engine {

enum class FieldKind {
  Integer,  // 32-bit signed
  Smallint, // 16-bit signed
  Word,     // 16-bit unsigned
  AutoInc,  // 32-bit signed, numbered by the engine
  Float,
  Money,    // floating point shown as money
  Decimal,  // fixed point with four decimals
  Boolean,
  Date,
  Time,
  DateTime,
  String,   // text of at most `size` characters
  Memo,     // text of any length
  Blob,
};

struct FieldDescription {
  std::string name;
  FieldKind kind = FieldKind::String;
  int size = 0;          // characters for String; 0 for every other kind
  bool required = false; // NOT NULL
  bool readOnly = false; // computed by the table itself
  std::string declaredType;
};

struct IndexDescription {
  // True when the table has a primary index; a table without one is read in
  // the order the rows were stored and cannot be searched by key.
  bool exists = false;
  std::vector<int> keyFields; // field numbers, counted from 0, in key order
  bool expression = false;    // an index on an expression rather than fields
  int keySize = 0;            // bytes of the key as the engine holds it
};

struct TableDescription {
  std::vector<FieldDescription> fields;
  int recordSize = 0; // bytes of a record buffer as the engine lays it out
  bool writable = false;
};

// The field kind for an SQL declared type such as "VARCHAR(60)", with its
// size; nothing when the engine has no kind for it.
struct KindAndSize {
  FieldKind kind;
  int size;
};
std::optional<KindAndSize> kindFromDeclaredType(std::string_view declaredType);

// The declared type that makes a column of `kind` (and `size`, for strings).
std::string declaredTypeFor(FieldKind kind, int size);

// Bytes that a field of this kind takes in a record buffer.
int storageSize(FieldKind kind, int size);

} // namespace vandro::engine
