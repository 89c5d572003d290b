#include "TDataSource.h"

#include "TTable.h"

#include <algorithm>

namespace vandro::store {

TDataSource::TDataSource(QString name) : m_name(std::move(name)) {}

TDataSource::~TDataSource() {
  if (m_table)
    m_table->detachDataSource(this);
  // Whatever still links to this source forgets it, whichever goes first.
  const std::vector<TDataLink *> links = m_links;
  m_links.clear();
  for (TDataLink *link : links)
    link->dataSourceDestroyed();
}

void TDataSource::setDataSet(TTable *table) {
  if (m_table == table)
    return;
  if (m_table)
    m_table->detachDataSource(this);
  m_table = table;
  if (m_table)
    m_table->attachDataSource(this);
  notify(DataEvent::StateChange);
}

void TDataSource::addLink(TDataLink *link) {
  if (std::find(m_links.begin(), m_links.end(), link) == m_links.end())
    m_links.push_back(link);
}

void TDataSource::removeLink(TDataLink *link) { std::erase(m_links, link); }

bool TDataSource::relink(TDataLink *link, TDataSource *&current, TDataSource *next) {
  if (current == next)
    return false;
  if (current)
    current->removeLink(link);
  current = next;
  if (current)
    current->addLink(link);
  return true;
}

void TDataSource::notify(DataEvent event, TField *field) {
  // By index, so that a link removed while the event is delivered is not
  // called afterwards.
  for (std::size_t i = 0; i < m_links.size(); ++i)
    m_links[i]->dataEvent(event, field);
}

void TDataSource::Edit() {
  if (m_table && m_table->State() == DataSetState::Browse)
    m_table->Edit();
}

} // namespace vandro::store
