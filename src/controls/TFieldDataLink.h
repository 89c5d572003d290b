// A bound control's link to its field through the data source.
#pragma once

#include "store/TDataLink.h"

#include <QString>
#include <functional>

class QKeyEvent;
class QWidget;

namespace vandro::store {
class TDataSource;
class TField;
} // namespace vandro::store

namespace vandro::controls {

// What a bound control must do when its link asks.
class BoundControl {
public:
  virtual ~BoundControl() = default;
  // What a reload shows: another record (or the same one anew), whose text
  // shows from its start; or the record being edited, read again as the
  // edit began, in which the caret stays where the user put it.
  enum class Reload { Record, EditedRecord };
  // Shows the field's value afresh (or empty text without a field).
  virtual void reload(Reload kind = Reload::Record) = 0;
  // Makes the text box accept or refuse changes.
  virtual void setWritable(bool writable) = 0;
  // The text the user sees, written back into the field.
  virtual QString controlText() const = 0;
  // The control's name, for messages.
  virtual QString controlName() const = 0;
  // Takes the keyboard focus.
  virtual void focusControl() = 0;
};

// Whether a bound control may change its field (when the field can change
// at all), or only shows it.
enum class BoxAccess { Editable, ReadOnly };

// The link state of one bound control: the field, whether the table is
// open (active) and the field can be changed now (editing), whether the
// user changed the text since it was last loaded (modified). It answers the
// table's notifications for its control.
class TFieldDataLink : public store::TDataLink {
public:
  TFieldDataLink(BoundControl &control, QString fieldName, BoxAccess access);
  ~TFieldDataLink() override;

  void setDataSource(store::TDataSource *source);
  store::TDataSource *dataSource() const { return m_source; }
  const QString &fieldName() const { return m_fieldName; }
  store::TField *field() const { return m_field; }
  bool readOnly() const { return m_access == BoxAccess::ReadOnly; }
  bool active() const { return m_active; }
  bool editing() const { return m_editing; }
  bool modified() const { return m_modified; }
  void setModified() { m_modified = true; }
  // Forgets the user's changes, as a reload does.
  void clearModified() { m_modified = false; }

  // Whether requestEdit can bring the field into editing: a control that
  // may change it, over an open table, with a field that can change.
  bool canEdit() const;
  // The control asks to edit: with a field that can be changed and the
  // table browsing, the table enters edit mode. Raises what Edit raises.
  void requestEdit();
  // Escape in the control: when the table's edit can no longer be posted
  // (the record changed meanwhile), the edit is cancelled and the stored
  // record shows; true then. Otherwise false, and the control brings its
  // field's text back itself. Raises what Cancel raises.
  bool cancelStaleEdit();
  // What a key pressed in the control does before it takes effect: a
  // character the field does not accept beeps and is dropped (Drop); a
  // character, Backspace, Delete, cut, paste or undo first asks to edit
  // (Pass, the key then takes effect); Escape is the control's to handle.
  // Raises what the edit request raises.
  enum class KeyOutcome { Pass, Drop, Escape };
  KeyOutcome filterKey(const QKeyEvent &event);
  // Writes the control's text into the field when the user changed it.
  // Raises the field's conversion failure.
  void writeBack();
  // Writes back as the focus leaves `control`. On a failure the control
  // takes the focus back with all its text selected (`selectAll`) and the
  // failure is shown; false then.
  bool writeBackOnLeave(QWidget &control, const std::function<void()> &selectAll);

  void dataEvent(store::DataEvent event, store::TField *field) override;
  void dataSourceDestroyed() override;

private:
  void updateState();
  // Recomputes editing; when it changed (or always, for a control bound to
  // another field) clears modified and makes the control writable or not.
  enum class Apply { OnChange, Always };
  void updateEditing(Apply apply);
  void bindField();

  BoundControl &m_control;
  QString m_fieldName;
  BoxAccess m_access;
  store::TDataSource *m_source = nullptr;
  store::TField *m_field = nullptr;
  bool m_active = false;
  bool m_editing = false;
  bool m_modified = false;
  bool m_writingBack = false;
  bool m_showingKey = false; // the table was in its key state at the last state change
};

} // namespace vandro::controls
