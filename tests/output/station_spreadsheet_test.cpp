// The station's toolbar handlers reach the spreadsheet outputs.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/station.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/recording_progress.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/spreadsheet/fakes/recording_spreadsheet.h"
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

TEST_F(StationSpreadsheetTest, SpeedButton4ExportsTable1ThroughTheOneConnection) {
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
