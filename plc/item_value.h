#pragma once
// How the poll cycle and the sequencer read the values that GetItem returns. Every
// function raises Error (naming the item) for a value it cannot take; inside a poll
// tick that ends the program.
#include <QChar>
#include <QString>
#include <optional>

#include "platform/variant.h"

namespace velta {

// The item test "X is v" (v is 0 or 1): numbers by value, text by the number it spells
// in the regional format (text that is no number fails), boolean true as -1 and false
// as 0, empty as 0, null as neither.
bool itemIs(const QString& item, const Variant& value, int v, QChar decimalSeparator);

// The number a text spells in the regional format: blanks around it, one optional sign,
// digits with at most one decimal separator, an optional exponent. No thousands
// separators. nullopt when it spells none.
std::optional<double> regionalNumber(const QString& text, QChar decimalSeparator);

// A value turned into text as the registers R5, R7, R8 and "UpdateTime" are: text as it
// stands, a number as its digits (floating point with the regional separator), a
// boolean as "True"/"False", empty as empty text; null fails.
QString itemText(const QString& item, const Variant& value, QChar decimalSeparator);

// R5, R7, R8: itemText, then a whole number: leading blanks, one optional sign, decimal
// digits or hexadecimal ones after "$" or "0x"; anything else, or a value outside the
// signed 32-bit range, fails.
qint32 registerFromText(const QString& item, const Variant& value, QChar decimalSeparator);

// R10, R11: straight to a signed 32-bit number: a number by value and text by the
// number it spells, both rounded half to even; text "True"/"False" as 1/0; boolean
// true -1, false 0; empty 0. Null, other text or a value out of range fails.
qint32 registerStraight(const QString& item, const Variant& value, QChar decimalSeparator);

// The press load in 0.001 kg: high 16 bits from R11, low 16 bits from R10.
inline quint32 joinLoad(qint32 r10, qint32 r11) {
  return (static_cast<quint32>(r11) & 0xFFFFu) << 16 | (static_cast<quint32>(r10) & 0xFFFFu);
}

}  // namespace velta
