#include "platform/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace velta {

namespace {

Error invalidNumber(const QString& text, const QString& fieldName) {
  return Error(QStringLiteral("'%1' is not a valid floating point value for field '%2'")
                   .arg(text, fieldName));
}

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

}  // namespace

std::optional<double> NumberFromText(const QString& t, QChar decimalSeparator) {
  // Validated by hand into a plain ASCII form for from_chars, so that neither the C
  // locale nor Qt's locale rules (group separators, "inf", "nan") leak in.
  std::string plain;
  plain.reserve(static_cast<size_t>(t.size()));
  qsizetype i = 0;
  const qsizetype n = t.size();
  if (i < n && (t[i] == u'+' || t[i] == u'-')) {
    if (t[i] == u'-') plain += '-';
    ++i;
  }
  int mantissaDigits = 0;
  while (i < n && isDigit(t[i])) { plain += char(t[i++].unicode()); ++mantissaDigits; }
  if (i < n && t[i] == decimalSeparator) {
    plain += '.';
    ++i;
    while (i < n && isDigit(t[i])) { plain += char(t[i++].unicode()); ++mantissaDigits; }
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < n && (t[i] == u'e' || t[i] == u'E')) {
    plain += 'e';
    ++i;
    if (i < n && (t[i] == u'+' || t[i] == u'-')) plain += char(t[i++].unicode());
    int expDigits = 0;
    while (i < n && isDigit(t[i])) { plain += char(t[i++].unicode()); ++expDigits; }
    if (expDigits == 0) return std::nullopt;
  }
  if (i != n) return std::nullopt;

  double value = 0;
  const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<double> TextToNumber(const QString& text, QChar decimalSeparator,
                                   const QString& fieldName) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  const auto value = NumberFromText(t, decimalSeparator);
  if (!value) throw invalidNumber(text, fieldName);
  return value;
}

QString NumberToText(double value, QChar decimalSeparator) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  if (value == 0) return QStringLiteral("0");

  // 15 significant digits, correctly rounded: d.dddddddddddddde[+-]xx. to_chars gives
  // printf's "%.14e" digits without the locale; no heap use but the result, since the
  // all-records export turns every float of a file into text.
  char buf[40];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
  char digits[16];
  int n = 0;
  const char* p = buf;
  for (; p < res.ptr && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits[n++] = *p;
  int exponent = 0;
  const bool negativeExponent = p + 1 < res.ptr && p[1] == '-';
  for (p += 2; p < res.ptr; ++p) exponent = exponent * 10 + (*p - '0');
  if (negativeExponent) exponent = -exponent;
  // Rounded up to 15 digits, the doubles above 1.797693134862315E308 would be written
  // 1.79769313486232E308, past the largest double: neither our reader nor a spreadsheet
  // takes that for a number. They are written rounded down, to the largest 15-digit
  // text in the range, so that every finite value reads back.
  static constexpr char kTop[] = "179769313486231";
  if (exponent == 308 && std::string_view(digits, 15) > std::string_view(kTop, 15))
    std::copy(kTop, kTop + 15, digits);
  while (n > 1 && digits[n - 1] == '0') --n;

  // At most: sign, 15 digits, separator, "E-", 3 exponent digits; or "-0,000" + 15.
  char16_t out[32];
  int len = 0;
  if (value < 0) out[len++] = u'-';
  if (exponent >= -4 && exponent <= 14) {
    if (exponent >= 0) {
      const int intDigits = exponent + 1;
      for (int k = 0; k < intDigits; ++k) out[len++] = k < n ? char16_t(digits[k]) : u'0';
      if (n > intDigits) {
        out[len++] = decimalSeparator.unicode();
        for (int k = intDigits; k < n; ++k) out[len++] = char16_t(digits[k]);
      }
    } else {
      out[len++] = u'0';
      out[len++] = decimalSeparator.unicode();
      for (int k = 0; k < -exponent - 1; ++k) out[len++] = u'0';
      for (int k = 0; k < n; ++k) out[len++] = char16_t(digits[k]);
    }
  } else {
    out[len++] = char16_t(digits[0]);
    if (n > 1) {
      out[len++] = decimalSeparator.unicode();
      for (int k = 1; k < n; ++k) out[len++] = char16_t(digits[k]);
    }
    out[len++] = u'E';
    if (exponent < 0) out[len++] = u'-';
    const int e = std::abs(exponent);
    if (e >= 100) out[len++] = char16_t(u'0' + e / 100);
    if (e >= 10) out[len++] = char16_t(u'0' + e / 10 % 10);
    out[len++] = char16_t(u'0' + e % 10);
  }
  return QString(reinterpret_cast<const QChar*>(out), len);
}

}  // namespace velta
