#include "plc/fixed_point_text.h"

#include <algorithm>

namespace velta {

namespace {

quint64 pow10(int n) {
  quint64 p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

int digitCount(quint64 v) {
  int n = 1;
  while (v >= 10) v /= 10, ++n;
  return n;
}

}  // namespace

QString fixedPointText(qint64 raw, int scale, int precision, int decimals, QChar sep) {
  const bool negative = raw < 0;
  // Work on the magnitude in units of 10^-scale.
  quint64 m = negative ? 0 - static_cast<quint64>(raw) : static_cast<quint64>(raw);
  const int drop = std::max({m == 0 ? 0 : digitCount(m) - precision, scale - decimals, 0});
  if (drop > 0) {
    const quint64 unit = pow10(drop);
    const quint64 rest = m % unit;
    m = m / unit + (rest * 2 >= unit ? 1 : 0);  // half away from zero
    m *= unit;
  }
  const quint64 unit = pow10(scale);
  const quint64 integer = m / unit;
  QString out;
  if (negative && m != 0) out += u'-';

  if (digitCount(integer) <= precision) {
    out += QString::number(integer);
    if (decimals > 0) {
      QString fraction = QString::number(m % unit).rightJustified(scale, u'0');
      fraction = fraction.left(decimals).leftJustified(decimals, u'0');
      out += sep;
      out += fraction;
    }
    return out;
  }

  QString digits = QString::number(m);
  const int exponent = static_cast<int>(digits.size()) - 1 - scale;
  while (digits.size() > 1 && digits.endsWith(u'0')) digits.chop(1);
  out += digits[0];
  if (digits.size() > 1) {
    out += sep;
    out += digits.mid(1);
  }
  out += u'E';
  if (exponent < 0) out += u'-';
  out += QString::number(std::abs(exponent)).rightJustified(decimals, u'0');
  return out;
}

}  // namespace velta
