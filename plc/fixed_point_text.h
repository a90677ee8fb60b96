#pragma once
// The live readings' text: the exact quotient raw / 10^scale, kept to at most
// `precision` significant digits and `decimals` digits after the point (the last kept
// digit rounded half away from zero), written with the regional decimal separator and
// exactly `decimals` decimals, without thousands separators. When the integer part has
// more than `precision` digits, the scientific form: first digit, separator and the
// further significant digits (trailing zeros dropped), "E" and the power of ten with at
// least `decimals` digits ("1.2346E005").
#include <QChar>
#include <QString>
#include <QtGlobal>

namespace velta {

QString fixedPointText(qint64 raw, int scale, int precision, int decimals, QChar decimalSeparator);

}  // namespace velta
