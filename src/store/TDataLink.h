// What the table tells every control linked to it, through the data source.
#pragma once

namespace vandro::store {

class TField;

enum class DataEvent {
  StateChange,     // the table opened or closed, or its state changed
  FieldChange,     // a field's value was set (the field comes along)
  RecordChange,    // the current record's values changed as a whole
  DataSetChange,   // the buffered records changed: a move, post or cancel
  DataSetScroll,   // the cursor moved within the buffered records
  LayoutChange,    // the table's field list changed
  UpdateRecord,    // the table is about to post: write typed text back
  CheckBrowseMode, // the table is about to leave what it is doing
  FocusControl,    // a required field is empty: its control takes the focus
};

// A control's side of the link to a data source: one object per bound
// control or navigator bar, told of every event synchronously.
class TDataLink {
public:
  virtual ~TDataLink() = default;
  virtual void dataEvent(DataEvent event, TField *field) = 0;
  // The data source is going away: a link that keeps a pointer to it
  // forgets it here.
  virtual void dataSourceDestroyed() {}
};

} // namespace vandro::store
