// The station's toolbar handlers reach the spreadsheet outputs.
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/station.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/recording_progress.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/spreadsheet/fakes/recording_spreadsheet.h"
#include "records/daily_file.h"
#include "tests/output/vector_record_source.h"

namespace velta {
namespace {

class StationSpreadsheetTest : public ::testing::Test {
 protected:
  void SetUp() override { fake->registerIn(registry); }

  QTemporaryDir root;
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  FakeClock clock;
  std::shared_ptr<RecordingSpreadsheet> fake = std::make_shared<RecordingSpreadsheet>();
  Station station{{dialogs, registry, shutdown, termination, clock, RegionalSettings::turkish(), DriveMap(root.path())}};
};

TEST_F(StationSpreadsheetTest, SpeedButton8PutsTheDetailPanelIntoANewApplication) {
  station.SpeedButton8Click();
  EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("KAYIT ŞEÇ ")}) << "nothing selected at start";
  station.form().setText(ctl::Edit6, QStringLiteral("T09032026K1405V"));
  station.SpeedButton8Click();
  station.SpeedButton8Click();
  EXPECT_EQ(fake->instances.size(), 2u);
  EXPECT_EQ(fake->liveObjects, 0);
}

// Bound at construction: SpeedButton4 exports Table1, the daily file open in the grid.
TEST_F(StationSpreadsheetTest, SpeedButton4ExportsTable1) {
  try {
    station.SpeedButton4Click();
    ADD_FAILURE() << "a closed Table1 was exported";
  } catch (const Error& e) {
    EXPECT_EQ(e.text(), QStringLiteral("Table1: Cannot perform this operation on a closed dataset"));
  }

  const QString dataDir = root.filePath(QStringLiteral("D/rododezuz/data"));
  ASSERT_TRUE(QDir().mkpath(dataDir));
  Dataset::createTable(dataDir, QStringLiteral("T09122026K.tkv"), DailyFileFields(), DailyFileIndex());
  Dataset& table1 = station.table1();
  table1.setDirectory(dataDir);
  table1.setTableName(QStringLiteral("T09122026K.tkv"));
  table1.open();
  for (const char* serial : {"T09122026K1200V", "T09122026K1201V"}) {
    table1.append();
    table1.setFieldText(QStringLiteral("SERiNO"), QString::fromLatin1(serial));
    table1.setFieldText(QStringLiteral("PRES3"), QStringLiteral("2,5"));
    table1.post();
  }
  station.SpeedButton4Click();
  ASSERT_EQ(fake->instances.size(), 1u);
  ASSERT_EQ(fake->instances[0].workbooks.size(), 2u);
  const auto& book = fake->instances[0].workbooks[1];
  EXPECT_EQ(book.caption, QStringLiteral("T09122026K.tkv"));
  EXPECT_EQ(book.values.at({1, 2}), Variant(QStringLiteral("SERiNO")));
  EXPECT_EQ(book.values.at({3, 1}), Variant(QStringLiteral("2")));
  EXPECT_EQ(book.values.at({3, 2}), Variant(QStringLiteral("T09122026K1201V")));
  EXPECT_EQ(book.values.at({3, 16}), Variant(QStringLiteral("2,5")));
  EXPECT_FALSE(book.values.count({4, 1}));
}

TEST_F(StationSpreadsheetTest, SpeedButton4ExportsTheBoundSourceThroughTheOneConnection) {
  station.table1RecordSource = nullptr;
  station.SpeedButton4Click();
  EXPECT_TRUE(fake->instances.empty()) << "no table bound: nothing to export";

  int sourcesMade = 0;
  station.table1RecordSource = [&sourcesMade] {
    ++sourcesMade;
    auto src = std::make_unique<test::VectorRecordSource>();
    src->rows = {test::testRecord(1)};
    return std::unique_ptr<RecordSource>(std::move(src));
  };
  RecordingProgress progress;
  station.exportProgress = &progress;
  station.SpeedButton4Click();
  station.SpeedButton4Click();
  EXPECT_EQ(sourcesMade, 2);
  ASSERT_EQ(fake->instances.size(), 1u);
  EXPECT_EQ(fake->instances[0].workbooks.size(), 2u);
  EXPECT_EQ(progress.calls.count(QStringLiteral("end")), 2);
  EXPECT_TRUE(station.excelApplication1().connected());
}

}  // namespace
}  // namespace velta
