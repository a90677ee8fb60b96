// A piece that cannot be stored (today's file cannot take it, or its phases cannot be
// made durable in the piece journal beside it): the station stays up, tells the operator
// once (after the tick), keeps the piece with the PLC waiting at a phase or at M6, and
// stores it exactly once, with the readings the PLC gave, when the cause is gone.
// A today's file that is not one of this station's is kept aside, never deleted.
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <functional>
#include <memory>
#include <optional>

#include "tests/app/handshake_plc.h"
#include "tests/app/station_fixture.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_station.h"

namespace velta::test {
namespace {

class PieceStoreTrouble : public StationFixture {
 public:
  using StationFixture::todaysFile;
  QString dataDir() const { return root.path() + "/D/rododezuz/data"; }
  void setDataDirWritable(bool writable) {
    QFile::setPermissions(dataDir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                         (writable ? QFileDevice::WriteOwner : QFileDevice::Permissions()));
  }
  // FormCreate as the window runs it: an error ends the start-up steps.
  void startUpShowingErrors() {
    try {
      station.FormCreate();
    } catch (const Error& e) {
      startUpError = e.text();
    }
    ASSERT_NE(server, nullptr);
    server->calls.clear();
  }
  // A tick, then the event loop's turn (where boxes asked for by the tick are shown).
  void tickAndLoop() {
    const size_t before = dialogs.shown.size();
    tick();
    boxesInsideTicks += dialogs.shown.size() - before;
    QCoreApplication::processEvents();
  }
  // A PLC scan, a tick and the event loop's turn, n times.
  void runPlc(int n) {
    for (int i = 0; i < n; ++i) {
      plc.scan(server->values);
      tickAndLoop();
    }
  }
  // The PLC runs on until it has finished pieces (every piece takes 15 scans).
  void runPlcUntilFinished(int pieces) {
    for (int guard = 0; plc.finished() < pieces && guard < 200; ++guard) runPlc(1);
    ASSERT_EQ(plc.finished(), pieces);
  }
  static QStringList airPressuresOf(const QStringList& row) { return {row[1], row[5], row[9], row[13]}; }
  int endAcknowledgements() const { return static_cast<int>(server->calls.count("Set M6 integer 0")); }
  QStringList otherFilesInTheDataFolder() const {
    QStringList names = QDir(dataDir()).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(DailyTableName(clock));
    return names;
  }

  QString journalPath() const { return dataDir() + "/piece-in-progress.journal"; }

  HandshakePlc plc;
  QString startUpError;
  size_t boxesInsideTicks = 0;  // a box inside a tick would hold the poll
};

// A cause of a failed store: made before or after start-up, then taken away.
struct WriteCause {
  const char* name;
  bool beforeStartUp;
  std::function<std::shared_ptr<void>(PieceStoreTrouble&)> make;  // the cause lasts while held
  const char* operatorCause;  // the "Neden:" line the box shows, "" for none
  // The file the box names: today's file, or the piece journal (the phases wait).
  enum { TodaysFile, PieceJournal } boxFile;
  int plcWaitsAt;  // the stage the PLC waits at (0: phase 1, 4: end of piece)
};

class PieceWaitsForTheFile : public PieceStoreTrouble, public ::testing::WithParamInterface<WriteCause> {};

TEST_P(PieceWaitsForTheFile, StoredExactlyOnceWithThePlcsReadingsWhenTheCauseIsGone) {
  const WriteCause& c = GetParam();
  PermissionBitsApply permissionBits;  // so a read-only folder is read-only for root too
  std::shared_ptr<void> cause;
  if (c.beforeStartUp) cause = c.make(*this);
  startUpShowingErrors();
  const size_t boxesAtStartUp = dialogs.shown.size();
  if (!c.beforeStartUp) cause = c.make(*this);
  tickAndLoop();

  runPlc(60);  // twelve seconds: four pieces' time

  EXPECT_EQ(plc.finished(), 0);
  EXPECT_EQ(plc.stage(), c.plcWaitsAt);
  EXPECT_EQ(server->values[HandshakePlc::bitName(c.plcWaitsAt)], Variant(1)) << "never acknowledged";
  EXPECT_EQ(form().text(ctl::Edit25), "T09122026K1405V");
  ASSERT_EQ(dialogs.shown.size(), boxesAtStartUp + 1) << "told once";
  const ScriptedDialogs::Shown& box = dialogs.shown.back();
  EXPECT_EQ(box.kind, ScriptedDialogs::Kind::Error);
  EXPECT_EQ(box.caption, kApplicationTitle);
  const QString named = c.boxFile == WriteCause::TodaysFile ? todaysFile() : journalPath();
  EXPECT_TRUE(box.text.contains("Dosya: " + named)) << box.text.toStdString();
  if (*c.operatorCause) {
    EXPECT_TRUE(box.text.contains(QString("Neden: ") + c.operatorCause)) << box.text.toStdString();
  }
  EXPECT_EQ(termination.requests, 0);
  EXPECT_TRUE(failures.isEmpty()) << failures.join('\n').toStdString();

  cause.reset();
  runPlcUntilFinished(1);
  EXPECT_EQ(endAcknowledgements(), 1);
  EXPECT_EQ(form().text(ctl::Edit25), "");
  auto rows = storedRecords(todaysFile());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "T09122026K1405V");
  EXPECT_EQ(airPressuresOf(rows[0]), plc.airPressures(1));

