// The field objects of Table1 against real tables: their classes, how they
// read and convert, and the checks every write goes through.
#include "TableFixture.h"
#include "shell/Exception.h"
#include "store/FieldClasses.h"
#include "store/TSession.h"
#include "store/TTable.h"
#include "TestText.h"

#include <QLocale>
#include <climits>
#include <functional>
#include <memory>
#include <ostream>

namespace vandro::testing {
namespace {

using store::Alignment;
using store::TField;
using store::Variant;

// Every kind of column, a generated one and a short string.
std::string schema(const std::string &table) {
  return "CREATE TABLE " + table +
         " (Id INTEGER NOT NULL PRIMARY KEY, Name VARCHAR(20), Short VARCHAR(4), L1 INTEGER,"
         " S SMALLINT, W WORD, A AUTOINC, F REAL, C MONEY, D DECIMAL, B BOOLEAN, Da DATE, Ti TIME,"
         " Dt DATETIME, M TEXT, Bl BLOB, X INTEGER GENERATED ALWAYS AS (L1 + 1));";
}

const QString kLongMemo = QStringLiteral("line one\n") + QString(400, QLatin1Char('x'));

// The failure message of `action`, or "" when it succeeds.
QString failureOf(const std::function<void()> &action) {
  try {
    action();
  } catch (const EDatabaseError &error) {
    return error.message();
  }
  return {};
}

// The kind and content of a value; numbers in the shortest text that reads
// back as the same double.
QString describe(const Variant &v) {
  const int shortest = QLocale::FloatingPointShortest;
  switch (v.kind()) {
  case Variant::Kind::Empty: return QStringLiteral("Empty");
  case Variant::Kind::Null: return QStringLiteral("Null");
  case Variant::Kind::Integer: return QStringLiteral("Integer %1").arg(v.asInteger());
  case Variant::Kind::Float: return "Float " + QString::number(v.asFloat(), 'g', shortest);
  case Variant::Kind::Money: return QStringLiteral("Money %1").arg(v.moneyUnits());
  case Variant::Kind::Text: return QStringLiteral("Text ") + v.asText();
  case Variant::Kind::Boolean: return v.asBoolean() ? "Boolean true" : "Boolean false";
  case Variant::Kind::DateTime: return "DateTime " + QString::number(v.asDateTime(), 'g', shortest);
  }
  return {};
}

QString integerFailure(const char *text, const char *name) {
  return QStringLiteral("'%1' is not a valid integer value for field '%2'")
      .arg(QLatin1String(text), QLatin1String(name));
}

bool isBlobClass(const TField &field) {
  return QLatin1String(field.ClassName()) == QLatin1String("TMemoField") ||
         QLatin1String(field.ClassName()) == QLatin1String("TBlobField");
}

class FieldTest : public TableFixture {
protected:
  void SetUp() override {
    TableFixture::SetUp();
    m_savedLocale = QLocale();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }
  void TearDown() override {
    m_table.reset();
    m_session.reset();
    QLocale::setDefault(m_savedLocale);
    TableFixture::TearDown();
  }

  // Table T with record 1 filled in and record 2 holding only its Id.
  store::TTable &openFilled() {
    makeTableFromSql("T.DB",
                     schema("T") +
                         "INSERT INTO T (Id, Name, Short, L1, S, W, A, F, C, D, B, Da, Ti, Dt, M, Bl)"
                         " VALUES (1, 'Ann', 'ab', -5, -32768, 65535, 7, 0.1 + 0.2, 1234.5, 12.5, 1,"
                         " '2024-03-15', '13:30:00', '2024-03-15 06:00:00',"
                         " 'line one' || char(10) || replace(hex(zeroblob(200)), '0', 'x'), X'414243');"
                         "INSERT INTO T (Id) VALUES (2);");
    return open("T.DB");
  }

  store::TTable &open(const std::string &file) {
    m_table.reset(); // before the session it belongs to
    m_session.reset();
    m_session = std::make_unique<store::TSession>();
    m_table = std::make_unique<store::TTable>(QStringLiteral("Table1"), m_session.get());
    m_table->DatabaseName = QString::fromStdString(m_directory);
    m_table->TableName = QString::fromStdString(file);
    m_table->Open();
    return *m_table;
  }

