#pragma once
// How the spreadsheet application reads a text given to a cell: a text that spells a
// number in the regional format (optional sign, digits with the regional decimal
// separator, optional exponent "E" or "e" with optional sign: "2,5", "-3", "1E-5")
// is a number; every other text (blanks, thousands separators, the other separator,
// formulas, dates) stays text.
#include <QChar>
#include <QString>
#include <optional>

namespace velta {

std::optional<double> spreadsheetNumberFromText(const QString& text, QChar decimalSeparator);

}  // namespace velta
