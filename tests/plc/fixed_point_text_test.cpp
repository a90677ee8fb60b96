#include <gtest/gtest.h>

#include "plc/fixed_point_text.h"

namespace velta {
namespace {

struct Reading {
  int scale, precision, decimals;
};
constexpr Reading kAirPressure{3, 5, 3}, kLoad{3, 7, 3}, kWidth{1, 5, 1}, kLength{2, 5, 2};

struct Example {
  Reading reading;
  qint64 raw;
  const char* text;  // with "." as separator
};

class FixedPointText : public ::testing::TestWithParam<Example> {};

TEST_P(FixedPointText, WritesTheReadingWithEitherSeparator) {
  const auto& e = GetParam();
  const QString dot = fixedPointText(e.raw, e.reading.scale, e.reading.precision, e.reading.decimals, u'.');
  EXPECT_EQ(dot, QString::fromLatin1(e.text)) << e.raw;
  QString comma = QString::fromLatin1(e.text);
  comma.replace(u'.', u',');
  EXPECT_EQ(fixedPointText(e.raw, e.reading.scale, e.reading.precision, e.reading.decimals, u','), comma)
      << e.raw;
}

INSTANTIATE_TEST_SUITE_P(
    Readings, FixedPointText,
    ::testing::Values(
        // The readings' examples.
        Example{kAirPressure, 6543, "6.543"}, Example{kAirPressure, 500, "0.500"},
        Example{kAirPressure, -1250, "-1.250"}, Example{kAirPressure, 123456, "123.460"},
        Example{kAirPressure, 123456789, "1.2346E005"}, Example{kLoad, 100000, "100.000"},
        Example{kLoad, 4294967295, "4294967.000"}, Example{kLoad, 65535, "65.535"},
        Example{kWidth, 1234, "123.4"}, Example{kWidth, 7, "0.7"},
        Example{kLength, 12345, "123.45"}, Example{kLength, 5, "0.05"},
        // Edges: zero, rounding half away from zero, a carry into the scientific form,
        // trailing zeros dropped there, the signed 32-bit ends.
        Example{kAirPressure, 0, "0.000"}, Example{kAirPressure, 123455, "123.460"},
        Example{kAirPressure, -123455, "-123.460"}, Example{kAirPressure, 123454, "123.450"},
        Example{kAirPressure, 99999499, "99999.000"},
        Example{kAirPressure, 99999500, "1E005"}, Example{kAirPressure, 99999999, "1E005"}, Example{kAirPressure, 100000000, "1E005"},
        Example{kAirPressure, -123456789, "-1.2346E005"},
        Example{kAirPressure, 2147483647, "2.1475E006"},
        Example{kWidth, -2147483648, "-2.1475E8"}, Example{kLength, 9999949, "99999.00"},
        Example{kLength, 9999999, "1E05"},
        Example{kLength, 10000000, "1E05"}, Example{kLoad, 12345678901, "1.234568E007"}));

}  // namespace
}  // namespace velta
