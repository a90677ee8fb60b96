#include "platform/regional_settings.h"

#include <QLocale>

namespace velta {

RegionalSettings RegionalSettings::fromSystem() {
  const QLocale loc = QLocale::system();
  RegionalSettings r;
  const QString dp = loc.decimalPoint();
  if (dp.size() == 1) r.decimalSeparator = dp.front();

  // Order and separator from the short date pattern, e.g. "dd.MM.yyyy" or "M/d/yy".
  const QString fmt = loc.dateFormat(QLocale::ShortFormat);
  const qsizetype d = fmt.indexOf(u'd'), m = fmt.indexOf(u'M'), y = fmt.indexOf(u'y');
  if (d >= 0 && m >= 0 && y >= 0) {
    if (y < m && m < d) r.shortDateOrder = DateOrder::YearMonthDay;
    else if (m < d) r.shortDateOrder = DateOrder::MonthDayYear;
    else r.shortDateOrder = DateOrder::DayMonthYear;
  }
  for (QChar c : fmt)
    if (!c.isLetter()) { r.dateSeparator = c; break; }
  for (QChar c : loc.timeFormat(QLocale::ShortFormat))
    if (!c.isLetter() && !c.isSpace()) { r.timeSeparator = c; break; }
  return r;
}

}  // namespace velta
