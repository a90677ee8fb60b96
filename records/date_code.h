#pragma once
// Date codes (T09032026K: day, month, year) and serial numbers (date code + hhmm + V)
// from the local wall clock, and the cut of a serial number back into a date text and a
// time text. Plain functions without state; UI thread.
#include <QString>

#include "platform/clock.h"

namespace velta {

// "T" + dd + MM + year + "K" from one read of the clock's date.
QString MakeDateCode(const Clock& clock);

// Reads the time first (hour, minute; seconds dropped), then the date through
// MakeDateCode: in the instant of midnight the result can carry the new day with 2359.
QString MakeSerialNumber(const Clock& clock);

struct SerialCut {
  QString date;  // day piece + "." + month piece + "." + year piece (dd.MM.yyyy)
  QString time;  // hour piece + ":" + minute piece (hh:mm)
};

// Cuts plain substrings at the fixed positions (day 2-3, month 4-5, year 6-9, hour 11-12,
// minute 13-14, 1-based). Never fails: pieces past the end are shortened or empty.
SerialCut cutSerialNumber(const QString& serial);

}  // namespace velta
