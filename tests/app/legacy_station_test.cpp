// The station with files of the previous program: an old daily file opened in the dialog
// is browsed but never changed, an old table under today's name is kept aside (today's
// file is always one of ours), and an old print buffer makes way for a new one.
#include <QCoreApplication>
#include <QDir>

#include "records/print_buffer.h"
#include "records/record_browser.h"
#include "tests/app/station_fixture.h"
#include "tests/platform/legacy/paradox_fixture.h"
#include "tests/output/sheet_tally.h"
#include "tests/support/temp_station.h"

#include <algorithm>

namespace velta::test {
namespace {

FixtureTable oldDailyTable(int rows) {
  FixtureTable t;
  t.fields = dailyFields();
  t.rows = dailyRows(rows);
  return t;
}

class OldFilesAtTheStation : public StationFixture {
 protected:
  QString dataDir() const { return root.path() + "/D/rododezuz/data"; }
  void tickAndLoop() {
    tick();
    QCoreApplication::processEvents();
  }
};

TEST_F(OldFilesAtTheStation, AnOldFileOpenedInTheDialogIsBrowsedButItsRecordsAreNeverDeleted) {
  startUp();
  const QString old = dataFile("T09032019K.tkv");
  writeParadox(old, oldDailyTable(12));
  const QByteArray before = fileBytes(old);
  server->values["M0"] = 0;  // transfer off: the grid stays on the chosen file
  dialogs.files.push_back(old);
  station.SpeedButton1Click();
  ASSERT_TRUE(station.table1().active());
  EXPECT_TRUE(station.table1().readOnly());
  EXPECT_EQ(form().caption(), DailyFileCaption(old));
  station.DBGrid1CellClick();
  ASSERT_FALSE(form().text(ctl::Edit6).isEmpty());
  const size_t shownBefore = dialogs.shown.size();

  station.SpeedButton5Click();
  station.DBGrid1CtrlDelete();

  ASSERT_EQ(dialogs.shown.size(), shownBefore + 2);
  for (size_t i = shownBefore; i < dialogs.shown.size(); ++i) {
    EXPECT_EQ(dialogs.shown[i].kind, ScriptedDialogs::Kind::Message) << "told at once, never asked";
    EXPECT_EQ(dialogs.shown[i].text, kLegacyFileReadOnly);
  }
  EXPECT_EQ(station.table1().recordCount(), 12);
  station.table1().close();
  EXPECT_EQ(fileBytes(old), before);
}

TEST_F(OldFilesAtTheStation, AnOldFilesRecordsGoToTheWorkbookAndToTheDetailPanel) {
  SheetTally tally;
  TallySpreadsheet::registerIn(registry, tally);
  startUp();
  const QString old = dataFile("T09032019K.tkv");
  const FixtureTable t = oldDailyTable(30);
  writeParadox(old, t);
  server->values["M0"] = 0;
  dialogs.files.push_back(old);
  station.SpeedButton1Click();
  ASSERT_TRUE(station.table1().readOnly());

  station.SpeedButton4Click();
  EXPECT_EQ(tally.heading.size(), 18);
  EXPECT_EQ(tally.lastRow, 31) << "a heading row and the thirty records";

  // The last record in SIRANO order, on the sheet's last row and in the detail panel.
  station.table1().last();
  station.DBGrid1CellClick();
  std::vector<FixtureRow> bySirano = t.rows;
  std::sort(bySirano.begin(), bySirano.end(), [](const FixtureRow& a, const FixtureRow& b) {
    return a[0].expected.toLongLong() < b[0].expected.toLongLong();
  });
  EXPECT_EQ(tally.lastRowTexts.value(0), bySirano.back()[0].expected.toString());
  EXPECT_EQ(form().text(ctl::Edit6), bySirano.back()[1].expected.toString());
}

TEST_F(OldFilesAtTheStation, AnOldFileReadOnlyInPartIsShownWithABoxThatSaysSo) {
  startUp();
  const QString old = dataFile("T09032019K.tkv");
  FixtureTable t = oldDailyTable(200);
  t.blockKiB = 1;
  writeParadox(old, t);
  QByteArray bytes = fileBytes(old);
  const ParadoxGeometry g = geometryOf(bytes);
  ASSERT_GT(g.fileBlocks, 3);
  bytes.truncate(static_cast<int>(g.blockStart(4)));  // an old disk lost the rest
  writeBytes(old, bytes);
  server->values["M0"] = 0;
  dialogs.files.push_back(old);
  station.SpeedButton1Click();

  ASSERT_TRUE(station.table1().active());
  EXPECT_EQ(station.table1().recordCount(), 3 * g.recordsPerBlock());
  ASSERT_EQ(dialogs.errors().size(), 1);
  EXPECT_TRUE(dialogs.errors()[0].startsWith("ESKİ DOSYA EKSİK OKUNDU")) << dialogs.errors()[0].toStdString();
  EXPECT_TRUE(dialogs.errors()[0].contains(old));
  EXPECT_TRUE(dialogs.errors()[0].contains(QString("Okunan kayıt: %1").arg(3 * g.recordsPerBlock())));
}

TEST_F(OldFilesAtTheStation, AnOldTableUnderTodaysNameIsKeptAsideAndThePieceGoesToANewFile) {
  writeParadox(todaysFile(), oldDailyTable(5));
  const QByteArray oldBytes = fileBytes(todaysFile());
  startUp();
  EXPECT_TRUE(station.table1().readOnly()) << "start-up opens it, as any file of that name";
  tickAndLoop();

  const QString aside = todaysFile() + ".old-station-file-20261209-140530";
  EXPECT_EQ(fileBytes(aside), oldBytes) << "kept as it was";
  EXPECT_FALSE(Dataset::isOldProgramTable(todaysFile()));
  EXPECT_FALSE(station.table1().readOnly());
  ASSERT_FALSE(dialogs.errors().isEmpty());
  EXPECT_TRUE(dialogs.errors().back().contains(aside)) << dialogs.errors().back().toStdString();

  tickAndLoop();
  server->values["M2"] = 1;
  tickAndLoop();
  server->values["M6"] = 1;
  tickAndLoop();
  const auto rows = storedRecords(todaysFile());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], "6.543") << "R5 as the PLC held it";
  EXPECT_EQ(server->values["M6"], Variant(0));
}

TEST_F(OldFilesAtTheStation, AnOldPrintBufferMakesWayAndTheReportGetsItsRecord) {
  startUp();
  const QString printDb = root.path() + "/D/rododezuz/sistem/Print.db";
  writeParadox(printDb, oldDailyTable(1));
  const QByteArray oldBytes = fileBytes(printDb);
  form().setText(ctl::Edit6, "T09122026K1405V");
  for (int e = ctl::Edit9; e <= ctl::Edit24; ++e) form().setText(e, QString::number(e));

  station.PreparePrintBuffer();

  const QStringList aside = QDir(root.path() + "/D/rododezuz/sistem").entryList({"Print.db.old-station-file-*"});
  ASSERT_EQ(aside.size(), 1);
  EXPECT_EQ(fileBytes(root.path() + "/D/rododezuz/sistem/" + aside[0]), oldBytes);
  EXPECT_FALSE(Dataset::isOldProgramTable(printDb));
  EXPECT_EQ(station.table2().fieldText("SERiNO"), "T09122026K1405V");
  EXPECT_EQ(station.table2().fieldText("BOY3"), "24");
  EXPECT_EQ(dialogs.messages().back(), kPrintBufferFilled);
}

}  // namespace
}  // namespace velta::test
