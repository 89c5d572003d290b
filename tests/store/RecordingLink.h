// A data link that writes down every event the table sends, and the scroll
// handlers that write into the same log, so that a test sees which
// notifications came and in what order.
#pragma once

#include "store/TDataLink.h"
#include "store/TDataSource.h"
#include "store/TField.h"
#include "store/TTable.h"

#include <string>
#include <vector>

namespace vandro::testing {

using EventLog = std::vector<std::string>;

inline const char *eventName(store::DataEvent event) {
  using store::DataEvent;
  switch (event) {
  case DataEvent::StateChange: return "StateChange";
  case DataEvent::FieldChange: return "FieldChange";
  case DataEvent::RecordChange: return "RecordChange";
  case DataEvent::DataSetChange: return "DataSetChange";
  case DataEvent::DataSetScroll: return "DataSetScroll";
  case DataEvent::LayoutChange: return "LayoutChange";
  case DataEvent::UpdateRecord: return "UpdateRecord";
  case DataEvent::CheckBrowseMode: return "CheckBrowseMode";
  case DataEvent::FocusControl: return "FocusControl";
  }
  return "?";
}

// Each event as its name, followed by ":Field" when a field comes along.
class RecordingLink : public store::TDataLink {
public:
  explicit RecordingLink(EventLog &log) : m_log(log) {}
  void dataEvent(store::DataEvent event, store::TField *field) override {
    std::string entry = eventName(event);
    if (field)
      entry += ":" + field->FieldName().toStdString();
    m_log.push_back(std::move(entry));
  }

private:
  EventLog &m_log;
};

// A data source on `table` with one recording link, and the table's scroll
// handlers writing "BeforeScroll" and "AfterScroll" into the same log. The
// log starts empty once everything is attached.
class Recorder {
public:
  explicit Recorder(store::TTable &table) : m_link(log) {
    m_source.addLink(&m_link);
    m_source.setDataSet(&table);
    table.BeforeScroll = [this](store::TTable &) { log.push_back("BeforeScroll"); };
    table.AfterScroll = [this](store::TTable &) { log.push_back("AfterScroll"); };
    log.clear();
  }
  ~Recorder() {
    // Unless the table has gone first (it then detached the source).
    if (store::TTable *table = m_source.DataSet()) {
      table->BeforeScroll = nullptr;
      table->AfterScroll = nullptr;
    }
  }
  Recorder(const Recorder &) = delete;
  Recorder &operator=(const Recorder &) = delete;

  // What was logged since the last take, and a fresh start.
  EventLog take() {
    EventLog taken;
    taken.swap(log);
    return taken;
  }

  EventLog log;

private:
  RecordingLink m_link;
  store::TDataSource m_source{QStringLiteral("RecordingSource")};
};

} // namespace vandro::testing
