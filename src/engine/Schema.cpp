#include "Schema.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace vandro::engine {

namespace {

std::string upperTrimmed(std::string_view text) {
  std::string out;
  for (char c : text)
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const auto first = out.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  const auto last = out.find_last_not_of(' ');
  return out.substr(first, last - first + 1);
}

} // namespace

std::optional<KindAndSize> kindFromDeclaredType(std::string_view declaredType) {
  std::string type = upperTrimmed(declaredType);
  // Split "NAME(ARGS)" into the name and the first argument.
  std::string name = type;
  std::optional<int> argument;
  if (const auto open = type.find('('); open != std::string::npos) {
    const auto close = type.find(')', open);
    if (close == std::string::npos || close + 1 != type.size())
      return std::nullopt;
    name = upperTrimmed(type.substr(0, open));
    std::string args = type.substr(open + 1, close - open - 1);
    const auto comma = args.find(',');
    std::string first = upperTrimmed(args.substr(0, comma));
    int value = 0;
    const auto [ptr, ec] = std::from_chars(first.data(), first.data() + first.size(), value);
    if (ec != std::errc() || ptr != first.data() + first.size() || value <= 0)
      return std::nullopt;
    argument = value;
  }

  struct Entry {
    std::string_view name;
    FieldKind kind;
  };
  static constexpr Entry kPlain[] = {
      {"INTEGER", FieldKind::Integer}, {"INT", FieldKind::Integer},
      {"SMALLINT", FieldKind::Smallint}, {"WORD", FieldKind::Word},
      {"AUTOINC", FieldKind::AutoInc}, {"REAL", FieldKind::Float},
      {"FLOAT", FieldKind::Float}, {"DOUBLE", FieldKind::Float},
      {"DOUBLE PRECISION", FieldKind::Float}, {"MONEY", FieldKind::Money},
      {"CURRENCY", FieldKind::Money}, {"DECIMAL", FieldKind::Decimal},
      {"NUMERIC", FieldKind::Decimal}, {"BOOLEAN", FieldKind::Boolean},
      {"DATE", FieldKind::Date}, {"TIME", FieldKind::Time},
      {"DATETIME", FieldKind::DateTime}, {"TIMESTAMP", FieldKind::DateTime},
      {"TEXT", FieldKind::Memo}, {"MEMO", FieldKind::Memo},
      {"BLOB", FieldKind::Blob},
  };
  if (name == "VARCHAR" || name == "CHAR") {
    if (!argument)
      return std::nullopt;
    return KindAndSize{FieldKind::String, *argument};
  }
  for (const auto &entry : kPlain) {
    if (entry.name == name) {
      // Only DECIMAL/NUMERIC take (precision, scale); the engine keeps four
      // decimals whatever they say.
      if (argument && entry.kind != FieldKind::Decimal)
        return std::nullopt;
      return KindAndSize{entry.kind, 0};
    }
  }
  return std::nullopt;
}

std::string declaredTypeFor(FieldKind kind, int size) {
  switch (kind) {
  case FieldKind::Integer: return "INTEGER";
  case FieldKind::Smallint: return "SMALLINT";
  case FieldKind::Word: return "WORD";
  case FieldKind::AutoInc: return "AUTOINC";
  case FieldKind::Float: return "REAL";
  case FieldKind::Money: return "MONEY";
  case FieldKind::Decimal: return "DECIMAL";
  case FieldKind::Boolean: return "BOOLEAN";
  case FieldKind::Date: return "DATE";
  case FieldKind::Time: return "TIME";
  case FieldKind::DateTime: return "DATETIME";
  case FieldKind::String: return "VARCHAR(" + std::to_string(size) + ")";
  case FieldKind::Memo: return "TEXT";
  case FieldKind::Blob: return "BLOB";
  }
  return "BLOB";
}

int storageSize(FieldKind kind, int size) {
  switch (kind) {
  case FieldKind::Smallint:
  case FieldKind::Word:
  case FieldKind::Boolean: return 2;
  case FieldKind::Integer:
  case FieldKind::AutoInc:
  case FieldKind::Date:
  case FieldKind::Time: return 4;
  case FieldKind::Float:
  case FieldKind::Money:
  case FieldKind::Decimal:
  case FieldKind::DateTime: return 8;
  case FieldKind::String: return size * 4 + 1; // UTF-8: up to 4 bytes a character
  case FieldKind::Memo:
  case FieldKind::Blob: return 10; // a reference to the content
  }
  return 0;
}

} // namespace vandro::engine
