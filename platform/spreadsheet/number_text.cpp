#include "platform/spreadsheet/number_text.h"

#include <charconv>
#include <cmath>
#include <string>

namespace velta {

std::optional<double> spreadsheetNumberFromText(const QString& text, QChar decimalSeparator) {
  // Checked by hand first, so that from_chars sees only the plain C form.
  std::string plain;
  plain.reserve(static_cast<size_t>(text.size()));
  qsizetype i = 0;
  const qsizetype n = text.size();
  auto digits = [&] {
    const qsizetype start = i;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') plain.push_back(static_cast<char>(text[i++].unicode()));
    return i - start;
  };
  if (i < n && (text[i] == u'+' || text[i] == u'-')) {
    if (text[i] == u'-') plain.push_back('-');
    ++i;
  }
  qsizetype mantissa = digits();
  if (i < n && text[i] == decimalSeparator) {
    plain.push_back('.');
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return std::nullopt;
  if (i < n && (text[i] == u'E' || text[i] == u'e')) {
    plain.push_back('e');
    ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) plain.push_back(static_cast<char>(text[i++].unicode()));
    if (digits() == 0) return std::nullopt;
  }
  if (i != n) return std::nullopt;

  double value = 0;
  const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value))
    return std::nullopt;  // out of range: kept as text rather than turned into infinity
  return value;
}

}  // namespace velta
