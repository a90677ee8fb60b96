#include "records/date_code.h"

namespace velta {

namespace {
QString twoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }
}  // namespace

QString MakeDateCode(const Clock& clock) {
  const QDate d = clock.currentDate();
  return u'T' + twoDigits(d.day()) + twoDigits(d.month()) + QString::number(d.year()) + u'K';
}

QString MakeSerialNumber(const Clock& clock) {
  const QTime t = clock.currentTime();
  const QString hour = twoDigits(t.hour());
  const QString minute = twoDigits(t.minute());
  return MakeDateCode(clock) + hour + minute + u'V';
}

SerialCut cutSerialNumber(const QString& s) {
  // QString::mid gives an empty piece for a start past the end and shortens a piece that
  // runs past it, as the cut requires.
  const auto piece = [&s](int start1, int length) { return s.mid(start1 - 1, length); };
  return {piece(2, 2) + u'.' + piece(4, 2) + u'.' + piece(6, 4),
          piece(11, 2) + u':' + piece(13, 2)};
}

}  // namespace velta
