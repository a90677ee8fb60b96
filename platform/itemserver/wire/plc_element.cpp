#include "platform/itemserver/wire/plc_element.h"

#include <algorithm>

#include "platform/error.h"

namespace velta {

PlcElement PlcElement::parse(const QString& item) {
  const QString t = item.trimmed();
  if (t.size() >= 2 && t.size() <= 6) {
    const QChar letter = t.at(0).toUpper();
    bool ok = false;
    const int n = t.mid(1).toInt(&ok, 10);
    const bool digitsOnly = std::all_of(t.begin() + 1, t.end(), [](QChar c) { return c.isDigit(); });
    if (ok && digitsOnly && n >= 0 && n <= 65535) {
      if (letter == u'M') return bit(n);
      if (letter == u'R') return reg(n);
    }
  }
  throw Error(QStringLiteral("Geçersiz PLC elemanı: \"%1\"").arg(item));
}

QString PlcElement::name() const {
  return (area == Area::Bit ? QStringLiteral("M") : QStringLiteral("R")) + QString::number(number);
}

}  // namespace velta
