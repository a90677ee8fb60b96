#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/error.h"
#include "platform/number_text.h"

using namespace velta;

TEST(NumberText, TextToNumber) {
  struct Case {
    const char* text;
    char sep;
    std::optional<double> value;
  } cases[] = {
      {"2.5", '.', 2.5},      {"2,5", ',', 2.5},      {"", '.', std::nullopt}, {"   ", ',', std::nullopt},
      {"  -3.25 ", '.', -3.25}, {"+7", '.', 7.0},     {"1E-5", '.', 1e-5},     {"1,5e20", ',', 1.5e20},
      {"-2.5E-7", '.', -2.5e-7}, {"0", ',', 0.0},     {".5", '.', 0.5},        {"5.", '.', 5.0},
      {"123456789012345", '.', 123456789012345.0},    {"1e+3", '.', 1000.0},   {"007", '.', 7.0},
  };
  for (const auto& c : cases) {
    const auto v = TextToNumber(QString::fromLatin1(c.text), QChar(c.sep), QStringLiteral("HAVA"));
    ASSERT_EQ(v.has_value(), c.value.has_value()) << c.text;
    if (v) {
      EXPECT_DOUBLE_EQ(*v, *c.value) << c.text;
    }
  }
}

// The text exactly as it stands (the spreadsheet stand-in reads cell texts by it):
// blanks around a number, the other separator or thousands separators keep it a text.
TEST(NumberText, NumberFromTextTakesTheTextAsItStands) {
  struct Case {
    const char* text;
    char16_t separator;
    std::optional<double> value;
  } cases[] = {
      {"2,5", u',', 2.5},         {"2.5", u',', {}},         {"2.5", u'.', 2.5},
      {"2,5", u'.', {}},          {"1E-5", u',', 1e-5},      {"1e-5", u'.', 1e-5},
      {"-3", u',', -3.0},         {"+4", u'.', 4.0},         {",5", u',', 0.5},
      {"7,", u',', 7.0},          {"0", u'.', 0.0},          {"1E+3", u'.', 1000.0},
      {"", u',', {}},             {" ", u',', {}},           {" 2", u',', {}},
      {"2 ", u',', {}},           {"1.000,5", u',', {}},     {"E5", u'.', {}},
      {"1E", u'.', {}},           {"-", u'.', {}},           {",", u',', {}},
      {"=1+1", u'.', {}},         {"T09032026K1405V", u',', {}},
      {"09.03.2026", u',', {}},   {"14:05", u',', {}},       {"1E999", u'.', {}},
      {"-1E999", u'.', {}},       {"inf", u'.', {}},         {"nan", u'.', {}},
      {"0x10", u'.', {}},         {"--1", u'.', {}},
  };
  for (const auto& c : cases) {
    const auto v = NumberFromText(QString::fromUtf8(c.text), QChar(c.separator));
    ASSERT_EQ(v.has_value(), c.value.has_value()) << c.text << " with separator " << char(c.separator);
    if (v) {
      EXPECT_DOUBLE_EQ(*v, *c.value) << c.text;
    }
  }
  EXPECT_TRUE(std::signbit(*NumberFromText(QStringLiteral("-0"), u'.')));
}

TEST(NumberText, BadTextsRaiseTheFieldError) {
  struct Case {
    const char* text;
    char sep;
  } cases[] = {
      {"2.5", ','},   {"2,5", '.'},  {"1,000.5", '.'}, {"1.000,5", ','}, {"abc", '.'}, {"1.2.3", '.'},
      {"1e", '.'},    {"e5", '.'},   {"-", '.'},       {".", '.'},       {"inf", '.'}, {"nan", '.'},
      {"0x10", '.'},  {"1 2", '.'},  {"--1", '.'},     {"1e999", '.'},   {"12a", ','},
  };
  for (const auto& c : cases) {
    try {
      TextToNumber(QString::fromLatin1(c.text), QChar(c.sep), QStringLiteral("PRES1"));
      ADD_FAILURE() << "accepted " << c.text;
    } catch (const Error& e) {
      EXPECT_EQ(e.text(), QStringLiteral("'%1' is not a valid floating point value for field 'PRES1'")
                              .arg(QString::fromLatin1(c.text)));
    }
  }
}

