#pragma once
// The user's regional settings that the station's texts depend on. Taken from the
// system locale in the program; tests construct any combination.
#include <QChar>

namespace velta {

struct RegionalSettings {
  enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

  QChar decimalSeparator = u'.';
  QChar dateSeparator = u'.';
  DateOrder shortDateOrder = DateOrder::DayMonthYear;
  QChar timeSeparator = u':';

  static RegionalSettings fromSystem();
  static RegionalSettings turkish() { return {u',', u'.', DateOrder::DayMonthYear, u':'}; }
};

}  // namespace velta