  TField &field(const char *name) { return m_table->LookupField(QString::fromLatin1(name)); }

  QLocale m_savedLocale;
  std::unique_ptr<store::TSession> m_session;
  std::unique_ptr<store::TTable> m_table;
};

TEST_F(FieldTest, LookupFieldIgnoresCaseAndNamesAMissingField) {
  makeRelationTable(numberedRows(1));
  store::TTable &table = open("Vandro.DB");
  const struct {
    const char *asked;
    const char *found;
    int fieldNo;
  } cases[] = {
      {"relation", "Relation", 2}, {"SPAN1", "Span1", 7}, {"id", "Id", 0}, {"mArKeR2", "Marker2", 16}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.asked);
    TField &found = table.LookupField(QString::fromLatin1(c.asked));
    EXPECT_EQ(found.FieldName(), QString::fromLatin1(c.found));
    EXPECT_EQ(found.FieldNo(), c.fieldNo);
    EXPECT_EQ(&found, table.Fields()[static_cast<std::size_t>(c.fieldNo)].get());
  }
  EXPECT_EQ(failureOf([&] { table.LookupField(QStringLiteral("Nope")); }),
            QStringLiteral("Table1: Field 'Nope' not found"));
  EXPECT_EQ(table.FindField(QStringLiteral("Nope")), nullptr);

  // A locale changed since the table opened still finds a field by its own
  // name (Turkish folds "I" to a dotless "ı").
  QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
  EXPECT_EQ(table.LookupField(QStringLiteral("Id")).FieldNo(), 0);
  EXPECT_EQ(table.LookupField(QStringLiteral("Position1")).FieldNo(), 15);
  QLocale::setDefault(m_savedLocale);

