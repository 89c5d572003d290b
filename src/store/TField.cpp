#include "TField.h"

#include "FieldClasses.h"
#include "TTable.h"
#include "engine/FieldValues.h"
#include "shell/Exception.h"

#include <QLocale>
#include <algorithm>

namespace vandro::store {

using engine::FieldKind;

TField::TField(TTable &table, int fieldNo, const engine::FieldDescription &description, QString name)
    : m_table(table), m_fieldNo(fieldNo), m_description(description), m_name(std::move(name)) {}

TField::~TField() = default;

std::unique_ptr<TField> TField::create(TTable &table, int fieldNo,
                                       const engine::FieldDescription &d, QString name) {
  switch (d.kind) {
  case FieldKind::String: return std::make_unique<TStringField>(table, fieldNo, d, name);
  case FieldKind::Integer: return std::make_unique<TIntegerField>(table, fieldNo, d, name);
  case FieldKind::Smallint: return std::make_unique<TSmallintField>(table, fieldNo, d, name);
  case FieldKind::Word: return std::make_unique<TWordField>(table, fieldNo, d, name);
  case FieldKind::AutoInc: return std::make_unique<TAutoIncField>(table, fieldNo, d, name);
  case FieldKind::Float: return std::make_unique<TFloatField>(table, fieldNo, d, name);
  case FieldKind::Money: return std::make_unique<TCurrencyField>(table, fieldNo, d, name);
  case FieldKind::Decimal: return std::make_unique<TBCDField>(table, fieldNo, d, name);
  case FieldKind::Boolean: return std::make_unique<TBooleanField>(table, fieldNo, d, name);
  case FieldKind::Date: return std::make_unique<TDateField>(table, fieldNo, d, name);
  case FieldKind::Time: return std::make_unique<TTimeField>(table, fieldNo, d, name);
  case FieldKind::DateTime: return std::make_unique<TDateTimeField>(table, fieldNo, d, name);
  case FieldKind::Memo: return std::make_unique<TMemoField>(table, fieldNo, d, name);
  case FieldKind::Blob: return std::make_unique<TBlobField>(table, fieldNo, d, name);
  }
  return std::make_unique<TBlobField>(table, fieldNo, d, name);
}

const engine::Value &TField::stored() const { return m_table.fieldValue(m_fieldNo); }

bool TField::CanModify() const {
  if (m_table.State() == DataSetState::SetKey) {
    const auto &keys = m_table.index().keyFields;
    return std::find(keys.begin(), keys.end(), m_fieldNo) != keys.end();
  }
  return !ReadOnly() && m_table.CanModify();
}

bool TField::IsValidChar(QChar) const { return true; }

void TField::setAsString(const QString &text) { store(valueFromText(text)); }

void TField::Clear() { store(engine::Value()); }

QString TField::StoredAsString() const { return textOrAsStored(m_table.storedFieldValue(m_fieldNo)); }

bool TField::holdsItsKind() const { return engine::isOfKind(m_description, stored()); }

bool TField::StoredValueFits() const { return engine::fitsField(m_description, stored()); }

QString TField::textOrAsStored(const engine::Value &value) const {
  return engine::isOfKind(m_description, value) ? textOf(value) : QString::fromStdString(engine::rawText(value));
}

Variant TField::AsValue() const { return holdsItsKind() ? variantOf() : Variant::text(AsString()); }

void TField::setAsInteger(int value) { store(valueFromInteger(value)); }

engine::Value TField::valueFromInteger(int) const { accessError(QStringLiteral("Integer")); }

void TField::store(engine::Value value) { m_table.writeField(*this, std::move(value)); }

void TField::rangeError(double value, double low, double high) const {
  auto general = [](double v) { return QString::number(v, 'g', 15); };
  throw EDatabaseError(QStringLiteral("%1 is not a valid value for field '%2'. The allowed range is %3 to %4")
                           .arg(general(value), m_name, general(low), general(high)));
}

void TField::accessError(const QString &typeName) const {
  throw EDatabaseError(QStringLiteral("Cannot access field '%1' as type %2").arg(m_name, typeName));
}

} // namespace vandro::store
