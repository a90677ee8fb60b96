#pragma once
// The number-text rule between the window's boxes and floating-point fields, in one
// place. Texts use the regional decimal separator and no thousands separators.
#include <QChar>
#include <QString>
#include <optional>

namespace velta {

// The number a text spells in the system's notation, the text taken exactly as it
// stands: optional sign, digits with at most one decimal separator (at least one digit),
// optional exponent "E"/"e" with optional sign. Any other text (empty, blanks around
// it, thousands separators, the other separator, "inf", a value out of the double
// range) gives nullopt. Never raises. The spreadsheet stand-in reads cell texts by it.
std::optional<double> NumberFromText(const QString& text, QChar decimalSeparator);

// Text to number for a field. An empty text (after trimming surrounding blanks) is no
// value; otherwise the trimmed text must be a number by NumberFromText, else this raises
// "'<text>' is not a valid floating point value for field '<fieldName>'".
std::optional<double> TextToNumber(const QString& text, QChar decimalSeparator,
                                   const QString& fieldName);

// Number to text: shortest general form with up to 15 significant digits. Fixed
// notation when the magnitude is at least 0.0001 and there are at most 15 digits before
// the separator, else scientific ("1E-5", "1.5E20", "-2.5E-7"). Zero gives "0". Every
// finite value's text reads back by NumberFromText: the few doubles that would round
// up past the largest double are written rounded down ("1.79769313486231E308").
QString NumberToText(double value, QChar decimalSeparator);

}  // namespace velta
