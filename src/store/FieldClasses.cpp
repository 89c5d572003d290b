#include "FieldClasses.h"

#include "TextConversions.h"

#include <QLocale>
#include <limits>
#include "shell/Exception.h"
#include "shell/IntegerText.h"

namespace vandro::store {

using engine::FieldKind;
using engine::Value;

namespace {

// The text a string, memo or blob holds.
QString storedText(const Value &value) {
  if (value.isText())
    return QString::fromStdString(value.asText());
  if (value.isBytes())
    return QString::fromUtf8(reinterpret_cast<const char *>(value.asBytes().data()),
                             static_cast<qsizetype>(value.asBytes().size()));
  return {};
}

double realOf(const Value &value) {
  return value.isReal() ? value.asReal() : static_cast<double>(value.asInteger());
}

// The first `count` characters (code points) of `text`.
QString leftCharacters(const QString &text, int count) {
  qsizetype units = 0;
  for (int n = 0; n < count && units < text.size(); ++n)
    units += text[units].isHighSurrogate() && units + 1 < text.size() ? 2 : 1;
  return text.left(units);
}

} // namespace

// TStringField ----------------------------------------------------------------

QString TStringField::textOf(const Value &value) const { return storedText(value); }

Variant TStringField::variantOf() const {
  return IsNull() ? Variant::null() : Variant::text(AsString());
}

Value TStringField::valueFromText(const QString &text) const {
  return Value::text(leftCharacters(text, Size()).toStdString());
}

Value TStringField::valueFromInteger(int value) const { return valueFromText(QString::number(value)); }

// The integer classes ---------------------------------------------------------

QString TIntegerField::textOf(const Value &value) const {
  return value.isNull() ? QString() : QString::number(value.asInteger());
}

Variant TIntegerField::variantOf() const {
  if (IsNull())
    return Variant::null();
  // A number another program stored beyond the field's 32 bits reads as its
  // digits, never as another number.
  const std::int64_t value = stored().asInteger();
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
    return Variant::text(QString::number(value));
  return Variant::integer(static_cast<std::int32_t>(value));
}

bool TIntegerField::IsValidChar(QChar c) const {
  return c == QLatin1Char('+') || c == QLatin1Char('-') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

Value TIntegerField::valueFromText(const QString &text) const {
  if (text.isEmpty())
    return Value();
  const auto number = parseInteger32(text);
  if (!number)
    throw EDatabaseError(
        QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(text, FieldName()));
  return valueFromInteger(*number);
}

Value TIntegerField::valueFromInteger(int value) const {
  if (value < minValue() || value > maxValue())
    rangeError(value, minValue(), maxValue());
  return Value::integer(value);
}

// TFloatField, TCurrencyField -------------------------------------------------

QString TFloatField::textOf(const Value &value) const {
  return value.isNull() ? QString() : generalText(realOf(value), userLocale());
}

Variant TFloatField::variantOf() const {
  return IsNull() ? Variant::null() : Variant::floating(realOf(stored()));
}

bool TFloatField::IsValidChar(QChar c) const {
  const QString decimal = userLocale().decimalPoint();
  return c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('E') ||
         c == QLatin1Char('e') || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
         (!decimal.isEmpty() && c == decimal[0]);
}

Value TFloatField::valueFromText(const QString &text) const {
  if (text.isEmpty())
    return Value();
  const auto number = parseFloat(text, userLocale());
  if (!number)
    throw EDatabaseError(
        QStringLiteral("'%1' is not a valid floating point value for field '%2'").arg(text, FieldName()));
  return Value::real(*number);
}

Value TFloatField::valueFromInteger(int value) const { return Value::real(value); }

QString TCurrencyField::DisplayText() const {
  // The locale's money format, digit grouping included.
  if (!holdsItsKind())
    return AsString();
  return IsNull() ? QString() : QLocale().toCurrencyString(realOf(stored()));
}

QString TCurrencyField::EditText() const {
  if (IsNull() || !holdsItsKind())
    return AsString();
  QLocale locale = userLocale();
  // The locale's number of money decimals, as its money format shows it.
  const QString sample = locale.toCurrencyString(1.0, QStringLiteral(" "));
  const auto separator = sample.indexOf(locale.decimalPoint());
  int decimals = 0;
  if (separator >= 0)
    for (qsizetype i = separator + locale.decimalPoint().size(); i < sample.size() && sample[i].isDigit(); ++i)
      ++decimals;
  return locale.toString(realOf(stored()), 'f', decimals);
}

// TBCDField -------------------------------------------------------------------

QString TBCDField::textOf(const Value &value) const {
  return value.isNull() ? QString() : moneyUnitsText(value.asInteger(), userLocale());
}

Variant TBCDField::variantOf() const {
  return IsNull() ? Variant::null() : Variant::money(stored().asInteger());
}

bool TBCDField::IsValidChar(QChar c) const {
  const QString decimal = userLocale().decimalPoint();
  return c == QLatin1Char('+') || c == QLatin1Char('-') ||
         (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (!decimal.isEmpty() && c == decimal[0]);
}

Value TBCDField::valueFromText(const QString &text) const {
  if (text.isEmpty())
    return Value();
  const auto number = parseFloat(text, userLocale());
  if (!number || std::abs(*number) >= 9.2e14)
    throw EDatabaseError(
        QStringLiteral("'%1' is not a valid floating point value for field '%2'").arg(text, FieldName()));
  return Value::integer(moneyUnitsFrom(*number));
}

Value TBCDField::valueFromInteger(int value) const {
  return Value::integer(static_cast<std::int64_t>(value) * 10000);
}

// TBooleanField ---------------------------------------------------------------

QString TBooleanField::textOf(const Value &value) const {
  if (value.isNull())
    return {};
  return value.asInteger() ? QStringLiteral("True") : QStringLiteral("False");
}

Variant TBooleanField::variantOf() const {
  return IsNull() ? Variant::null() : Variant::boolean(stored().asInteger() != 0);
}

Value TBooleanField::valueFromText(const QString &text) const {
  if (text.isEmpty())
    return Value();
  // A text that is the start of "False" (or else of "True"), in any case.
  if (QStringLiteral("False").startsWith(text, Qt::CaseInsensitive))
    return Value::integer(0);
  if (QStringLiteral("True").startsWith(text, Qt::CaseInsensitive))
    return Value::integer(1);
  throw EDatabaseError(
      QStringLiteral("'%1' is not a valid boolean value for field '%2'").arg(text, FieldName()));
}

// The date and time classes ---------------------------------------------------

QString TDateTimeField::textOf(const Value &value) const {
  if (value.isNull())
    return {};
  const QDateTime moment = dateTimeFromDays(realOf(value));
  const QLocale locale = userLocale();
  switch (kind()) {
  case FieldKind::Date: return locale.toString(moment.date(), QLocale::ShortFormat);
  case FieldKind::Time: return locale.toString(moment.time(), QLocale::ShortFormat);
  default: return locale.toString(moment, QLocale::ShortFormat);
  }
}

Variant TDateTimeField::variantOf() const {
  return IsNull() ? Variant::null() : Variant::dateTime(realOf(stored()));
}

Value TDateTimeField::valueFromText(const QString &text) const {
  if (text.isEmpty())
    return Value();
  const QLocale locale = userLocale();
  QDateTime moment;
  QString what;
  switch (kind()) {
  case FieldKind::Date: {
    QDate date = locale.toDate(text, QLocale::ShortFormat);
    if (!date.isValid())
      date = QDate::fromString(text, Qt::ISODate);
    moment = QDateTime(date, QTime(0, 0), Qt::UTC);
    what = QStringLiteral("date");
    break;
  }
  case FieldKind::Time: {
    QTime time = locale.toTime(text, QLocale::ShortFormat);
    if (!time.isValid())
      time = QTime::fromString(text, Qt::ISODate);
    moment = time.isValid() ? QDateTime(QDate(1899, 12, 30), time, Qt::UTC) : QDateTime();
    what = QStringLiteral("time");
    break;
  }
  default:
    moment = locale.toDateTime(text, QLocale::ShortFormat);
    if (!moment.isValid())
      moment = QDateTime::fromString(text, Qt::ISODate);
    what = QStringLiteral("date and time");
    break;
  }
  if (!moment.isValid())
    throw EDatabaseError(QStringLiteral("'%1' is not a valid %2").arg(text, what));
  return Value::real(daysFromDateTime(moment));
}

// TBlobField, TMemoField ------------------------------------------------------

QString TBlobField::textOf(const Value &value) const { return storedText(value); }

Variant TBlobField::variantOf() const { return Variant::text(AsString()); }

QString TBlobField::DisplayText() const {
  const Value &value = stored();
  const bool holdsSomething = (value.isText() && !value.asText().empty()) ||
                              (value.isBytes() && !value.asBytes().empty());
  const QString description = classDescription();
  return QStringLiteral("(%1)").arg(holdsSomething ? description.toUpper() : description);
}

Value TBlobField::valueFromText(const QString &text) const {
  const QByteArray bytes = text.toUtf8();
  return Value::bytes(engine::Bytes(bytes.begin(), bytes.end()));
}

Value TMemoField::valueFromText(const QString &text) const { return Value::text(text.toStdString()); }

} // namespace vandro::store
