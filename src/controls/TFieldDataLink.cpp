#include "TFieldDataLink.h"

#include "KeyFilter.h"
#include "shell/Exception.h"
#include "shell/TApplication.h"
#include "store/EngineCheck.h"
#include "store/TDataSource.h"
#include "store/TField.h"
#include "store/TTable.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace vandro::controls {

using store::DataEvent;
using store::DataSetState;

TFieldDataLink::TFieldDataLink(BoundControl &control, QString fieldName, BoxAccess access)
    : m_control(control), m_fieldName(std::move(fieldName)), m_access(access) {}

TFieldDataLink::~TFieldDataLink() {
  if (m_source)
    m_source->removeLink(this);
}

void TFieldDataLink::setDataSource(store::TDataSource *source) {
  if (store::TDataSource::relink(this, m_source, source))
    updateState();
}

void TFieldDataLink::dataSourceDestroyed() {
  m_source = nullptr;
  m_field = nullptr;
  m_active = false;
  m_editing = false;
}

void TFieldDataLink::bindField() {
  m_field = nullptr;
  if (!m_active)
    return;
  m_field = m_source->DataSet()->FindField(m_fieldName);
  if (!m_field)
    throw EDatabaseError(m_control.controlName(),
                         QStringLiteral("Field '%1' not found").arg(m_fieldName));
}

void TFieldDataLink::updateState() {
  store::TTable *table = m_source ? m_source->DataSet() : nullptr;
  const bool active = table && table->Active();
  if (active != m_active) {
    m_active = active;
    bindField();
    m_control.reload();
  }
  updateEditing(Apply::OnChange);
}

void TFieldDataLink::updateEditing(Apply apply) {
  store::TTable *table = m_source ? m_source->DataSet() : nullptr;
  const DataSetState state = table ? table->State() : DataSetState::Inactive;
  const bool editing = (state == DataSetState::Edit || state == DataSetState::Insert ||
                        state == DataSetState::SetKey) &&
                       !readOnly() && m_field && m_field->CanModify();
  if (editing != m_editing || apply == Apply::Always) {
    m_editing = editing;
    m_modified = false;
    m_control.setWritable(editing);
  }
}

void TFieldDataLink::dataEvent(DataEvent event, store::TField *field) {
  switch (event) {
  case DataEvent::StateChange: {
    updateState();
    // Entering and leaving the key state changes the record the field
    // reads (the key buffer, then the record shown again), whatever the
    // key look-up found.
    const store::TTable *table = m_source ? m_source->DataSet() : nullptr;
    const bool showingKey = table && table->State() == DataSetState::SetKey;
    if (showingKey != m_showingKey) {
      m_showingKey = showingKey;
      if (!showingKey)
        m_control.reload();
    }
    break;
  }
  case DataEvent::FieldChange:
    if (field == m_field && m_field && !m_writingBack) {
      m_control.reload();
      m_modified = false;
    }
    break;
  case DataEvent::RecordChange:
    // The edit began and read the record again: another annotator's text
    // may replace the shown one under the user's caret.
    if (!m_writingBack) {
      m_control.reload(BoundControl::Reload::EditedRecord);
      m_modified = false;
    }
    break;
  case DataEvent::DataSetChange:
  case DataEvent::DataSetScroll:
    m_control.reload();
    m_modified = false;
    break;
  case DataEvent::LayoutChange: {
    store::TField *before = m_field;
    bindField();
    if (m_field != before) {
      updateEditing(Apply::Always);
      m_control.reload();
    }
    break;
  }
  case DataEvent::UpdateRecord: writeBack(); break;
  case DataEvent::FocusControl:
    if (field && field == m_field)
      m_control.focusControl();
    break;
  case DataEvent::CheckBrowseMode: break;
  }
}

bool TFieldDataLink::canEdit() const { return !readOnly() && m_field && m_field->CanModify() && m_source; }

void TFieldDataLink::requestEdit() {
  if (!canEdit())
    return;
  store::TTable *table = m_source->DataSet();
  const bool browsing = table && table->State() == store::DataSetState::Browse;
  m_source->Edit();
  // The edit starts from the record as stored now. When another client
  // changed it since it was shown, the key meant for the text shown is not
  // applied to another: the boxes show the stored record, the user is told.
  if (browsing && table->State() == store::DataSetState::Edit && !table->ChangedAtEdit().isEmpty()) {
    const QStringList changed = table->ChangedAtEdit();
    table->Cancel();
    throw store::changedSinceShown(
        changed, QStringLiteral("The boxes show the record as stored now; the key you pressed was not applied."));
  }
}

bool TFieldDataLink::cancelStaleEdit() {
  store::TTable *table = m_source ? m_source->DataSet() : nullptr;
  if (!table || !table->EditIsStale())
    return false;
  table->Cancel();
  return true;
}

TFieldDataLink::KeyOutcome TFieldDataLink::filterKey(const QKeyEvent &event) {
  switch (meaningOf(event)) {
  case KeyMeaning::Character:
    if (m_field && !m_field->IsValidChar(event.text()[0])) {
      QApplication::beep();
      return KeyOutcome::Drop;
    }
    requestEdit();
    return KeyOutcome::Pass;
  case KeyMeaning::Changing: requestEdit(); return KeyOutcome::Pass;
  case KeyMeaning::Escape: return KeyOutcome::Escape;
  case KeyMeaning::Other: return KeyOutcome::Pass;
  }
  return KeyOutcome::Pass;
}

void TFieldDataLink::writeBack() {
  if (!m_modified || !m_field)
    return;
  m_writingBack = true;
  try {
    m_field->setAsString(m_control.controlText());
  } catch (...) {
    m_writingBack = false;
    throw;
  }
  m_writingBack = false;
  m_modified = false;
}

} // namespace vandro::controls

namespace vandro::controls {

bool TFieldDataLink::writeBackOnLeave(QWidget &control, const std::function<void()> &selectAll) {
  try {
    writeBack();
    return true;
  } catch (...) {
    // After the focus change has finished: the focus comes back with the
    // text selected, so that the user can correct it or press Escape.
    const std::exception_ptr failure = std::current_exception();
    QPointer<QWidget> self(&control);
    QTimer::singleShot(0, &control, [self, failure, selectAll] {
      if (!self)
        return;
      self->setFocus(Qt::OtherFocusReason);
      selectAll();
      if (Application)
        Application->ReportError(failure);
    });
    return false;
  }
}

} // namespace vandro::controls
