// Fuzz target: the register -> value conversions of the poll cycle (plc/item_value) and
// the live readings' text (plc/fixed_point_text). Properties:
//   - fixedPointText read back (regionalNumber) is raw / 10^scale to within half a unit
//     of the last digit it keeps, with exactly `decimals` decimals in the fixed form and
//     no "-0";
//   - registerFromText gives back the number a whole-number item held, whether the
//     item came as a number, as decimal text with blanks in front or as "$"/"0x" hex;
//     on any text it returns what std::from_chars reads or raises an Error naming the item;
//   - registerStraight rounds half to even into the 32-bit range, or raises.
#include <QString>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "platform/error.h"
#include "plc/fixed_point_text.h"
#include "plc/item_value.h"
#include "tests/fuzz/fuzz_input.h"

namespace velta {
namespace {

using fuzz::broken;

int digitCount(std::uint64_t v) {
  int n = 1;
  while (v >= 10) v /= 10, ++n;
  return n;
}

void checkFixedPoint(std::int64_t raw, int scale, int precision, int decimals, QChar sep) {
  const QString t = fixedPointText(raw, scale, precision, decimals, sep);
  const auto back = regionalNumber(t, sep);
  if (!back) broken("live reading text is no number", t);
  const std::uint64_t magnitude = raw < 0 ? 0 - static_cast<std::uint64_t>(raw) : static_cast<std::uint64_t>(raw);
  const int drop = std::max({magnitude == 0 ? 0 : digitCount(magnitude) - precision, scale - decimals, 0});
  // Half a unit of the last kept digit, in units of the value, plus the double's own error.
  const long double exact = static_cast<long double>(raw) / std::pow(10.0L, scale);
  const long double allowed = 0.5L * std::pow(10.0L, drop - scale) * (1 + 1e-12L) + std::fabs(exact) * 1e-15L;
  if (std::fabs(static_cast<long double>(*back) - exact) > allowed)
    broken("live reading text off by more than its rounding",
           QStringLiteral("%1 raw %2 scale %3").arg(t).arg(raw).arg(scale));
  if (t.startsWith(u'-') && *back == 0) broken("negative zero shown", t);
  if (!t.contains(u'E')) {
    const qsizetype at = t.indexOf(sep);
    const qsizetype shown = at < 0 ? 0 : t.size() - at - 1;
    if (shown != decimals) broken("wrong number of decimals", t);
  }
}

std::optional<qint32> referenceRegister(const QString& text) {
  // Leading blanks, a sign, then decimal or "$"/"0x" hex digits, read by from_chars.
  std::string s = text.toStdString();
  std::size_t i = s.find_first_not_of(' ');
  if (i == std::string::npos) return std::nullopt;
  bool negative = false;
  if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') base = 16, ++i;
  else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) base = 16, i += 2;
  if (i == s.size()) return std::nullopt;
  std::int64_t magnitude = 0;
  const auto r = std::from_chars(s.data() + i, s.data() + s.size(), magnitude, base);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || s[i] == '-' || s[i] == '+') return std::nullopt;
  const std::int64_t v = negative ? -magnitude : magnitude;
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<qint32>(v);
}

void checkRegisterText(const QString& text, QChar sep) {
  std::optional<qint32> got;
  try {
    got = registerFromText(QStringLiteral("R7"), Variant(text), sep);
  } catch (const Error& e) {
    if (!e.text().contains(QStringLiteral("R7"))) broken("register error does not name the item", e.text());
  }
  const auto expected = referenceRegister(text);
  if (got != expected) broken("registerFromText differs from from_chars", text);
}

void checkWholeNumber(qint32 n, std::uint8_t blanks, QChar sep) {
  const QString item = QStringLiteral("R8");
  if (registerFromText(item, Variant(static_cast<qint64>(n)), sep) != n) broken("number item");
  if (registerFromText(item, Variant(static_cast<double>(n)), sep) != n) broken("float item");
  const QString dec = QString(blanks % 4, u' ') + QString::number(n);
  if (registerFromText(item, Variant(dec), sep) != n) broken("decimal text item", dec);
  if (n >= 0) {
    const QString hex = (blanks & 4 ? QStringLiteral("$") : QStringLiteral("0x")) +
                        QString::number(n, 16).toUpper();
    if (registerFromText(item, Variant(hex), sep) != n) broken("hex text item", hex);
  }
  if (registerStraight(QStringLiteral("R10"), Variant(static_cast<qint64>(n)), sep) != n) broken("straight number");
}

void checkStraight(const Variant& v, double d, QChar sep) {
  try {
    const qint32 r = registerStraight(QStringLiteral("R11"), v, sep);
    const double diff = r - d;
    if (!(std::fabs(diff) <= 0.5)) broken("straight: not the nearest whole number", v.describe());
    if (std::fabs(diff) == 0.5 && r % 2 != 0) broken("straight: a half not rounded to even", v.describe());
  } catch (const Error& e) {
    if (std::isfinite(d) && std::nearbyint(d) >= -2147483648.0 && std::nearbyint(d) <= 2147483647.0)
      broken("straight refused a value in range", e.text());
    if (!e.text().contains(QStringLiteral("R11"))) broken("straight error does not name the item", e.text());
  }
}

}  // namespace
}  // namespace velta

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velta;
  fuzz::FuzzInput in(data, size);
  const std::uint8_t mode = in.byte();
  const QChar sep = mode & 1 ? QChar(u',') : QChar(u'.');
  switch (mode >> 1 & 3) {
    case 0: {
      const std::int64_t raw = in.inRange(INT64_MIN, INT64_MAX);
      const int scale = static_cast<int>(in.inRange(0, 9));
      const int precision = static_cast<int>(in.inRange(1, 19));
      const int decimals = static_cast<int>(in.inRange(0, 9));
      checkFixedPoint(raw, scale, precision, decimals, sep);
      break;
    }
    case 1: {
      const auto n = static_cast<qint32>(in.inRange(INT32_MIN, INT32_MAX));
      checkWholeNumber(n, in.byte(), sep);
      break;
    }
    case 2: {
      const double d = in.rawDouble();
      checkStraight(Variant(d), d, sep);
      const QString spelled = QString::number(d, 'g', 17).replace(u'.', sep);
      if (const auto back = regionalNumber(spelled, sep)) checkStraight(Variant(spelled), *back, sep);
      break;
    }
    default:
      checkRegisterText(in.restAsText(), sep);
  }
  return 0;
}