  // Names that differ in case beyond ASCII are two columns to the engine;
  // the lookup gives the first.
  makeTableFromSql("U.DB", "CREATE TABLE U (\"\xC3\x89\" INTEGER, \"\xC3\xA9\" INTEGER);");
  store::TTable &twins = open("U.DB");
  ASSERT_EQ(twins.Fields().size(), 2u);
  EXPECT_EQ(twins.LookupField(QString(QChar(0xE9))).FieldNo(), 0);
  EXPECT_EQ(twins.LookupField(QString(QChar(0xC9))).FieldNo(), 0);
}

TEST_F(FieldTest, EachColumnGetsOneFieldOfTheClassForItsKind) {
  store::TTable &table = openFilled();
  const auto L = Alignment::Left, R = Alignment::Right;
  const struct {
    const char *name, *className;
    Alignment alignment;
    int size;
    bool required, readOnly;
  } columns[] = {
      {"Id", "TIntegerField", R, 0, true, false},   {"Name", "TStringField", L, 20, false, false},
      {"Short", "TStringField", L, 4, false, false}, {"L1", "TIntegerField", R, 0, false, false},
      {"S", "TSmallintField", R, 0, false, false},  {"W", "TWordField", R, 0, false, false},
      {"A", "TAutoIncField", R, 0, false, false},   {"F", "TFloatField", R, 0, false, false},
      {"C", "TCurrencyField", R, 0, false, false},  {"D", "TBCDField", R, 0, false, false},
      {"B", "TBooleanField", L, 0, false, false},   {"Da", "TDateField", L, 0, false, false},
      {"Ti", "TTimeField", L, 0, false, false},     {"Dt", "TDateTimeField", L, 0, false, false},
      {"M", "TMemoField", L, 0, false, false},      {"Bl", "TBlobField", L, 0, false, false},
      {"X", "TIntegerField", R, 0, false, true},
  };
  ASSERT_EQ(table.Fields().size(), std::size(columns));
  for (std::size_t i = 0; i < std::size(columns); ++i) {
    const auto &c = columns[i];
    SCOPED_TRACE(c.name);
    const TField &f = *table.Fields()[i];
    EXPECT_EQ(f.FieldName(), QString::fromLatin1(c.name));
    EXPECT_EQ(f.FieldNo(), static_cast<int>(i));
    EXPECT_STREQ(f.ClassName(), c.className);
    EXPECT_EQ(f.alignment(), c.alignment);
    EXPECT_EQ(f.Size(), c.size);
    EXPECT_EQ(f.Required(), c.required);
    EXPECT_EQ(f.ReadOnly(), c.readOnly);
    EXPECT_EQ(f.isMemo(), QLatin1String(c.className) == QLatin1String("TMemoField"));
  }
}

TEST_F(FieldTest, AStoredRecordReadsAsTextAndAsValue) {
  openFilled();
  const struct {
    const char *name;
    QString text;
    QString value;
  } cases[] = {
      {"Id", "1", "Integer 1"},
      {"Name", "Ann", "Text Ann"},
      {"L1", "-5", "Integer -5"},
      {"S", "-32768", "Integer -32768"},
      {"W", "65535", "Integer 65535"},
      {"A", "7", "Integer 7"},
      {"F", "0.3", "Float 0.30000000000000004"},
      {"C", "1234.5", "Float 1234.5"},
      {"D", "12.5", "Money 125000"},
      {"B", "True", "Boolean true"},
      {"Da", {}, "DateTime 45366"}, // 2024-03-15
      {"Ti", {}, "DateTime 0.5625"},
      {"Dt", {}, "DateTime 45366.25"},
      {"M", kLongMemo, "Text " + kLongMemo},
      {"Bl", "ABC", "Text ABC"},
      {"X", "-4", "Integer -4"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.text.isNull()) {
      EXPECT_EQ(field(c.name).AsString(), c.text);
    }
    EXPECT_EQ(describe(field(c.name).AsValue()), c.value);
  }
}

TEST_F(FieldTest, NullFieldsAndAnEmptyTableReadAsEmptyTextAndNull) {
  store::TTable &filled = openFilled();
  filled.Next();
  ASSERT_EQ(field("Id").AsString(), QStringLiteral("2"));
  auto expectAllNull = [](store::TTable &table, bool skipId) {
    for (const auto &f : table.Fields()) {
      if (skipId && f->FieldNo() == 0)
        continue;
      SCOPED_TRACE(f->FieldName().toStdString());
      EXPECT_TRUE(f->IsNull());
      EXPECT_EQ(f->AsString(), QString());
      // Memos and blobs read as empty text, never as null.
      EXPECT_EQ(describe(f->AsValue()), isBlobClass(*f) ? QStringLiteral("Text ") : QStringLiteral("Null"));
      if (!isBlobClass(*f)) {
        EXPECT_EQ(f->DisplayText(), QString());
        EXPECT_EQ(f->EditText(), QString());
      }
    }
  };
  expectAllNull(filled, true);

  makeTableFromSql("E.DB", schema("E"));
  store::TTable &empty = open("E.DB");
  ASSERT_TRUE(empty.IsEmpty());
  expectAllNull(empty, false);
}

TEST_F(FieldTest, StringsAreCutToTheSizeInCharacters) {
  store::TTable &table = openFilled();
  table.Edit();
  const QString e = QString(QChar(0xE9));              // é
  const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two UTF-16 units
  const struct {
    QString text, stored;
  } cases[] = {
      {QString(30, QLatin1Char('a')), QString(20, QLatin1Char('a'))},
      {"  two blanks  ", "  two blanks  "},
      {e.repeated(25), e.repeated(20)},
      {smile.repeated(25), smile.repeated(20)},
      {QString(19, QLatin1Char('a')) + smile + "b", QString(19, QLatin1Char('a')) + smile},
      {QString(18, QLatin1Char('a')) + e + smile + e, QString(18, QLatin1Char('a')) + e + smile},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    field("Name").setAsString(c.text);
    EXPECT_EQ(field("Name").AsString(), c.stored);
    EXPECT_EQ(describe(field("Name").AsValue()), "Text " + c.stored);
  }
  // The cut text is what the table keeps.
  field("Name").setAsString(smile.repeated(25));
  table.Post();
  EXPECT_EQ(field("Name").AsString(), smile.repeated(20));
}

TEST_F(FieldTest, IntegerTextsConvertOrFailWithTheIntegerMessage) {
  store::TTable &table = openFilled();
  table.Edit();
  const struct {
    const char *name, *text;
    QString stored; // "" is null
    QString failure;
  } cases[] = {
      {"L1", "", "", {}},
      {"L1", "  12", "12", {}},
      {"L1", "+7", "7", {}},
      {"L1", "-12", "-12", {}},
      {"L1", "$1F", "31", {}},
      {"L1", "x1f", "31", {}},
      {"L1", "0X1F", "31", {}},
      {"L1", "$FFFFFFFF", "-1", {}},
      {"L1", "2147483647", "2147483647", {}},
      {"L1", "-2147483648", "-2147483648", {}},
      {"L1", "12 ", "3", integerFailure("12 ", "L1")},
      {"L1", "1.5", "3", integerFailure("1.5", "L1")},
      {"L1", "-$1F", "3", integerFailure("-$1F", "L1")},
      {"L1", "2147483648", "3", integerFailure("2147483648", "L1")},
      {"L1", "   ", "3", integerFailure("   ", "L1")},
      {"L1", "abc", "3", integerFailure("abc", "L1")},
      {"S", "-32768", "-32768", {}},
      {"S", "40000", "3", "40000 is not a valid value for field 'S'. The allowed range is -32768 to 32767"},
      {"W", "65535", "65535", {}},
      {"W", "-1", "3", "-1 is not a valid value for field 'W'. The allowed range is 0 to 65535"},
      {"A", "42", "42", {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.name) + " <- '" + c.text + "'");
    field(c.name).setAsInteger(3);
    EXPECT_EQ(failureOf([&] { field(c.name).setAsString(QString::fromLatin1(c.text)); }), c.failure);
    EXPECT_EQ(field(c.name).AsString(), c.stored);
    EXPECT_EQ(field(c.name).IsNull(), c.stored.isEmpty());
    if (!c.stored.isEmpty()) {
      EXPECT_EQ(describe(field(c.name).AsValue()), "Integer " + c.stored);
    }
  }
}

TEST_F(FieldTest, FloatTextsFollowTheLocaleAndItsChanges) {
  store::TTable &table = openFilled();
  table.Edit();
  const QLocale english(QLocale::English, QLocale::UnitedStates), german(QLocale::German);
  auto invalid = [](const char *text) {
    return QStringLiteral("'%1' is not a valid floating point value for field 'F'").arg(QLatin1String(text));
  };
  const struct {
    const QLocale &locale;
    const char *text;
    QString shown;  // "" is null
    QString value;
    QString failure;
  } cases[] = {
      {english, "1.5", "1.5", "Float 1.5", {}},
      {english, "1e3", "1000", "Float 1000", {}},
      {english, "-2.5E-2", "-0.025", "Float -0.025", {}},
      {english, "  1.5  ", "1.5", "Float 1.5", {}},
      {english, "1234567.25", "1234567.25", "Float 1234567.25", {}},
      {english, "", "", "Null", {}},
      {english, "1,5", "9", "Float 9", invalid("1,5")},
      {english, "1.5.2", "9", "Float 9", invalid("1.5.2")},
      {english, "1e", "9", "Float 9", invalid("1e")},
      {german, "1,5", "1,5", "Float 1.5", {}},
      {german, "-2,5E-2", "-0,025", "Float -0.025", {}},
      {german, "1234567,25", "1234567,25", "Float 1234567.25", {}},
      {german, "1.5", "9", "Float 9", invalid("1.5")},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.locale.name().toStdString() + " '" + c.text + "'");
    QLocale::setDefault(c.locale);
    field("F").setAsInteger(9);
    EXPECT_EQ(failureOf([&] { field("F").setAsString(QString::fromLatin1(c.text)); }), c.failure);
    EXPECT_EQ(field("F").AsString(), c.shown);
    EXPECT_EQ(describe(field("F").AsValue()), c.value);
  }

