// The station's Table1 and its file-open button, wired to the daily-file operations.
#include <gtest/gtest.h>

#include <QDir>

#include "app/station.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "records/daily_file.h"
#include "../support/temp_station.h"

using namespace velta;

TEST(StationTable1, OpenButtonOpensTheChosenFileInTable1) {
  test::OpenTempDir root;
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  FakeClock clock;
  Station station({dialogs, registry, shutdown, termination, clock, RegionalSettings::turkish(),
                   DriveMap(root.path())});
  Dataset& t = station.table1();
  EXPECT_EQ(t.name(), QStringLiteral("Table1"));
  EXPECT_FALSE(t.active());
  ASSERT_EQ(t.fieldCount(), 18);

  const QString dataDir = root.file(QStringLiteral("D/rododezuz/data"));
  ASSERT_TRUE(QDir().mkpath(dataDir));
  Dataset::createTable(dataDir, QStringLiteral("T08122026K.tkv"), DailyFileFields(), DailyFileIndex());
  dialogs.files.push_back(dataDir + QStringLiteral("/T08122026K.tkv"));
  station.SpeedButton1Click();
  EXPECT_TRUE(t.active());
  EXPECT_EQ(station.form().caption(), kCaptionPrefix + QStringLiteral("T08122026K.tkv"));
  EXPECT_EQ(dialogs.shown.back().request.initialDirectory, dataDir);
}
