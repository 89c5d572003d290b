// The field classes that the table's column kinds produce.
#pragma once

#include "TField.h"

namespace vandro::store {

// Text of at most Size() characters; a longer text is cut.
class TStringField : public TField {
public:
  using TField::TField;
  const char *ClassName() const override { return "TStringField"; }
  QString textOf(const engine::Value &value) const override;
  Variant variantOf() const override;

protected:
  engine::Value valueFromText(const QString &text) const override;
  engine::Value valueFromInteger(int value) const override;
};

// The integer classes: 32-bit signed, with the range of the subclass.
class TIntegerField : public TField {
public:
  using TField::TField;
  const char *ClassName() const override { return "TIntegerField"; }
  Alignment alignment() const override { return Alignment::Right; }
  QString textOf(const engine::Value &value) const override;
  Variant variantOf() const override;
  bool IsValidChar(QChar c) const override;
  virtual double minValue() const { return -2147483648.0; }
  virtual double maxValue() const { return 2147483647.0; }

protected:
  engine::Value valueFromText(const QString &text) const override;
  engine::Value valueFromInteger(int value) const override;
};

class TSmallintField : public TIntegerField {
public:
  using TIntegerField::TIntegerField;
  const char *ClassName() const override { return "TSmallintField"; }
  double minValue() const override { return -32768; }
  double maxValue() const override { return 32767; }
};

class TWordField : public TIntegerField {
public:
  using TIntegerField::TIntegerField;
  const char *ClassName() const override { return "TWordField"; }
  double minValue() const override { return 0; }
  double maxValue() const override { return 65535; }
};

class TAutoIncField : public TIntegerField {
public:
  using TIntegerField::TIntegerField;
  const char *ClassName() const override { return "TAutoIncField"; }
};

class TFloatField : public TField {
public:
  using TField::TField;
  const char *ClassName() const override { return "TFloatField"; }
  Alignment alignment() const override { return Alignment::Right; }
  QString textOf(const engine::Value &value) const override;
  Variant variantOf() const override;
  bool IsValidChar(QChar c) const override;

protected:
  engine::Value valueFromText(const QString &text) const override;
  engine::Value valueFromInteger(int value) const override;
};

// A floating-point number shown as money.
class TCurrencyField : public TFloatField {
public:
  using TFloatField::TFloatField;
  const char *ClassName() const override { return "TCurrencyField"; }
  QString DisplayText() const override;
  QString EditText() const override;
};

// A fixed-point number with four decimals.
class TBCDField : public TField {
public:
  using TField::TField;
  const char *ClassName() const override { return "TBCDField"; }
  Alignment alignment() const override { return Alignment::Right; }
  QString textOf(const engine::Value &value) const override;
  Variant variantOf() const override;
  bool IsValidChar(QChar c) const override;

protected:
  engine::Value valueFromText(const QString &text) const override;
  engine::Value valueFromInteger(int value) const override;
};

class TBooleanField : public TField {
public:
  using TField::TField;
  const char *ClassName() const override { return "TBooleanField"; }
  QString textOf(const engine::Value &value) const override;
  Variant variantOf() const override;

protected:
  engine::Value valueFromText(const QString &text) const override;
};

// Date, time of day, or both, in the locale's short formats.
class TDateTimeField : public TField {
public:
  using TField::TField;
  const char *ClassName() const override { return "TDateTimeField"; }
  QString textOf(const engine::Value &value) const override;
  Variant variantOf() const override;

protected:
  engine::Value valueFromText(const QString &text) const override;
};

class TDateField : public TDateTimeField {
public:
  using TDateTimeField::TDateTimeField;
  const char *ClassName() const override { return "TDateField"; }
};

class TTimeField : public TDateTimeField {
public:
  using TDateTimeField::TDateTimeField;
  const char *ClassName() const override { return "TTimeField"; }
};

// Bytes of any length; its text is the content read as UTF-8.
class TBlobField : public TField {
public:
  using TField::TField;
  const char *ClassName() const override { return "TBlobField"; }
  QString textOf(const engine::Value &value) const override;
  Variant variantOf() const override;
  QString DisplayText() const override;
  QString EditText() const override { return DisplayText(); }

protected:
  engine::Value valueFromText(const QString &text) const override;
  virtual QString classDescription() const { return QStringLiteral("Blob"); }
};

// Text of any length.
class TMemoField : public TBlobField {
public:
  using TBlobField::TBlobField;
  const char *ClassName() const override { return "TMemoField"; }
  bool isMemo() const override { return true; }

protected:
  engine::Value valueFromText(const QString &text) const override;
  QString classDescription() const override { return QStringLiteral("Memo"); }
};

} // namespace vandro::store
