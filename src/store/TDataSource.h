// DataSource1: the one connector between the table and its linked controls.
#pragma once

#include "TDataLink.h"

#include <QString>
#include <vector>

namespace vandro::store {

class TTable;

class TDataSource {
public:
  // `name` is the component's, for messages.
  explicit TDataSource(QString name);
  ~TDataSource();

  const QString &Name() const { return m_name; }
  TTable *DataSet() const { return m_table; }
  void setDataSet(TTable *table);

  // Links are told of events in the order in which they were added.
  void addLink(TDataLink *link);
  void removeLink(TDataLink *link);
  // Moves `link` from the source `current` points to over to `next` and
  // makes `current` point there; false when it already did.
  static bool relink(TDataLink *link, TDataSource *&current, TDataSource *next);

  // Delivers `event` to every link, synchronously, in link order.
  void notify(DataEvent event, TField *field = nullptr);

  // A control asks to edit: with automatic editing on and the table
  // browsing, the table enters edit mode. Failures propagate.
  void Edit();

private:
  QString m_name;
  TTable *m_table = nullptr;
  std::vector<TDataLink *> m_links;
};

} // namespace vandro::store