TEST(NumberText, NumberToText) {
  struct Case {
    double value;
    char sep;
    const char* text;
  } cases[] = {
      {2.5, '.', "2.5"},
      {2.5, ',', "2,5"},
      {0.0, ',', "0"},
      {-0.0, '.', "0"},
      {-3.75, ',', "-3,75"},
      {100.0, '.', "100"},
      {0.0001, '.', "0.0001"},
      {0.00001, '.', "1E-5"},
      {0.000015, ',', "1,5E-5"},
      {-2.5e-7, '.', "-2.5E-7"},
      {1.5e20, '.', "1.5E20"},
      {1e14, '.', "100000000000000"},
      {999999999999999.0, '.', "999999999999999"},
      {1e15, '.', "1E15"},
      {1e16, '.', "1E16"},
      {123456789012345.6, '.', "123456789012346"},  // 15 significant digits
      {0.1 + 0.2, '.', "0.3"},
      {1.0 / 3.0, ',', "0,333333333333333"},
      {22.45, ',', "22,45"},
      {1234.5678, '.', "1234.5678"},
      {-1e-10, '.', "-1E-10"},
      {std::numeric_limits<double>::infinity(), '.', "INF"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NumberToText(c.value, QChar(c.sep)), QString::fromLatin1(c.text)) << c.text;
}

TEST(NumberText, RoundTripsThroughText) {
  for (double v : {2.5, -0.125, 1e-5, 12345.678, 1.5e20, 0.0001, 987654321.0})
    for (char sep : {'.', ','}) {
      const QString t = NumberToText(v, QChar(sep));
      EXPECT_DOUBLE_EQ(*TextToNumber(t, QChar(sep), QStringLiteral("EN")), v) << t.toStdString();
    }
}

// Every finite double the writer turns into text must read back as a number, or the
// record's value becomes a text cell in the workbook. The doubles near the ends of the
// range are where 15-digit rounding can leave it.
TEST(NumberText, EveryFiniteValueReadsBackAtTheEdgesOfTheRange) {
  const double top = std::numeric_limits<double>::max();
  const double values[] = {top,
                           -top,
                           std::nextafter(top, 0.0),
                           1.797693134862315e308,  // the first double that rounds up past the top
                           1.797693134862314e308,
                           1.7976931348623e308,
                           std::numeric_limits<double>::min(),
                           -std::numeric_limits<double>::denorm_min(),
                           1e308,
                           -9.99999999999999e307};
  for (double v : values)
    for (char sep : {'.', ','}) {
      const QString t = NumberToText(v, QChar(sep));
      const auto back = NumberFromText(t, QChar(sep));
      ASSERT_TRUE(back.has_value()) << t.toStdString();
      EXPECT_LE(std::fabs(*back - v), std::max(std::fabs(v) * 1e-14, 5e-324)) << t.toStdString();
      EXPECT_EQ(NumberToText(*back, QChar(sep)), t) << "the text is stable after one round";
    }
  // Rounded down at the top, and only there: the next lower 15-digit texts are as before.
  EXPECT_EQ(NumberToText(-top, QChar(u'.')), QStringLiteral("-1.79769313486231E308"));
  EXPECT_EQ(NumberToText(1.797693134862314e308, QChar(u',')), QStringLiteral("1,79769313486231E308"));
  EXPECT_EQ(NumberToText(1.7976931348623e308, QChar(u'.')), QStringLiteral("1.7976931348623E308"));
  EXPECT_EQ(NumberToText(1e308, QChar(u'.')), QStringLiteral("1E308"));
}
