// A day in the life, end to end: the real station logic with its window offscreen, real
// data files in a temporary station root, the simulated machine driven tick by tick on
// a test clock for about half an hour of machine time across midnight.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/station.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/itemserver/item_server.h"
#include "platform/itemserver/steady_clock.h"
#include "records/daily_file.h"
#include "tests/app/station_fixture.h"
#include "ui/form1.h"
#include "ui/record_grid_binding.h"

namespace velta::test {
namespace {

using namespace std::chrono_literals;

TEST(DayInTheLife, EveryFinishedPieceIsStoredOnceAcrossMidnight) {
  QTemporaryDir root;
  QDir().mkpath(root.path() + "/D/rododezuz/data");
  QDir().mkpath(root.path() + "/D/rododezuz/sistem");
  ASSERT_TRUE(QFile::copy(QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/fatekserver.fcs"),
                          root.path() + "/D/rododezuz/sistem/fatekserver.fcs"));
  ManualSteadyClock steady;
  FakeClock clock(QDate(2026, 12, 9), QTime(23, 45, 0));
  QStringList machineLog, failures;
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  registerItemServer(registry, ItemServerEnvironment{DriveMap(root.path()), &steady, &clock,
                                                     [&](const QString& l) { machineLog << l; }});
  Station station({dialogs, registry, shutdown, termination, clock, RegionalSettings::turkish(),
                   DriveMap(root.path())});
  station.pollCycle().setFailureSink([&](const QString& r) { failures << r; });
  TForm1 form(station.form(), station, dialogs);
  form.bindRecordModel(&station.gridModel());
  RecordGridBinding binding(*form.DBGrid1(), station.table1());

  station.FormCreate();
  ASSERT_EQ(dialogs.messages(), QStringList{"DOSYA OLUŞTURULDU"});
  const int ticks = 30 * 60 * 5;  // 30 minutes of 200 ms ticks
  for (int t = 0; t < ticks && termination.requests == 0; ++t) {
    steady.advance(200ms);
    clock.time = clock.time.addMSecs(200);
    if (clock.time < QTime(0, 0, 0, 200)) clock.date = clock.date.addDays(1);
    station.Timer1Timer();
  }
  ASSERT_TRUE(failures.isEmpty()) << failures.join("; ").toStdString();
  ASSERT_EQ(termination.requests, 0);
  EXPECT_EQ(dialogs.shown.size(), 1u) << "no box inside a tick";

  const auto before = storedRecords(root.path() + "/D/rododezuz/data/T09122026K.tkv");
  const auto after = storedRecords(root.path() + "/D/rododezuz/data/T10122026K.tkv");
  const int finished = static_cast<int>(machineLog.filter("finished").size());
  ASSERT_GT(finished, 100);
  ASSERT_GT(before.size(), 10u);
  ASSERT_GT(after.size(), 10u);
  // The one piece under test at midnight may be in either file, but only once: records
  // and finished pieces are equal.
  EXPECT_EQ(static_cast<int>(before.size() + after.size()), finished);

  const QRegularExpression serial(QStringLiteral("^T(09|10)122026K\\d{4}V$"));
  // storedRecords reads with "." as the separator.
  const QRegularExpression number(QStringLiteral("^-?\\d+(\\.\\d+)?$"));
  for (const auto* file : {&before, &after})
    for (const QStringList& r : *file) {
      EXPECT_TRUE(serial.match(r[0]).hasMatch()) << r[0].toStdString();
      for (int f = 1; f <= 16; ++f)
        EXPECT_TRUE(number.match(r[f]).hasMatch()) << r.join('|').toStdString();
    }
  // The station follows the new day: Table1, the caption and the grid show its file.
  EXPECT_EQ(station.table1().tableName(), "T10122026K.tkv");
  EXPECT_TRUE(station.form().caption().endsWith("T10122026K.tkv"));
  EXPECT_EQ(form.DBGrid1()->model()->rowCount(), static_cast<int>(after.size()));
}

}  // namespace
}  // namespace velta::test
