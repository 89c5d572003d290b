// A field of the open table: one per column, read and written by name.
#pragma once

#include "Variant.h"
#include "engine/Schema.h"
#include "engine/Value.h"

#include <QChar>
#include <QString>
#include <memory>

namespace vandro::store {

class TTable;

enum class Alignment { Left, Right, Center };

// The base of the field classes. A field reads the record that the table
// shows (the record being edited while editing, the key buffer inside
// FindByKey) and writes through the checks every write takes: its own
// conversion and range checks first, then the table's state, then its own
// read-only flag; the value is then stored and the controls told.
class TField {
public:
  TField(TTable &table, int fieldNo, const engine::FieldDescription &description, QString name);
  virtual ~TField();
  TField(const TField &) = delete;
  TField &operator=(const TField &) = delete;

  // Makes the field object of the class that the column's kind asks for.
  static std::unique_ptr<TField> create(TTable &table, int fieldNo,
                                        const engine::FieldDescription &description, QString name);

  virtual const char *ClassName() const = 0;
  const QString &FieldName() const { return m_name; }
  engine::FieldKind kind() const { return m_description.kind; }
  int Size() const { return m_description.size; }
  bool Required() const { return m_description.required; }
  bool ReadOnly() const { return m_description.readOnly; }
  int FieldNo() const { return m_fieldNo; } // counted from 0, in column order
  TTable &DataSet() const { return m_table; }
  virtual Alignment alignment() const { return Alignment::Left; }
  virtual bool isMemo() const { return false; }

  bool IsNull() const { return stored().isNull(); }
  // Whether a write can succeed: a column of the table, not read-only, the
  // table modifiable; inside FindByKey exactly the key fields.
  bool CanModify() const;

  // The text of the stored value; a value of another kind than the field's
  // (another program stored it) reads as it is stored.
  QString AsString() const { return textOrAsStored(stored()); }
  // The field's text in the record as it was stored when its edit began
  // (outside an edit, AsString).
  QString StoredAsString() const;
  // Converts and stores the text (the class's rules).
  void setAsString(const QString &text);
  // Makes the field null, through the checks of every write.
  void Clear();
  // The text the field would read after setAsString(text), without storing
  // anything: a string cut to the field's size, say. Raises the class's
  // conversion failure.
  QString TextAsStored(const QString &text) const { return textOf(valueFromText(text)); }
  // The stored value as a general value; one of another kind than the
  // field's is its text.
  Variant AsValue() const;
  void setAsInteger(int value);
  virtual QString DisplayText() const { return AsString(); }
  virtual QString EditText() const { return AsString(); }
  // Whether typing `c` into a box bound to the field makes sense.
  virtual bool IsValidChar(QChar c) const;

protected:
  // What the field holds in the record the table shows.
  const engine::Value &stored() const;
  // The class's text for `value` (null: the empty text), of the kind the
  // field's values are.
  virtual QString textOf(const engine::Value &value) const = 0;
  // The class's general value of the stored value, of the field's kind.
  virtual Variant variantOf() const = 0;
  // Whether the stored value is of the field's kind.
  bool holdsItsKind() const;

public:
  // Whether the stored value is one the field may hold, of its kind and in
  // its range (another program may have stored any value).
  bool StoredValueFits() const;

protected:
  // textOf(value), or the value as stored when it is of another kind.
  QString textOrAsStored(const engine::Value &value) const;
  // The class's conversion of a text into the value to store; raises the
  // class's conversion failure.
  virtual engine::Value valueFromText(const QString &text) const = 0;
  // The class's conversion of an integer; the default refuses it.
  virtual engine::Value valueFromInteger(int value) const;
  // The state and read-only checks, the store and the notification.
  void store(engine::Value value);
  // Raises the range failure for `value` outside `low` to `high`.
  [[noreturn]] void rangeError(double value, double low, double high) const;
  [[noreturn]] void accessError(const QString &typeName) const;

private:
  TTable &m_table;
  int m_fieldNo;
  engine::FieldDescription m_description;
  QString m_name;
};

} // namespace vandro::store