  // The same field objects show a change of the locale at once.
  field("F").setAsString(QStringLiteral("0,125"));
  EXPECT_EQ(field("F").AsString(), QStringLiteral("0,125"));
  EXPECT_EQ(field("D").AsString(), QStringLiteral("12,5"));
  QLocale::setDefault(english);
  EXPECT_EQ(field("F").AsString(), QStringLiteral("0.125"));
  EXPECT_EQ(field("D").AsString(), QStringLiteral("12.5"));
  EXPECT_EQ(field("C").AsString(), QStringLiteral("1234.5"));
}

TEST_F(FieldTest, BooleanTextsAreStartsOfTrueOrFalse) {
  store::TTable &table = openFilled();
  table.Edit();
  const struct {
    const char *text;
    QString shown, value, failure;
  } cases[] = {
      {"f", "False", "Boolean false", {}},
      {"FALSE", "False", "Boolean false", {}},
      {"t", "True", "Boolean true", {}},
      {"tRu", "True", "Boolean true", {}},
      {"", "", "Null", {}},
      {"Falsey", "True", "Boolean true", "'Falsey' is not a valid boolean value for field 'B'"},
      {"yes", "True", "Boolean true", "'yes' is not a valid boolean value for field 'B'"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    field("B").setAsString(QStringLiteral("True"));
    EXPECT_EQ(failureOf([&] { field("B").setAsString(QString::fromLatin1(c.text)); }), c.failure);
    EXPECT_EQ(field("B").AsString(), c.shown);
    EXPECT_EQ(describe(field("B").AsValue()), c.value);
  }
}

TEST_F(FieldTest, IntegerAssignmentKeepsToEachClassRange) {
  store::TTable &table = openFilled();
  table.Edit();
  auto range = [](int n, const char *name, int low, int high) {
    return QStringLiteral("%1 is not a valid value for field '%2'. The allowed range is %3 to %4")
        .arg(n).arg(QLatin1String(name)).arg(low).arg(high);
  };
  auto noInteger = [](const char *name) {
    return QStringLiteral("Cannot access field '%1' as type Integer").arg(QLatin1String(name));
  };
  const struct {
    const char *name;
    int n;
    QString failure;
    QString value; // after the write; unchanged on a failure
  } cases[] = {
      {"S", 40000, range(40000, "S", -32768, 32767), "Integer -32768"},
      {"S", -32769, range(-32769, "S", -32768, 32767), "Integer -32768"},
      {"S", 32767, {}, "Integer 32767"},
      {"W", 65535, {}, "Integer 65535"},
      {"W", 0, {}, "Integer 0"},
      {"W", -1, range(-1, "W", 0, 65535), "Integer 0"},
      {"W", 65536, range(65536, "W", 0, 65535), "Integer 0"},
      {"L1", INT_MAX, {}, "Integer 2147483647"},
      {"L1", INT_MIN, {}, "Integer -2147483648"},
      {"A", -9, {}, "Integer -9"},
      {"F", 7, {}, "Float 7"},
      {"C", -7, {}, "Float -7"},
      {"D", INT_MAX, {}, "Money 21474836470000"},
      {"D", -3, {}, "Money -30000"},
      {"Name", -123456, {}, "Text -123456"},
      {"Short", -123456, {}, "Text -123"},
      {"M", 1, noInteger("M"), "Text " + kLongMemo},
      {"Bl", 1, noInteger("Bl"), "Text ABC"},
      {"B", 1, noInteger("B"), "Boolean true"},
      {"Da", 1, noInteger("Da"), "DateTime 45366"},
      {"Ti", 1, noInteger("Ti"), "DateTime 0.5625"},
      {"Dt", 1, noInteger("Dt"), "DateTime 45366.25"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.name) + " <- " + std::to_string(c.n));
    EXPECT_EQ(failureOf([&] { field(c.name).setAsInteger(c.n); }), c.failure);
    EXPECT_EQ(describe(field(c.name).AsValue()), c.value);
  }
  EXPECT_EQ(field("D").AsString(), QStringLiteral("-3"));
}

