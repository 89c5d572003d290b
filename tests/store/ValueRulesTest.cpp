// Equality, subtraction and conversion to integer of general values: every
// pair of kinds, the null and empty values, the rounding and the range of
// the integer conversion, and texts read in the default locale.
#include "shell/Exception.h"
#include "store/ValueRules.h"
#include "store/Variant.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace vandro::testing {
namespace {

using store::Variant;

// Short names for the values of the tables below.
Variant I(std::int32_t v) { return Variant::integer(v); }
Variant F(double v) { return Variant::floating(v); }
Variant M(std::int64_t units) { return Variant::money(units); }
Variant T(const char *utf8) { return Variant::text(QString::fromUtf8(utf8)); }
Variant B(bool v) { return Variant::boolean(v); }
Variant D(double days) { return Variant::dateTime(days); }
const Variant N = Variant::null();
const Variant E = Variant();

const std::string kConversion = "EVariantError: Invalid variant type conversion";
const std::string kOperation = "EVariantError: Invalid variant operation";
const std::string kFloatingPoint = "EInvalidOp: Invalid floating point operation";

// The kind and content of a value; numbers with all the digits a double has.
std::string describe(const Variant &v) {
  switch (v.kind()) {
  case Variant::Kind::Empty: return "Empty";
  case Variant::Kind::Null: return "Null";
  case Variant::Kind::Integer: return "Integer " + std::to_string(v.asInteger());
  case Variant::Kind::Float: return "Float " + QString::number(v.asFloat(), 'g', 17).toStdString();
  case Variant::Kind::Money: return "Money " + std::to_string(v.moneyUnits());
  case Variant::Kind::Text: return "Text " + v.asText().toStdString();
  case Variant::Kind::Boolean: return v.asBoolean() ? "Boolean true" : "Boolean false";
  case Variant::Kind::DateTime: return "DateTime " + QString::number(v.asDateTime(), 'g', 17).toStdString();
  }
  return "?";
}

// "Class: message" of the failure `action` raises, or what it returns.
template <typename Action> std::string outcomeOf(Action action) {
  try {
    return action();
  } catch (const Exception &error) {
    return std::string(error.className()) + ": " + error.message().toStdString();
  }
}

std::string equalOutcome(const Variant &left, const Variant &right) {
  return outcomeOf([&] { return std::string(store::ValuesEqual(left, right) ? "true" : "false"); });
}

std::string differenceOutcome(const Variant &left, const Variant &right) {
  return outcomeOf([&] { return describe(store::SubtractValues(left, right)); });
}

std::string integerOutcome(const Variant &value) {
  return outcomeOf([&] { return "Integer " + std::to_string(store::ValueToInteger(value)); });
}

// Makes `locale` the default for its lifetime, then puts the previous back.
class DefaultLocale {
public:
  explicit DefaultLocale(const QLocale &locale) : m_previous(QLocale()) { QLocale::setDefault(locale); }
  ~DefaultLocale() { QLocale::setDefault(m_previous); }
  DefaultLocale(const DefaultLocale &) = delete;
  DefaultLocale &operator=(const DefaultLocale &) = delete;

private:
  QLocale m_previous;
};

struct PairCase {
  const char *cell;
  Variant left;
  Variant right;
  std::string expected;
};

// Texts with a decimal point, whatever the machine's own locale is.
class ValueRules : public ::testing::Test {
protected:
  DefaultLocale m_locale{QLocale(QLocale::English, QLocale::UnitedStates)};
};

TEST_F(ValueRules, EqualityOfEveryPairOfKinds) {
  // Where the comparison mode matters a row is chosen so that another mode
  // would give the other answer (4 vs 4.00001 is equal only as money, 1 vs
  // true only as booleans, "2" vs true only as booleans, ...).
  const std::vector<PairCase> cases = {
      {"Integer=Integer", I(4), I(4), "true"},
      {"Integer=Integer", I(4), I(5), "false"},
      {"Integer=Float", I(4), F(4.0), "true"},
      {"Integer=Float as numbers", I(4), F(4.00001), "false"},
      {"Integer=Money", I(4), M(40000), "true"},
      {"Integer=Money", I(4), M(40001), "false"},
      {"Integer=Text", I(4), T("4.0"), "true"},
      {"Integer=Text as numbers", I(4), T("4.4"), "false"},
      {"Integer=Text no number", I(4), T("abc"), kConversion},
      {"Integer=Boolean", I(-1), B(true), "true"},
      {"Integer=Boolean as integers", I(1), B(true), "false"},
      {"Integer=Boolean", I(0), B(false), "true"},
      {"Integer=DateTime", I(4), D(4.0), "true"},
      {"Integer=DateTime as numbers", I(4), D(4.4), "false"},

      {"Float=Integer as numbers", F(4.00001), I(4), "false"},
      {"Float=Integer", F(-3.0), I(-3), "true"},
      {"Float=Float", F(1.5), F(1.5), "true"},
      {"Float=Float as numbers", F(4.00001), F(4.0), "false"},
      {"Float=Money as money", F(4.00001), M(40000), "true"},
      {"Float=Money", F(4.0001), M(40000), "false"},
      {"Float=Money half to even down", F(0.00025), M(2), "true"},
      {"Float=Money half to even up", F(0.00035), M(4), "true"},
      {"Float=Text", F(1.5), T("1.5"), "true"},
      {"Float=Text as numbers", F(4.0), T("4.00001"), "false"},
      {"Float=Boolean", F(-1.0), B(true), "true"},
      {"Float=Boolean as numbers, not integers", F(-1.4), B(true), "false"},
      {"Float=Boolean as numbers, not booleans", F(2.0), B(true), "false"},
      {"Float=Boolean", F(0.0), B(false), "true"},
      {"Float=DateTime", F(4.5), D(4.5), "true"},
      {"Float=DateTime as numbers", F(4.00001), D(4.0), "false"},

      {"Money=Integer", M(40000), I(4), "true"},
      {"Money=Integer", M(39999), I(4), "false"},
      {"Money=Float as money", M(40000), F(4.00001), "true"},
      {"Money=Float", M(40000), F(4.0001), "false"},
      {"Money=Money", M(15000), M(15000), "true"},
      {"Money=Money", M(15000), M(15001), "false"},
      {"Money=Text as money", M(40000), T("4.00001"), "true"},
      {"Money=Text", M(15000), T("1.5001"), "false"},
      {"Money=Text no number", M(40000), T("abc"), kConversion},
      {"Money=Boolean", M(-10000), B(true), "true"},
      {"Money=Boolean as money, not booleans", M(10000), B(true), "false"},
      {"Money=Boolean", M(0), B(false), "true"},
      {"Money=DateTime as numbers", M(40000), D(4.00001), "false"},
      {"Money=DateTime", M(45000), D(4.5), "true"},

      {"Text=Integer as numbers", T("4.4"), I(4), "false"},
      {"Text=Integer", T("-7"), I(-7), "true"},
      {"Text=Integer no number", T("abc"), I(4), kConversion},
      {"Text=Float as numbers", T("4.00001"), F(4.0), "false"},
      {"Text=Float", T("1.5"), F(1.5), "true"},
      {"Text=Money as money", T("4.00001"), M(40000), "true"},
      {"Text=Money no number", T("abc"), M(0), kConversion},
      {"Text=Text", T("contrast"), T("contrast"), "true"},
      {"Text=Text case counts", T("contrast"), T("Contrast"), "false"},
      {"Text=Text trailing blank counts", T("contrast"), T("contrast "), "false"},
      {"Text=Text leading blank counts", T("contrast"), T(" contrast"), "false"},
      {"Text=Text as texts, not numbers", T("4"), T("4.0"), "false"},
      {"Text=Text no numbers needed", T("abc"), T("abd"), "false"},
      {"Text=Text non-ASCII", T("Begr\xC3\xBCndung"), T("Begr\xC3\xBCndung"), "true"},
      {"Text=Text composed vs decomposed", T("Begr\xC3\xBCndung"), T("Begru\xCC\x88ndung"), "false"},
      {"Text=Boolean", T("True"), B(true), "true"},
      {"Text=Boolean any case", T("fALSE"), B(false), "true"},
      {"Text=Boolean", T("false"), B(true), "false"},
      {"Text=Boolean as booleans, not numbers", T("2"), B(true), "true"},
      {"Text=Boolean", T("0"), B(false), "true"},
      {"Text=Boolean no truth", T("abc"), B(true), kConversion},
      {"Text=DateTime", T("4.5"), D(4.5), "true"},
      {"Text=DateTime as numbers", T("4.00001"), D(4.0), "false"},

      {"Boolean=Integer", B(true), I(-1), "true"},
      {"Boolean=Integer as integers", B(true), I(1), "false"},
      {"Boolean=Float", B(true), F(-1.0), "true"},
      {"Boolean=Float as numbers, not integers", B(true), F(-1.4), "false"},
      {"Boolean=Float as numbers, not booleans", B(true), F(2.0), "false"},
      {"Boolean=Money", B(true), M(-10000), "true"},
      {"Boolean=Money as money, not booleans", B(false), M(1), "false"},
      {"Boolean=Text", B(true), T("TRUE"), "true"},
      {"Boolean=Text as booleans, not numbers", B(true), T("5"), "true"},
      {"Boolean=Text", B(false), T("False"), "true"},
      {"Boolean=Text", B(false), T("true"), "false"},
      {"Boolean=Text no truth", B(false), T("abc"), kConversion},
      {"Boolean=Boolean", B(true), B(true), "true"},
      {"Boolean=Boolean", B(true), B(false), "false"},
      {"Boolean=DateTime", B(true), D(-1.0), "true"},
      {"Boolean=DateTime as numbers", B(true), D(2.0), "false"},

      {"DateTime=Integer as numbers", D(4.4), I(4), "false"},
      {"DateTime=Integer", D(4.0), I(4), "true"},
      {"DateTime=Float", D(4.5), F(4.5), "true"},
      {"DateTime=Float as numbers", D(4.0), F(4.00001), "false"},
      {"DateTime=Money as numbers", D(4.00001), M(40000), "false"},
      {"DateTime=Money", D(4.5), M(45000), "true"},
      {"DateTime=Text", D(45000.5), T("45000.5"), "true"},
      {"DateTime=Text as numbers", D(4.0), T("4.00001"), "false"},
      {"DateTime=Text no number", D(1.0), T("abc"), kConversion},
      {"DateTime=Boolean", D(-1.0), B(true), "true"},
      {"DateTime=Boolean as numbers", D(2.0), B(true), "false"},
      {"DateTime=DateTime", D(45000.25), D(45000.25), "true"},
      {"DateTime=DateTime", D(45000.25), D(45000.5), "false"},

      {"Null=Null", N, N, "true"},
      {"Null=Integer", N, I(0), "false"},
      {"Null=Float", N, F(0.0), "false"},
      {"Null=Money", N, M(0), "false"},
      {"Null=Text", N, T(""), "false"},
      {"Null=Text nothing converted", N, T("abc"), "false"},
      {"Null=Boolean", N, B(false), "false"},
      {"Null=DateTime", N, D(0.0), "false"},
      {"Integer=Null", I(0), N, "false"},
      {"Float=Null", F(0.0), N, "false"},
      {"Money=Null", M(0), N, "false"},
      {"Text=Null nothing converted", T("abc"), N, "false"},
      {"Boolean=Null", B(false), N, "false"},
      {"DateTime=Null", D(0.0), N, "false"},

      {"Empty=Empty", E, E, kOperation},
      {"Empty=Null", E, N, kOperation},
      {"Null=Empty", N, E, kOperation},
      {"Empty=Integer", E, I(0), kOperation},
      {"Float=Empty", F(0.0), E, kOperation},
      {"Empty=Money", E, M(0), kOperation},
      {"Text=Empty", T("abc"), E, kOperation},
      {"Empty=Boolean", E, B(false), kOperation},
      {"DateTime=Empty", D(0.0), E, kOperation},
  };
  for (const PairCase &c : cases) {
    SCOPED_TRACE(std::string(c.cell) + ": " + describe(c.left) + " = " + describe(c.right));
    EXPECT_EQ(equalOutcome(c.left, c.right), c.expected);
  }
}

TEST_F(ValueRules, DifferenceOfEveryPairOfKinds) {
  const std::vector<PairCase> cases = {
      {"Integer-Integer", I(12), I(7), "Integer 5"},
      {"Integer-Integer", I(-2147483647 - 1), I(-2147483647 - 1), "Integer 0"},
      {"Integer-Integer too large", I(2147483647), I(-1), "Float 2147483648"},
      {"Integer-Integer too small", I(-2147483647 - 1), I(1), "Float -2147483649"},
      {"Integer-Float", I(12), F(7.5), "Float 4.5"},
      {"Integer-Money", I(12), M(75000), "Money 45000"},
      {"Integer-Text", I(12), T("7.5"), "Float 4.5"},
      {"Integer-Text float even when whole", I(12), T("7"), "Float 5"},
      {"Integer-Text no number", I(1), T("abc"), kConversion},
      {"Integer-Boolean", I(12), B(true), "Integer 13"},
      {"Integer-Boolean too large", I(2147483647), B(true), "Float 2147483648"},
      {"Integer-DateTime", I(12), D(7.5), "Float 4.5"},

      {"Float-Integer", F(12.5), I(7), "Float 5.5"},
      {"Float-Float", F(12.5), F(0.25), "Float 12.25"},
      {"Float-Money", F(12.0), M(75000), "Money 45000"},
      {"Float-Money half to even", F(0.00025), M(0), "Money 2"},
      {"Float-Text", F(12.5), T("0.25"), "Float 12.25"},
      {"Float-Boolean", F(1.5), B(true), "Float 2.5"},
      {"Float-DateTime", F(12.5), D(2.25), "Float 10.25"},

      {"Money-Integer", M(120000), I(7), "Money 50000"},
      {"Money-Float half to even", M(50000), F(0.00035), "Money 49996"},
      {"Money-Money", M(15000), M(25000), "Money -10000"},
      {"Money-Money exact beyond doubles", M(9007199254740993), M(2), "Money 9007199254740991"},
      {"Money-Money beyond 64 bits", M(-9223372036854775807 - 1), M(1), kFloatingPoint},
      {"Money-Money beyond 64 bits upwards", M(9223372036854775807), M(-1), kFloatingPoint},
      {"Money-Text", M(120000), T("7.5"), "Money 45000"},
      {"Money-Text no number", M(1), T("abc"), kConversion},
      {"Money-Boolean", M(10000), B(true), "Money 20000"},
      {"Money-DateTime", M(50000), D(2.5), "Float 2.5"},

      {"Text-Integer", T("12"), I(7), "Float 5"},
      {"Text-Integer no number", T("abc"), I(7), kConversion},
      {"Text-Float", T("12"), F(7.5), "Float 4.5"},
      {"Text-Money", T("12"), M(75000), "Money 45000"},
      {"Text-Money no number", T("abc"), M(0), kConversion},
      {"Text-Text", T("12"), T("7.5"), "Float 4.5"},
      {"Text-Text no number", T("12"), T("abc"), kConversion},
      {"Text-Boolean", T("12"), B(true), "Float 13"},
      {"Text-DateTime", T("12"), D(7.5), "Float 4.5"},

      {"Boolean-Integer", B(true), I(7), "Integer -8"},
      {"Boolean-Integer at the bottom", B(true), I(2147483647), "Integer -2147483648"},
      {"Boolean-Integer too large", B(false), I(-2147483647 - 1), "Float 2147483648"},
      {"Boolean-Float", B(true), F(0.5), "Float -1.5"},
      {"Boolean-Money", B(true), M(5000), "Money -15000"},
      {"Boolean-Text", B(false), T("2"), "Float -2"},
      {"Boolean-Text no number", B(true), T("abc"), kConversion},
      {"Boolean-Boolean", B(true), B(false), "Float -1"},
      {"Boolean-Boolean", B(true), B(true), "Float 0"},
      {"Boolean-DateTime", B(true), D(2.5), "Float -3.5"},

      {"DateTime-Integer", D(45000.5), I(1), "Float 44999.5"},
      {"DateTime-Float", D(45000.5), F(0.25), "Float 45000.25"},
      {"DateTime-Money", D(2.5), M(10000), "Float 1.5"},
      {"DateTime-Text", D(45000.5), T("0.5"), "Float 45000"},
      {"DateTime-Text no number", D(45000.5), T("abc"), kConversion},
      {"DateTime-Boolean", D(3.0), B(true), "Float 4"},
      {"DateTime-DateTime", D(45000.75), D(45000.25), "DateTime 0.5"},
      {"DateTime-DateTime backwards", D(45000.25), D(45001.0), "DateTime -0.75"},

      {"Null-Null", N, N, "Null"},
      {"Null-Integer", N, I(7), "Null"},
      {"Null-Float", N, F(7.5), "Null"},
      {"Null-Money", N, M(1), "Null"},
      {"Null-Text nothing converted", N, T("abc"), "Null"},
      {"Null-Boolean", N, B(true), "Null"},
      {"Null-DateTime", N, D(1.0), "Null"},
      {"Integer-Null", I(12), N, "Null"},
      {"Float-Null", F(12.5), N, "Null"},
      {"Money-Null", M(1), N, "Null"},
      {"Text-Null nothing converted", T("abc"), N, "Null"},
      {"Boolean-Null", B(true), N, "Null"},
      {"DateTime-Null", D(1.0), N, "Null"},

      {"Empty-Empty", E, E, kOperation},
      {"Empty-Null", E, N, kOperation},
      {"Null-Empty", N, E, kOperation},
      {"Integer-Empty", I(1), E, kOperation},
      {"Empty-Float", E, F(1.0), kOperation},
      {"Money-Empty", M(1), E, kOperation},
      {"Empty-Text", E, T("1"), kOperation},
      {"Boolean-Empty", B(true), E, kOperation},
      {"Empty-DateTime", E, D(1.0), kOperation},
  };
  for (const PairCase &c : cases) {
    SCOPED_TRACE(std::string(c.cell) + ": " + describe(c.left) + " - " + describe(c.right));
    EXPECT_EQ(differenceOutcome(c.left, c.right), c.expected);
  }
}

TEST_F(ValueRules, ConversionToInteger) {
  const double twoTo63 = 9223372036854775808.0;
  struct Case {
    Variant value;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {I(-2147483647 - 1), "Integer -2147483648"},
      {I(123456), "Integer 123456"},
      {F(4.5), "Integer 4"},
      {F(5.5), "Integer 6"},
      {F(-2.5), "Integer -2"},
      {F(-0.5), "Integer 0"},
      {F(-1.5), "Integer -2"},
      {F(4.49), "Integer 4"},
      {F(4.51), "Integer 5"},
      {F(2147483647.0), "Integer 2147483647"},
      {F(2147483648.0), "Integer -2147483648"},
      {F(4294967297.0), "Integer 1"},
      {F(-2147483649.0), "Integer 2147483647"},
      {F(9223372036854774784.0), "Integer -1024"}, // the largest double below 2^63
      {F(twoTo63), kFloatingPoint},
      {F(-twoTo63), kFloatingPoint},
      {F(std::numeric_limits<double>::infinity()), kFloatingPoint},
      {F(std::numeric_limits<double>::quiet_NaN()), kFloatingPoint},
      {M(45000), "Integer 4"},
      {M(55000), "Integer 6"},
      {M(-25000), "Integer -2"},
      {M(-5000), "Integer 0"},
      {M(-15000), "Integer -2"},
      {M(45001), "Integer 5"},
      {M(44999), "Integer 4"},
      {M(-45001), "Integer -5"},
      {M(21474836480000), "Integer -2147483648"}, // low 32 bits, as for floats
      {T("12"), "Integer 12"},
      {T("-12"), "Integer -12"},
      {T("abc"), kConversion},
      {T(""), kConversion},
      {B(true), "Integer -1"},
      {B(false), "Integer 0"},
      {N, kConversion},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(describe(c.value));
    EXPECT_EQ(integerOutcome(c.value), c.expected);
  }
}

// The position to insert at: L2 − H1 − 1 as an integer.
TEST_F(ValueRules, InsertPositionFromBounds) {
  struct Case {
    Variant l2;
    Variant h1;
    std::string difference;
    std::string position;
  };
  const std::vector<Case> cases = {
      {I(12), I(7), "Integer 4", "Integer 4"},
      {F(12.0), I(7), "Float 4", "Integer 4"},
      {F(7.5), I(2), "Float 4.5", "Integer 4"},
      {F(8.5), I(2), "Float 5.5", "Integer 6"},
      {I(8), I(7), "Integer 0", "Integer 0"},
      {I(3), I(7), "Integer -5", "Integer -5"},
      {N, I(7), "Null", kConversion},
      {I(12), N, "Null", kConversion},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(describe(c.l2) + " - " + describe(c.h1) + " - 1");
    const Variant difference = store::SubtractValues(store::SubtractValues(c.l2, c.h1), I(1));
    EXPECT_EQ(describe(difference), c.difference);
    EXPECT_EQ(integerOutcome(difference), c.position);
  }
}

// With a decimal comma and a full stop grouping the digits.
TEST_F(ValueRules, TextsInTheDefaultLocale) {
  const QLocale english = QLocale();
  {
    const DefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
    ASSERT_EQ(QLocale().groupSeparator(), QStringLiteral("."));
    const std::vector<PairCase> equal = {
        {"decimal comma", T("1,5"), F(1.5), "true"},
        {"decimal comma", F(1.5), T("1,5"), "true"},
        {"decimal comma as money", M(15000), T("1,5"), "true"},
        {"grouped digits", T("1.500"), I(1500), "true"},
        {"no number", I(1), T("abc"), kConversion},
    };
    for (const PairCase &c : equal) {
      SCOPED_TRACE(std::string(c.cell) + ": " + describe(c.left) + " = " + describe(c.right));
      EXPECT_EQ(equalOutcome(c.left, c.right), c.expected);
    }
    const std::vector<PairCase> difference = {
        {"decimal comma", T("2,5"), I(1), "Float 1.5"},
        {"grouped digits with a comma", T("1.234,5"), F(0.5), "Float 1234"},
        {"decimal comma as money", M(50000), T("0,0003"), "Money 49997"},
        {"no number", T("abc"), I(1), kConversion},
    };
    for (const PairCase &c : difference) {
      SCOPED_TRACE(std::string(c.cell) + ": " + describe(c.left) + " - " + describe(c.right));
      EXPECT_EQ(differenceOutcome(c.left, c.right), c.expected);
    }
    EXPECT_EQ(integerOutcome(T("12")), "Integer 12");
    EXPECT_EQ(integerOutcome(T("abc")), kConversion);
  }
  // The previous default is back: a full stop is the decimal point again.
  EXPECT_EQ(QLocale(), english);
  EXPECT_EQ(differenceOutcome(T("2.5"), I(1)), "Float 1.5");
}

} // namespace
} // namespace vandro::testing
