#include "RelationMap.h"

#include "CsvReader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace vandro::rst {

Outcome<RelationMap, QString> readRelationMap(const QString &path) {
  RelationMap out;
  std::error_code ec;
  if (std::filesystem::is_directory(path.toStdString(), ec)) {
    return Failure{QStringLiteral("%1: it is a folder, not a map of relation names").arg(path)};
  }
  std::ifstream in(path.toStdString(), std::ios::binary);
  if (!in) {
    return Failure{
        QStringLiteral("%1: the map cannot be read: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)))};
  }
  csv::Reader reader(in);
  csv::Row row;
  csv::Error fault;
  auto text = [&](std::size_t i) { return QString::fromUtf8(row[i].text.data(), static_cast<qsizetype>(row[i].text.size())); };
  bool header = true;
  while (reader.next(row, fault)) {
    if (row.size() == 1 && row[0].isNull())
      continue; // a blank line
    if (row.size() != 2) {
      return Failure{
          QStringLiteral("%1: line %2: a line of the map has two fields, from and to").arg(path).arg(row.line())};
    }
    if (header) {
      if (text(0).trimmed().compare(QLatin1String("from"), Qt::CaseInsensitive) != 0 ||
          text(1).trimmed().compare(QLatin1String("to"), Qt::CaseInsensitive) != 0) {
        return Failure{QStringLiteral("%1: line %2: the map starts with the header from,to").arg(path).arg(row.line())};
      }
      header = false;
      continue;
    }
    out.insert(text(0), text(1));
  }
  if (fault) {
    return Failure{QStringLiteral("%1: %2").arg(path, QString::fromStdString(fault.message()))};
  }
  if (header) {
    return Failure{QStringLiteral("%1: the map is empty; it starts with the header from,to").arg(path)};
  }
  return out;
}

} // namespace vandro::rst