TEST_F(FieldTest, WritesCheckConversionThenStateThenReadOnly) {
  store::TTable &table = openFilled();
  const QString notEditing = QStringLiteral("Table1: Dataset not in edit or insert mode");
  const QString readOnly = QStringLiteral("Field 'X' cannot be modified");
  const QString abc = integerFailure("abc", "L1");
  const struct {
    bool editing;
    const char *name;
    std::function<void(TField &)> write;
    QString failure;
  } cases[] = {
      {false, "L1", [](TField &f) { f.setAsString(QStringLiteral("abc")); }, abc},
      {false, "S", [](TField &f) { f.setAsInteger(40000); },
       "40000 is not a valid value for field 'S'. The allowed range is -32768 to 32767"},
      {false, "L1", [](TField &f) { f.setAsString(QStringLiteral("9")); }, notEditing},
      {false, "Name", [](TField &f) { f.setAsInteger(9); }, notEditing},
      {false, "X", [](TField &f) { f.setAsString(QStringLiteral("9")); }, notEditing},
      {true, "X", [](TField &f) { f.setAsString(QStringLiteral("abc")); },
       integerFailure("abc", "X")},
      {true, "X", [](TField &f) { f.setAsString(QStringLiteral("9")); }, readOnly},
      {true, "X", [](TField &f) { f.setAsInteger(9); }, readOnly},
      {true, "L1", [](TField &f) { f.setAsString(QStringLiteral("abc")); }, abc},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.editing ? " editing" : " browsing"));
    if (c.editing)
      table.Edit();
    const QString before = field(c.name).AsString();
    EXPECT_EQ(failureOf([&] { c.write(field(c.name)); }), c.failure);
    EXPECT_EQ(field(c.name).AsString(), before);
    EXPECT_FALSE(table.Modified());
  }
  ASSERT_EQ(table.State(), store::DataSetState::Edit);
  field("L1").setAsString(QStringLiteral("9"));
  EXPECT_TRUE(table.Modified());
  EXPECT_EQ(failureOf([&] { field("L1").setAsString(QStringLiteral("x")); }), integerFailure("x", "L1"));
  EXPECT_EQ(field("L1").AsString(), QStringLiteral("9"));
  table.Post();
  EXPECT_EQ(field("L1").AsString(), QStringLiteral("9"));
  EXPECT_EQ(field("X").AsString(), QStringLiteral("10"));
}

