// The all-records export and the sheet's last row: records that do not fit are never
// dropped silently. The sheet keeps one heading row and the first records in order; the
// operator is told how many did not fit and from which record on.
#include <sqlite3.h>

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/station.h"
#include "output/export_all.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "records/daily_file.h"
#include "tests/output/sheet_tally.h"

namespace velta {
namespace {

using test::SheetTally;
using test::TallySpreadsheet;

constexpr qint64 kRecordsThatFit = kSheetLastRow - 1;  // below the heading row

// n records made as they are read: record i reads "i", "S<i>", "<i>.5".
class GeneratedRecords : public RecordSource {
 public:
  explicit GeneratedRecords(qint64 n) : n_(n) {}
  QString tableName() const override { return QStringLiteral("T09032026K.tkv"); }
  QStringList fieldNames() const override { return {"SIRANO", "SERiNO", "HAVA"}; }
  std::unique_ptr<RecordWalk> snapshot() override { return std::make_unique<Walk>(n_); }

 private:
  class Walk : public RecordWalk {
   public:
    explicit Walk(qint64 n) : n_(n) {}
    qint64 count() const override { return n_; }
    bool next(QStringList& texts) override {
      if (i_ >= n_) return false;
      ++i_;
      texts = {QString::number(i_), QStringLiteral("S%1").arg(i_), QStringLiteral("%1.5").arg(i_)};
      return true;
    }

   private:
    qint64 n_, i_ = 0;
  };
  qint64 n_;
};

struct SizeCase {
  qint64 records;
  qint64 leftOut;
};

class SheetLimit : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SheetLimit, TheSheetHoldsWhatFitsAndTheRestIsCounted) {
  const SizeCase c = GetParam();
  ObjectRegistry registry;
  SheetTally tally;
  TallySpreadsheet::registerIn(registry, tally);
  SpreadsheetConnection connection{registry};
  GeneratedRecords source{c.records};
  SilentProgress progress;

  const ExportAllResult result = SpeedButton4Click(connection, source, progress);

  const qint64 lastRecord = std::min(c.records, kRecordsThatFit);
  EXPECT_EQ(result.exported, lastRecord);
  EXPECT_EQ(result.leftOut, c.leftOut);
  EXPECT_EQ(tally.heading, (QStringList{"SIRANO", "SERiNO", "HAVA"}));
  EXPECT_EQ(tally.lastRow, lastRecord + 1);
  EXPECT_EQ(tally.lastRowTexts, (QStringList{QString::number(lastRecord), QStringLiteral("S%1").arg(lastRecord),
                                             QStringLiteral("%1.5").arg(lastRecord)}));
  EXPECT_EQ(tally.handOvers, 1);
  const QString told = exportLeftOutText(result);
  if (c.leftOut == 0) {
    EXPECT_EQ(told, QString());
  } else {
    EXPECT_TRUE(told.contains(QStringLiteral("Dosyanın %1 kaydından ilk %2 kayıt aktarıldı; son %3 kayıt (%4. kayıttan")
                                  .arg(c.records)
                                  .arg(kRecordsThatFit)
                                  .arg(c.leftOut)
                                  .arg(kRecordsThatFit + 1)))
        << told.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SheetLimit,
                         ::testing::Values(SizeCase{3, 0}, SizeCase{kRecordsThatFit, 0},
                                           SizeCase{kRecordsThatFit + 1, 1}, SizeCase{kRecordsThatFit + 25, 25}),
                         [](const ::testing::TestParamInfo<SizeCase>& p) {
                           return "Records" + std::to_string(p.param.records);
                         });

// The case seen at a plant: a data file of 1,048,576 records, exported from the window.
TEST(SheetLimitAtTheStation, AFileOfOneRowTooManyTellsTheOperatorWhichRecordDidNotFit) {
  QTemporaryDir root;
  const QString dataDir = root.path() + "/D/rododezuz/data";
  ASSERT_TRUE(QDir().mkpath(dataDir));
  FakeClock clock{QDate(2026, 3, 9), QTime(14, 5)};
  const QString name = DailyTableName(clock);
  Dataset::createTable(dataDir, name, DailyFileFields(), DailyFileIndex());
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dataDir + "/" + name).toUtf8().constData(), &db), SQLITE_OK);
    const char* fill =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1048576) "
        "INSERT INTO records (SERiNO, HAVA) SELECT 'T09032026K1405V', i / 1000.0 FROM n";
    EXPECT_EQ(sqlite3_exec(db, fill, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  SheetTally tally;
  TallySpreadsheet::registerIn(registry, tally);
  RecordingShutdown shutdown;
  RecordingTermination termination;
  Station station{{dialogs, registry, shutdown, termination, clock, RegionalSettings{}, DriveMap(root.path())}};
  OpenDailyFileAtStartUp(station.dailyFile());
  ASSERT_EQ(station.table1().recordCount(), 1048576);

  station.SpeedButton4Click();

  EXPECT_EQ(tally.lastRow, kSheetLastRow);
  ASSERT_FALSE(tally.lastRowTexts.isEmpty());
  EXPECT_EQ(tally.lastRowTexts[0], "1048575");
  EXPECT_EQ(tally.lastRowTexts[2], "1048.575");
  ASSERT_EQ(dialogs.messages().size(), 1);
  EXPECT_TRUE(dialogs.messages()[0].startsWith("ÇALIŞMA SAYFASI DOLDU"));
  EXPECT_TRUE(dialogs.messages()[0].contains("son 1 kayıt (1048576. kayıttan itibaren)")) << dialogs.messages()[0].toStdString();
}

}  // namespace
}  // namespace velta