  // The station goes on as before: the next piece is stored at its first end bit.
  runPlcUntilFinished(2);
  EXPECT_EQ(endAcknowledgements(), 2);
  rows = storedRecords(todaysFile());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(airPressuresOf(rows[1]), plc.airPressures(2));
  EXPECT_EQ(dialogs.shown.size(), boxesAtStartUp + 1);
  EXPECT_EQ(otherFilesInTheDataFolder(), QStringList{}) << "nothing set aside, nothing left behind";
  EXPECT_EQ(boxesInsideTicks, 0u);
}

std::shared_ptr<void> readOnlyFolder(PieceStoreTrouble& f) {
  f.setDataDirWritable(false);
  return std::shared_ptr<void>(nullptr, [&f](void*) { f.setDataDirWritable(true); });
}

// Another program (an SQLite browser, a backup) holds an exclusive lock on today's file.
std::shared_ptr<void> lockedByAnotherProgram(PieceStoreTrouble& f) {
  sqlite3* db = nullptr;
  if (sqlite3_open(f.todaysFile().toUtf8().constData(), &db) != SQLITE_OK ||
      sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
    ADD_FAILURE() << "the test could not lock the file";
  return std::shared_ptr<void>(db, [](void* p) {
    sqlite3_exec(static_cast<sqlite3*>(p), "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(static_cast<sqlite3*>(p));
  });
}

INSTANTIATE_TEST_SUITE_P(
    Causes, PieceWaitsForTheFile,
    ::testing::Values(
        // Start-up could not create today's file: the first tick tries again.
        WriteCause{"ReadOnlyFolderBeforeTodaysFileExists", true, readOnlyFolder,
                   "veri klasörüne yazılamıyor (salt okunur)", WriteCause::TodaysFile, 0},
        // The file is open, but neither its own journal nor the piece's can be made.
        WriteCause{"FolderMadeReadOnlyWhileTheFileIsOpen", false, readOnlyFolder,
                   "veri klasörüne yazılamıyor (salt okunur)", WriteCause::PieceJournal, 0},
        WriteCause{"DiskFullWhileTheFileIsOpen", false,
                   [](PieceStoreTrouble&) { return std::make_shared<FileSizeLimit>(0); }, "",
                   WriteCause::PieceJournal, 0},
        WriteCause{"TodaysFileLockedByAnotherProgram", false, lockedByAnotherProgram, "", WriteCause::TodaysFile, 4}),
    [](const ::testing::TestParamInfo<WriteCause>& p) { return std::string(p.param.name); });

TEST_F(PieceStoreTrouble, AnOpeningFailureAtTheFirstTickIsToldOnceAndThePieceWaits) {
  PermissionBitsApply permissionBits;
  setDataDirWritable(false);
  startUpShowingErrors();
  EXPECT_TRUE(startUpError.contains(todaysFile())) << startUpError.toStdString();
  for (int i = 0; i < 5; ++i) tickAndLoop();
  ASSERT_EQ(dialogs.errors().size(), 1);
  EXPECT_TRUE(dialogs.errors()[0].startsWith("BUGÜNÜN VERİ DOSYASI AÇILAMADI")) << dialogs.errors()[0].toStdString();
  runPlc(30);
  EXPECT_EQ(dialogs.errors().size(), 1) << "one box for one trouble";
  EXPECT_EQ(plc.finished(), 0);
  setDataDirWritable(true);
  runPlcUntilFinished(1);
  EXPECT_EQ(endAcknowledgements(), 1);
  const auto rows = storedRecords(todaysFile());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(airPressuresOf(rows[0]), plc.airPressures(1));
  EXPECT_EQ(station.table1().tableName(), DailyTableName(clock));
  EXPECT_EQ(form().caption(), DailyFileCaption(DailyTableName(clock)));
}

// A today's file that is not a data file of this station.
struct ForeignFile {
  const char* name;
  std::function<void(const QString& path)> write;
};

class ForeignTodaysFile : public PieceStoreTrouble, public ::testing::WithParamInterface<ForeignFile> {};

TEST_P(ForeignTodaysFile, IsKeptAsideUnchangedAndANewFileTakesThePieces) {
  GetParam().write(todaysFile());
  const QByteArray foreignBytes = fileBytes(todaysFile());
  startUpShowingErrors();
  EXPECT_TRUE(startUpError.contains(todaysFile())) << "start-up shows the opening error";
  tickAndLoop();

  const QStringList aside = otherFilesInTheDataFolder();
  ASSERT_EQ(aside.size(), 1);
  EXPECT_EQ(aside[0], DailyTableName(clock) + ".not-a-station-data-file-20261209-140530");
  EXPECT_EQ(fileBytes(dataDir() + "/" + aside[0]), foreignBytes) << "kept as it was";
  ASSERT_FALSE(dialogs.errors().isEmpty());
  const QString box = dialogs.errors().back();
  EXPECT_TRUE(box.contains(todaysFile())) << box.toStdString();
  EXPECT_TRUE(box.contains(dataDir() + "/" + aside[0])) << box.toStdString();
  EXPECT_EQ(station.table1().state(), Dataset::State::Browse);

  runPlcUntilFinished(1);
  EXPECT_EQ(endAcknowledgements(), 1);
  const auto rows = storedRecords(todaysFile());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(airPressuresOf(rows[0]), plc.airPressures(1));
  EXPECT_EQ(otherFilesInTheDataFolder(), aside) << "set aside once";
  EXPECT_EQ(termination.requests, 0);
}

void sqliteTable(const QString& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ForeignTodaysFile,
    ::testing::Values(
        ForeignFile{"AnotherProgramsText", [](const QString& p) { writeBytes(p, "PRESS-1 log\n12;33;45\n"); }},
        ForeignFile{"AnEmptyFile", [](const QString& p) { writeBytes(p, {}); }},
        ForeignFile{"ATableFileWithOtherFields",
                    [](const QString& p) { sqliteTable(p, "CREATE TABLE records (SIRANO INTEGER, NOTE VARCHAR(9))"); }},
        ForeignFile{"ATableFileWithoutRecords",
                    [](const QString& p) { sqliteTable(p, "CREATE TABLE other (A INTEGER)"); }},
        ForeignFile{"ATableFileHeaderOverOtherBytes",
                    [](const QString& p) {
                      writeBytes(p, QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\x5a'));
                    }}),
    [](const ::testing::TestParamInfo<ForeignFile>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace velta::test
