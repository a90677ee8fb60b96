#include "records/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/error.h"

namespace velta {

namespace {

Error invalidNumber(const QString& text, const QString& fieldName) {
  return Error(QStringLiteral("'%1' is not a valid floating point value for field '%2'")
                   .arg(text, fieldName));
}

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

}  // namespace

std::optional<double> TextToNumber(const QString& text, QChar decimalSeparator,
                                   const QString& fieldName) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;

  // Validate by hand and build a plain ASCII form for from_chars, so that neither the
  // C locale nor Qt's locale rules (group separators, "inf", "nan") leak in.
  std::string plain;
  plain.reserve(static_cast<size_t>(t.size()));
  qsizetype i = 0;
  bool negative = false;
  if (t[i] == u'+' || t[i] == u'-') negative = t[i++] == u'-';
  int mantissaDigits = 0;
  while (i < t.size() && isDigit(t[i])) { plain += char(t[i++].unicode()); ++mantissaDigits; }
  if (i < t.size() && t[i] == decimalSeparator) {
    plain += '.';
    ++i;
    while (i < t.size() && isDigit(t[i])) { plain += char(t[i++].unicode()); ++mantissaDigits; }
  }
  if (mantissaDigits == 0) throw invalidNumber(text, fieldName);
  if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
    plain += 'e';
    ++i;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) plain += char(t[i++].unicode());
    int expDigits = 0;
    while (i < t.size() && isDigit(t[i])) { plain += char(t[i++].unicode()); ++expDigits; }
    if (expDigits == 0) throw invalidNumber(text, fieldName);
  }
  if (i != t.size()) throw invalidNumber(text, fieldName);

  double value = 0;
  const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value))
    throw invalidNumber(text, fieldName);
  return negative ? -value : value;
}

QString NumberToText(double value, QChar decimalSeparator) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  if (value == 0) return QStringLiteral("0");

  // 15 significant digits, correctly rounded: d.dddddddddddddde[+-]x
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  const int exponent = std::atoi(p + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  QString out;
  if (value < 0) out += u'-';
  const int n = static_cast<int>(digits.size());
  if (exponent >= -4 && exponent <= 14) {
    if (exponent >= 0) {
      const int intDigits = exponent + 1;
      for (int k = 0; k < intDigits; ++k) out += k < n ? QChar(digits[k]) : QChar(u'0');
      if (n > intDigits) {
        out += decimalSeparator;
        for (int k = intDigits; k < n; ++k) out += QChar(digits[k]);
      }
    } else {
      out += u'0';
      out += decimalSeparator;
      for (int k = 0; k < -exponent - 1; ++k) out += u'0';
      out += QString::fromLatin1(digits.data(), n);
    }
  } else {
    out += QChar(digits[0]);
    if (n > 1) {
      out += decimalSeparator;
      out += QString::fromLatin1(digits.data() + 1, n - 1);
    }
    out += u'E';
    if (exponent < 0) out += u'-';
    out += QString::number(std::abs(exponent));
  }
  return out;
}

}  // namespace velta
