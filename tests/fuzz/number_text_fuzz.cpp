// Fuzz target: the number-text rule (platform/number_text) and the PLC items' number
// reader (regionalNumber), which spells the same grammar with blanks allowed around.
// Properties:
//   - every finite double our writer turns into text, our reader reads back: to within
//     the 15 significant digits the text keeps, and writing that again gives the same
//     text (the field, the grid and the workbook agree on it);
//   - the text uses only the sign, digits, the given separator and "E";
//   - a text the reader accepts is the number strtod (C locale) reads from it, and a
//     text of the grammar's characters that strtod reads whole and in range, the
//     reader accepts;
//   - regionalNumber(t) == NumberFromText(t without the blanks around it);
//   - TextToNumber refuses with an error naming the text and the field.
#include <QString>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/error.h"
#include "platform/number_text.h"
#include "plc/item_value.h"
#include "tests/fuzz/fuzz_input.h"

namespace velta {
namespace {

using fuzz::broken;

bool sameResult(const std::optional<double>& a, const std::optional<double>& b) {
  return a.has_value() == b.has_value() && (!a || *a == *b);
}

void checkWriter(double d, QChar sep) {
  const QString t = NumberToText(d, sep);
  for (QChar c : t)
    if (!(c.isDigit() && c.unicode() < 128) && c != u'-' && c != u'E' && c != sep && !std::isnan(d) &&
        !std::isinf(d))
      broken("writer used a character outside the rule", t);
  const auto back = NumberFromText(t, sep);
  if (!std::isfinite(d)) {
    if (back) broken("reader took NAN or INF", t);
    return;
  }
  if (!back) broken("reader refuses what the writer wrote", t);
  const double tolerance = std::max(std::fabs(d) * 1e-14, std::numeric_limits<double>::denorm_min());
  if (std::fabs(*back - d) > tolerance) broken("round trip moved the value", t);
  if (NumberToText(*back, sep) != t) broken("text not stable after one round", t);
  if (!sameResult(regionalNumber(t, sep), back)) broken("regionalNumber differs on written text", t);
  const auto viaField = TextToNumber(t, sep, QStringLiteral("HAVA"));
  if (!sameResult(viaField, back)) broken("TextToNumber differs", t);
}

QString withoutBlanks(const QString& t) {
  qsizetype i = 0, n = t.size();
  while (i < n && (t[i] == u' ' || t[i] == u'\t')) ++i;
  while (n > i && (t[n - 1] == u' ' || t[n - 1] == u'\t')) --n;
  return t.mid(i, n - i);
}

// strtod in the C locale on the text with the separator made a point.
struct StrtodReading {
  bool whole = false;  // read the whole text, to a finite value
  bool inRange = false;
  double value = 0;
};

StrtodReading strtodReading(const QString& t, QChar sep) {
  std::string ascii;
  for (QChar c : t) {
    const bool grammar = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'e' || c == u'E';
    if (c == sep) ascii += '.';
    else if (grammar) ascii += static_cast<char>(c.unicode());
    else return {};
  }
  if (ascii.empty()) return {};
  errno = 0;
  char* end = nullptr;
  StrtodReading r;
  r.value = std::strtod(ascii.c_str(), &end);
  r.inRange = errno != ERANGE;
  r.whole = end == ascii.c_str() + ascii.size() && std::isfinite(r.value);
  return r;
}

void checkReader(const QString& t, QChar sep) {
  const auto read = NumberFromText(t, sep);
  const StrtodReading c = strtodReading(t, sep);
  if (read && (!c.whole || *read != c.value)) broken("reader and strtod disagree", t);
  if (c.whole && c.inRange && !read) broken("reader refused a number strtod reads whole", t);
  if (!sameResult(regionalNumber(t, sep), NumberFromText(withoutBlanks(t), sep)))
    broken("regionalNumber and NumberFromText disagree", t);
  if (read) {
    const QString again = NumberToText(*read, sep);
    const auto back = NumberFromText(again, sep);
    if (!back || NumberToText(*back, sep) != again) broken("written text of a read number unstable", t);
  }
  const QString trimmed = t.trimmed();
  try {
    const auto v = TextToNumber(t, sep, QStringLiteral("PRES"));
    if (trimmed.isEmpty() ? v.has_value() : !sameResult(v, NumberFromText(trimmed, sep)))
      broken("TextToNumber differs from the reader", t);
  } catch (const Error& e) {
    if (NumberFromText(trimmed, sep)) broken("TextToNumber refused a number", t);
    if (!e.text().contains(t) || !e.text().contains(QStringLiteral("PRES")))
      broken("TextToNumber error names neither text nor field", e.text());
  }
}

}  // namespace
}  // namespace velta

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velta;
  fuzz::FuzzInput in(data, size);
  const std::uint8_t mode = in.byte();
  const QChar sep = mode & 1 ? QChar(u',') : QChar(u'.');
  if (mode & 2) {
    // Doubles: each 8 bytes one bit pattern, so every class (subnormal, the largest,
    // NAN payloads) turns up.
    while (!in.empty()) checkWriter(in.rawDouble(), sep);
  } else {
    checkReader(in.restAsText(), sep);
  }
  return 0;
}
