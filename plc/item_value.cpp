#include "plc/item_value.h"

#include <charconv>
#include <cmath>
#include <string>

#include "platform/error.h"

namespace velta {

namespace {

[[noreturn]] void fail(const QString& item, const Variant& value, const char* what) {
  throw Error(QStringLiteral("PLC item %1: %2 %3").arg(item, value.describe(), QLatin1StringView(what)));
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

// Floating point as text: up to 15 significant digits, the regional separator, an
// exponent as "E" with its sign only when negative.
QString floatText(double d, QChar sep) {
  QString s = QString::number(d, 'g', 15);
  const qsizetype e = s.indexOf(u'e');
  if (e >= 0) {
    QString exp = s.mid(e + 1);
    const bool neg = exp.startsWith(u'-');
    if (exp.startsWith(u'+') || neg) exp.remove(0, 1);
    while (exp.size() > 1 && exp.startsWith(u'0')) exp.remove(0, 1);
    s = s.left(e) + u'E' + (neg ? QStringLiteral("-") : QString()) + exp;
  }
  s.replace(u'.', sep);
  return s;
}

}  // namespace

std::optional<double> regionalNumber(const QString& text, QChar sep) {
  qsizetype i = 0, n = text.size();
  while (i < n && isBlank(text[i])) ++i;
  while (n > i && isBlank(text[n - 1])) --n;
  std::string ascii;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) {
    if (text[i] == u'-') ascii += '-';
    ++i;
  }
  int mantissaDigits = 0;
  bool point = false;
  for (; i < n; ++i) {
    const QChar c = text[i];
    if (c >= u'0' && c <= u'9') {
      ascii += static_cast<char>(c.unicode());
      ++mantissaDigits;
    } else if (c == sep && !point) {
      ascii += '.';
      point = true;
    } else {
      break;
    }
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < n && (text[i] == u'e' || text[i] == u'E')) {
    ascii += 'e';
    ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ascii += static_cast<char>(text[i++].unicode());
    int expDigits = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i, ++expDigits)
      ascii += static_cast<char>(text[i].unicode());
    if (expDigits == 0) return std::nullopt;
  }
  if (i != n) return std::nullopt;
  double d = 0;
  const auto r = std::from_chars(ascii.data(), ascii.data() + ascii.size(), d);
  if (r.ec != std::errc() || r.ptr != ascii.data() + ascii.size() || !std::isfinite(d))
    return std::nullopt;
  return d;
}

bool itemIs(const QString& item, const Variant& value, int v, QChar sep) {
  switch (value.type()) {
    case Variant::Type::Empty: return v == 0;
    case Variant::Type::Null: return false;
    case Variant::Type::Bool: return (value.asBool() ? -1 : 0) == v;
    case Variant::Type::Int: return value.asInt() == v;
    case Variant::Type::Double: return value.asDouble() == v;
    case Variant::Type::Text: {
      const auto d = regionalNumber(value.asText(), sep);
      if (!d) fail(item, value, "is not a number");
      return *d == v;
    }
  }
  return false;
}

QString itemText(const QString& item, const Variant& value, QChar sep) {
  switch (value.type()) {
    case Variant::Type::Empty: return QString();
    case Variant::Type::Null: fail(item, value, "cannot be turned into text");
    case Variant::Type::Bool: return value.asBool() ? QStringLiteral("True") : QStringLiteral("False");
    case Variant::Type::Int: return QString::number(value.asInt());
    case Variant::Type::Double: return floatText(value.asDouble(), sep);
    case Variant::Type::Text: return value.asText();
  }
  return QString();
}

qint32 registerFromText(const QString& item, const Variant& value, QChar sep) {
  const QString t = itemText(item, value, sep);
  qsizetype i = 0;
  const qsizetype n = t.size();
  while (i < n && t[i] == u' ') ++i;
  bool negative = false;
  if (i < n && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
  int base = 10;
  if (i < n && t[i] == u'$') {
    base = 16;
    ++i;
  } else if (i + 1 < n && t[i] == u'0' && (t[i + 1] == u'x' || t[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  if (i == n) fail(item, value, "is not a valid integer value");
  qint64 magnitude = 0;
  for (; i < n; ++i) {
    const char16_t c = t[i].toLower().unicode();
    const int digit = c >= u'0' && c <= u'9'                ? c - u'0'
                      : base == 16 && c >= u'a' && c <= u'f' ? c - u'a' + 10
                                                             : -1;
    if (digit < 0) fail(item, value, "is not a valid integer value");
    magnitude = magnitude * base + digit;
    if (magnitude > 0x80000000ll) fail(item, value, "is outside the 32-bit range");
  }
  const qint64 n64 = negative ? -magnitude : magnitude;
  if (n64 > 0x7FFFFFFFll) fail(item, value, "is outside the 32-bit range");
  return static_cast<qint32>(n64);
}

qint32 registerStraight(const QString& item, const Variant& value, QChar sep) {
  double d = 0;
  switch (value.type()) {
    case Variant::Type::Empty: return 0;
    case Variant::Type::Null: fail(item, value, "is not a number");
    case Variant::Type::Bool: return value.asBool() ? -1 : 0;
    case Variant::Type::Int:
      if (value.asInt() < INT32_MIN || value.asInt() > INT32_MAX)
        fail(item, value, "is outside the 32-bit range");
      return static_cast<qint32>(value.asInt());
    case Variant::Type::Double: d = value.asDouble(); break;
    case Variant::Type::Text: {
      if (const auto spelled = regionalNumber(value.asText(), sep)) {
        d = *spelled;
        break;
      }
      const QString t = value.asText().trimmed();
      if (t.compare(u"true", Qt::CaseInsensitive) == 0) return 1;
      if (t.compare(u"false", Qt::CaseInsensitive) == 0) return 0;
      fail(item, value, "is not a number");
    }
  }
  if (!std::isfinite(d)) fail(item, value, "is not a number");
  const double r = std::nearbyint(d);  // the default rounding: half to even
  if (r < -2147483648.0 || r > 2147483647.0) fail(item, value, "is outside the 32-bit range");
  return static_cast<qint32>(r);
}

}  // namespace velta
