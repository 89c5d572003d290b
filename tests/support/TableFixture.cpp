#include "TableFixture.h"

#include "PostgresServer.h"
#include "corpus/RelationTable.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>

namespace vandro::testing {

using namespace engine;

using namespace corpus;

void TableFixture::SetUp() {
  char pattern[] = "/tmp/vandro-ui-test-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  m_directory = pattern;
  ::setenv("VANDRO_ENGINE_CONFIG", (m_directory + "/engine.conf").c_str(), 1);
  // The window's own settings (what the user left open) are the test's.
  ::setenv("XDG_CONFIG_HOME", (m_directory + "/config").c_str(), 1);
  if (onServer()) {
    engine::testing::PostgresServer &server = engine::testing::PostgresServer::instance();
    ASSERT_TRUE(server.running()) << server.error();
    m_serverSettings = server.newSchema();
    for (const auto &[key, value] : m_serverSettings)
      if (key == "schema")
        m_schema = value;
  }
  writeConfig();
}

void TableFixture::TearDown() {
  std::error_code ec;
  std::filesystem::remove_all(m_directory, ec);
}

void TableFixture::writeConfig(const std::string &extra) {
  std::ofstream out(m_directory + "/engine.conf");
  if (onServer()) {
    out << "[Vandro]\ndriver = postgresql\n";
    for (const auto &[key, value] : m_serverSettings)
      out << key << " = " << value << "\n";
  } else {
    out << "[Vandro]\ndriver = sqlite\npath = " << m_directory << "\n";
  }
  out << extra;
}

void TableFixture::makeRelationTable(const std::vector<RelationRow> &rows, const std::string &name) {
  // Through the engine in a session of its own, closed before the test
  // opens the table.
  const bool started = Engine::instance().isInitialised();
  if (!started) {
    ASSERT_EQ(Engine::instance().initialise(kInterfaceVersion, kLanguage), code::Ok);
  }
  {
    std::unique_ptr<Database> database;
    ASSERT_EQ(Engine::instance().openDatabase("Vandro", "", OpenMode::ReadWrite, ShareMode::Shared, database),
              code::Ok);
    ASSERT_EQ(database->createTable(name, relationTableFields(), kRelationTableKey), code::Ok);
    std::unique_ptr<Cursor> cursor;
    ASSERT_EQ(database->openTable(name, "default", OpenMode::ReadWrite, ShareMode::Shared, cursor), code::Ok);
    auto text = [](const std::optional<std::string> &t) { return t ? Value::text(*t) : Value(); };
    for (const auto &row : rows) {
      Record record = cursor->blankRecord();
      record.values[0] = Value::integer(row.id);
      record.values[1] = Value::text("fixture");
      record.values[2] = text(row.relation);
      record.values[7] = text(row.span1);
      record.values[8] = text(row.span2);
      if (row.h1)
        record.values[10] = Value::integer(*row.h1);
      if (row.l2)
        record.values[11] = Value::integer(*row.l2);
      record.values[14] = text(row.marker1);
      record.values[15] = text(row.position1);
      record.values[16] = text(row.marker2);
      record.values[17] = text(row.position2);
      ASSERT_EQ(cursor->insertRecord(record), code::Ok);
    }
  }
  if (!started) {
    ASSERT_EQ(Engine::instance().exit(), code::Ok);
  }
}

void TableFixture::makeTableFromSql(const std::string &name, const std::string &sql) {
  if (onServer()) {
    EXPECT_EQ(engine::testing::PostgresServer::instance().execute("SET search_path TO " + m_schema + "; " + sql), "")
        << sql;
    return;
  }
  sqlite3 *db = nullptr;
  ASSERT_EQ(sqlite3_open(tablePath(name).c_str(), &db), SQLITE_OK);
  char *error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  const std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << message;
}

std::string TableFixture::stored(int id, const std::string &column, const std::string &file) const {
  // Through the engine, in a session of its own when none runs.
  const bool started = Engine::instance().isInitialised();
  if (!started && Engine::instance().initialise(kInterfaceVersion, kLanguage) != code::Ok)
    return "<no engine>";
  std::string text = "<none>";
  {
    std::unique_ptr<Database> database;
    std::unique_ptr<Cursor> cursor;
    Record record;
    if (Engine::instance().openDatabase("Vandro", "", OpenMode::ReadOnly, ShareMode::Shared, database) != code::Ok ||
        database->openTable(file, "default", OpenMode::ReadOnly, ShareMode::Shared, cursor) != code::Ok) {
      text = "<cannot open " + file + ">";
    } else if (cursor->findKey({Value::integer(id)}, record) == code::Ok) {
      const auto &fields = cursor->description().fields;
      for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name == column) {
          const Value &value = record.values[i];
          text = value.isNull() ? "<null>"
                 : value.isText() ? value.asText()
                 : value.isInteger() ? std::to_string(value.asInteger())
                                     : "<other>";
        }
    }
  }
  if (!started)
    (void)Engine::instance().exit();
  return text;
}

std::vector<RelationRow> TableFixture::numberedRows(int count) {
  static const char *relations[] = {"elaboration", "contrast", "joint", "background"};
  std::vector<RelationRow> rows;
  for (int id = 1; id <= count; ++id)
    rows.push_back({id, relations[id % 4], id * 2, id * 2 + 3, {}, {}, {}, {}, {}, {}});
  return rows;
}

} // namespace vandro::testing
