// Table1 on a relation table of the alias Vandro, with a recorder of what
// the linked controls and the scroll handlers get, and a second cursor of
// the engine's own: what the cursor and edit-cycle tests share. They run
// once per driver.
#pragma once

#include "RecordingLink.h"
#include "TableFixture.h"
#include "engine/Engine.h"
#include "shell/Exception.h"
#include "store/TSession.h"
#include "store/TTable.h"
#include "TestText.h"

#include <functional>
#include <memory>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace vandro::testing {

using namespace engine;
using store::DataSetState;
using store::TTable;

// The message of the store failure that `action` raises, or "" when it
// succeeds.
inline std::string failureOf(const std::function<void()> &action) {
  try {
    action();
  } catch (const EDatabaseError &error) {
    return str(error.message());
  }
  return {};
}

// The same for a failure that must come from the engine.
inline std::string engineFailureOf(const std::function<void()> &action) {
  try {
    action();
  } catch (const EDBEngineError &error) {
    return str(error.message());
  } catch (const EDatabaseError &error) {
    return "not an engine failure: " + str(error.message());
  }
  return {};
}

inline const EventLog kMoved = {"CheckBrowseMode", "BeforeScroll", "DataSetScroll", "AfterScroll"};
inline const EventLog kStopped = {"CheckBrowseMode", "BeforeScroll"};
inline const EventLog kChanged = {"CheckBrowseMode", "BeforeScroll", "DataSetChange", "AfterScroll"};
inline const EventLog kKeySet = {"CheckBrowseMode", "StateChange", "FieldChange:Id", "StateChange",
                          "CheckBrowseMode", "BeforeScroll"};
inline const EventLog kPosted = {"UpdateRecord", "CheckBrowseMode", "StateChange", "DataSetChange"};

inline EventLog joined(EventLog head, const EventLog &tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

inline constexpr int kRelation = 2; // the field number of Relation

class TableCursorTest : public DriverTableFixture {
protected:
  void TearDown() override {
    m_otherCursor.reset();
    m_otherDatabase.reset();
    m_recorder.reset();
    m_table.reset();
    m_session.reset();
    DriverTableFixture::TearDown();
  }

  // Table1 on `file` with a recorder attached, not yet opened.
  TTable &prepare(const std::string &file = "Vandro.DB", bool readOnly = false) {
    m_otherCursor.reset();
    m_otherDatabase.reset();
    m_recorder.reset();
    m_table.reset();
    m_session.reset();
    m_session = std::make_unique<store::TSession>();
    m_table = std::make_unique<TTable>(QStringLiteral("Table1"), m_session.get());
    m_table->DatabaseName = QStringLiteral("Vandro");
    m_table->TableName = QString::fromStdString(file);
    m_table->ReadOnly = readOnly;
    m_recorder = std::make_unique<Recorder>(*m_table);
    m_otherFile = file;
    return *m_table;
  }

  // The same, opened, with the log of the opening taken.
  TTable &open(const std::string &file = "Vandro.DB", bool readOnly = false) {
    prepare(file, readOnly).Open();
    m_recorder->take();
    return *m_table;
  }

  EventLog take() { return m_recorder->take(); }
  std::string text(const char *field) const { return str(m_table->LookupField(QString::fromLatin1(field)).AsString()); }

  // A second cursor on the table, in this process. It opens the lock file
  // on its own, so its record locks conflict with those of Table1.
  Cursor &other() {
    if (!m_otherCursor &&
        (Engine::instance().openDatabase("Vandro", "", OpenMode::ReadWrite, ShareMode::Shared,
                                         m_otherDatabase) != code::Ok ||
         m_otherDatabase->openTable(m_otherFile, "default", OpenMode::ReadWrite, ShareMode::Shared,
                                    m_otherCursor) != code::Ok))
      throw std::runtime_error("the second cursor cannot open " + m_otherFile);
    return *m_otherCursor;
  }
  // Whether the second cursor can lock record `id` (released again at once).
  Result lockFromOther(int id) {
    Record record;
    if (const Result found = other().findKey({Value::integer(id)}, record); found != code::Ok)
      return found;
    const Result locked = other().readCurrent(record, LockMode::WriteLock);
    if (locked == code::Ok) {
      EXPECT_EQ(other().releaseLock(), code::Ok);
    }
    return locked;
  }
  // A text field of record `id` as stored in the file.
  std::string stored(int id, int fieldNo = kRelation) {
    Record record;
    EXPECT_EQ(other().findKey({Value::integer(id)}, record), code::Ok);
    const Value &value = record.values.at(static_cast<std::size_t>(fieldNo));
    return value.isText() ? value.asText() : value.isNull() ? "<null>" : "<not text>";
  }

  std::unique_ptr<store::TSession> m_session;
  std::unique_ptr<TTable> m_table;
  std::unique_ptr<Recorder> m_recorder;
  std::string m_otherFile;
  std::unique_ptr<Database> m_otherDatabase;
  std::unique_ptr<Cursor> m_otherCursor;
};

} // namespace vandro::testing