TEST_F(FieldTest, DisplayAndEditTexts) {
  store::TTable &table = openFilled();
  const QLocale english(QLocale::English, QLocale::UnitedStates), german(QLocale::German);
  // Memos and blobs show their class, in capitals when they hold something.
  EXPECT_EQ(field("M").DisplayText(), QStringLiteral("(MEMO)"));
  EXPECT_EQ(field("M").EditText(), QStringLiteral("(MEMO)"));
  EXPECT_EQ(field("Bl").DisplayText(), QStringLiteral("(BLOB)"));
  EXPECT_EQ(field("Bl").EditText(), QStringLiteral("(BLOB)"));

  const struct {
    const QLocale &locale;
    QString display, edit;
  } money[] = {
      {english, "$1,234.50", "1234.50"},
      {german, QString::fromUtf8("1.234,50\u00A0\u20AC"), "1234,50"},
  };
  for (const auto &m : money) {
    SCOPED_TRACE(m.locale.name().toStdString());
    QLocale::setDefault(m.locale);
    EXPECT_EQ(field("C").DisplayText(), m.display);
    EXPECT_EQ(field("C").EditText(), m.edit);
  }
  QLocale::setDefault(english);

  table.Edit();
  field("M").setAsString(QString());
  field("Bl").setAsString(QString());
  EXPECT_EQ(field("M").DisplayText(), QStringLiteral("(Memo)"));
  EXPECT_EQ(describe(field("M").AsValue()), QStringLiteral("Text "));
  EXPECT_EQ(field("Bl").DisplayText(), QStringLiteral("(Blob)"));
  field("M").setAsString(kLongMemo + kLongMemo);
  EXPECT_EQ(field("M").AsString(), kLongMemo + kLongMemo);
  EXPECT_EQ(field("M").DisplayText(), QStringLiteral("(MEMO)"));
  table.Cancel();

  table.Next(); // the record of nulls
  ASSERT_EQ(field("Id").AsString(), QStringLiteral("2"));
  EXPECT_EQ(field("M").DisplayText(), QStringLiteral("(Memo)"));
  EXPECT_EQ(field("M").EditText(), QStringLiteral("(Memo)"));
  EXPECT_EQ(field("Bl").DisplayText(), QStringLiteral("(Blob)"));
  EXPECT_EQ(field("C").DisplayText(), QString());
  EXPECT_EQ(field("C").EditText(), QString());
}

} // namespace
} // namespace vandro::testing
