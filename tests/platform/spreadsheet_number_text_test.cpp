#include <gtest/gtest.h>

#include "platform/spreadsheet/number_text.h"

namespace velta {
namespace {

struct Case {
  const char* text;
  char16_t separator;
  bool isNumber;
  double value;
};

TEST(SpreadsheetNumberText, NumbersInTheRegionalFormatOnly) {
  const Case cases[] = {
      {"2,5", u',', true, 2.5},       {"2.5", u',', false, 0},     {"2.5", u'.', true, 2.5},
      {"2,5", u'.', false, 0},        {"1E-5", u',', true, 1e-5},  {"1e-5", u'.', true, 1e-5},
      {"-3", u',', true, -3},         {"+4", u'.', true, 4},       {",5", u',', true, 0.5},
      {"7,", u',', true, 7},          {"0", u'.', true, 0},        {"1E+3", u'.', true, 1000},
      {"", u',', false, 0},           {" ", u',', false, 0},       {" 2", u',', false, 0},
      {"2 ", u',', false, 0},         {"1.000,5", u',', false, 0}, {"E5", u'.', false, 0},
      {"1E", u'.', false, 0},         {"-", u'.', false, 0},       {",", u',', false, 0},
      {"=1+1", u'.', false, 0},       {"T09032026K1405V", u',', false, 0},
      {"09.03.2026", u',', false, 0}, {"14:05", u',', false, 0},   {"1E999", u'.', false, 0},
      {"inf", u'.', false, 0},        {"nan", u'.', false, 0},     {"0x10", u'.', false, 0},
  };
  for (const Case& c : cases) {
    const auto n = spreadsheetNumberFromText(QString::fromUtf8(c.text), QChar(c.separator));
    EXPECT_EQ(n.has_value(), c.isNumber) << c.text << " with separator " << char(c.separator);
    if (n && c.isNumber) {
      EXPECT_DOUBLE_EQ(*n, c.value) << c.text;
    }
  }
}

}  // namespace
}  // namespace velta
