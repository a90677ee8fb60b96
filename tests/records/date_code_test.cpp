#include <gtest/gtest.h>

#include "platform/fakes/fake_platform.h"
#include "records/date_code.h"

using namespace velta;

TEST(DateCode, DayMonthYearWithLeadingZeros) {
  struct Case {
    QDate date;
    const char* code;
  } cases[] = {
      {{2026, 3, 9}, "T09032026K"},  {{2027, 1, 5}, "T05012027K"}, {{2026, 12, 31}, "T31122026K"},
      {{2026, 11, 1}, "T01112026K"}, {{2026, 10, 10}, "T10102026K"},
  };
  for (const auto& c : cases) {
    FakeClock clock(c.date, QTime(12, 0));
    EXPECT_EQ(MakeDateCode(clock), QString::fromLatin1(c.code)) << c.code;
  }
}

TEST(SerialNumber, HourAndMinuteWithoutSeconds) {
  struct Case {
    QDate date;
    QTime time;
    const char* serial;
  } cases[] = {
      {{2026, 3, 9}, {14, 5, 0}, "T09032026K1405V"},
      {{2026, 3, 9}, {0, 0, 0}, "T09032026K0000V"},
      {{2026, 3, 9}, {9, 7, 59, 999}, "T09032026K0907V"},
      {{2026, 12, 31}, {23, 59, 59, 999}, "T31122026K2359V"},  // seconds never advance the minute
      {{2026, 4, 1}, {8, 0, 30}, "T01042026K0800V"},
      {{2027, 1, 5}, {10, 30}, "T05012027K1030V"},
  };
  for (const auto& c : cases) {
    FakeClock clock(c.date, c.time);
    const QString s = MakeSerialNumber(clock);
    EXPECT_EQ(s, QString::fromLatin1(c.serial));
    EXPECT_EQ(s.size(), 15);
  }
}

TEST(SerialNumber, TimeIsReadBeforeTheDateAtMidnight) {
  FakeClock clock({2026, 12, 31}, {23, 59, 59, 999});
  // Midnight passes between the time read and the date read.
  clock.beforeDateRead = [](FakeClock& c) { c.set({2027, 1, 1}, {0, 0, 0}); };
  EXPECT_EQ(MakeSerialNumber(clock), QStringLiteral("T01012027K2359V"));
}

TEST(SerialCut, PlainSubstringsNeverFail) {
  struct Case {
    const char* serial;
    const char* date;
    const char* time;
  } cases[] = {
      {"T09032026K1405V", "09.03.2026", "14:05"},
      {"", "..", ":"},
      {"T", "..", ":"},
      {"T09", "09..", ":"},
      {"T0903", "09.03.", ":"},
      {"T09032026K", "09.03.2026", ":"},
      {"T09032026K1", "09.03.2026", "1:"},
      {"T09032026K14", "09.03.2026", "14:"},
      {"T09032026K140", "09.03.2026", "14:0"},
      {"X09032026Y1405Z", "09.03.2026", "14:05"},  // positions 1, 10, 15 are not examined
      {"T09032026K1405VEXTRA", "09.03.2026", "14:05"},
      {" ", "..", ":"},
  };
  for (const auto& c : cases) {
    const SerialCut cut = cutSerialNumber(QString::fromLatin1(c.serial));
    EXPECT_EQ(cut.date, QString::fromLatin1(c.date)) << '"' << c.serial << '"';
    EXPECT_EQ(cut.time, QString::fromLatin1(c.time)) << '"' << c.serial << '"';
  }
}
