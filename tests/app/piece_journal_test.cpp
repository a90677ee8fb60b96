// The piece in progress across a crash of the station: the station is dropped at each
// point of the handshake (its memory gone, the PLC's and the files kept), started again
// on the same root, and every piece the PLC finished is stored exactly once with the air
// pressures the PLC held for each of its phases. A journal that does not belong to the
// piece the PLC goes on with is kept aside, never stored.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <functional>
#include <memory>
#include <set>

#include "tests/app/handshake_plc.h"
#include "tests/app/station_fixture.h"
#include "tests/support/data_file_checks.h"

namespace velta::test {
namespace {

class RestartingStation : public ::testing::Test {
 protected:
  RestartingStation() {
    QDir().mkpath(dataDir());
    QDir().mkpath(root.path() + "/D/rododezuz/sistem");
    registry.registerClass(QString::fromLatin1(kPlcServerProgId), [this] {
      auto s = std::make_shared<RecordingServer>();
      s->values = plcMemory;
      server = s.get();
      return s;
    });
  }

  QString dataDir() const { return root.path() + "/D/rododezuz/data"; }
  QString todaysFile() const { return dataDir() + "/" + DailyTableName(clock); }
  QString journalPath() const { return dataDir() + "/piece-in-progress.journal"; }

  void start() {
    station = std::make_unique<Station>(PlatformServices{dialogs, registry, shutdown, termination, clock,
                                                         RegionalSettings{}, DriveMap(root.path())});
    station->pollCycle().setFailureSink([this](const QString& r) { failures << r; });
    station->setSequencerLog([this](const QString& line) { log << line; });
    station->FormCreate();
    ++starts;
  }
  // The station is gone at once: nothing it held in memory survives; the PLC keeps its
  // memory and the disk its files.
  void crash() {
    plcMemory = server->values;
    station.reset();
    server = nullptr;
  }
  // One 200 ms tick and the event loop's turn.
  void tick() {
    clock.time = clock.time.addMSecs(200);
    station->Timer1Timer();
    QCoreApplication::processEvents();
  }
  // A PLC scan, then a tick.
  void scanAndTick() {
    plc.scan(server->values);
    tick();
  }
  FormState& form() { return station->form(); }
  JournaledPiece panelPiece(int phases) {
    JournaledPiece p;
    p.serialNumber = form().text(ctl::Edit25);
    for (int i = 0; i < 16; ++i) p.values[static_cast<size_t>(i)] = form().text(ctl::Edit26 + i);
    p.phases = phases;
    p.written = QDateTime(clock.date, clock.time);
    return p;
  }
  qint64 lastSirano() {
    Dataset t(QStringLiteral("Check"));
    t.setTableName(todaysFile());
    t.open();
    return t.recordCount() == 0 ? 0 : t.valueAt(t.recordCount() - 1, 0).toLongLong();
  }
  QStringList keptAside() const {
    return QDir(dataDir()).entryList({QStringLiteral("piece-in-progress.journal.*")}, QDir::Files);
  }
  static QStringList airPressuresOf(const QStringList& row) { return {row[1], row[5], row[9], row[13]}; }

  QTemporaryDir root;
  FakeClock clock{QDate(2026, 12, 9), QTime(14, 5, 30)};
  std::map<QString, Variant> plcMemory{{"Update", 1}, {"M0", 1}};
  HandshakePlc plc;
  RecordingServer* server = nullptr;
  QStringList failures, log;
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  std::unique_ptr<Station> station;
  int starts = 0;
};

// Where the station goes down: right after the tick that acknowledged a stage's bit (the
// acknowledgement reached the PLC or was lost with the station), or inside the store of
// a finished piece (before its append, or after it and before the journal's removal).
struct CrashPoint {
  const char* name;
  int stage;  // 0 .. 3: phase 1 .. 4, 4: end of piece
  enum { AckReachedThePlc, AckLost, BeforeTheAppend, AfterTheAppend } when;
};
void PrintTo(const CrashPoint& c, std::ostream* os) { *os << c.name; }

class CrashedStation : public RestartingStation, public ::testing::WithParamInterface<CrashPoint> {};

TEST_P(CrashedStation, EveryFinishedPieceIsStoredOnceWithThePlcsReadings) {
  const CrashPoint& c = GetParam();
  constexpr int kPieces = 4;
  const std::set<int> crashedPieces{2, 3};
  std::set<int> crashed;
  start();
  for (int guard = 0; plc.finished() < kPieces && guard < 2000; ++guard) {
    plc.scan(server->values);
    const QString bit = HandshakePlc::bitName(c.stage);
    const bool crashHere = crashedPieces.count(plc.piece()) && !crashed.count(plc.piece()) &&
                           plc.stage() == c.stage && plc.bitUp() && server->values[bit] == Variant(1);
    if (crashHere && (c.when == CrashPoint::BeforeTheAppend || c.when == CrashPoint::AfterTheAppend)) {
      // The store's own crash window, laid out on the disk as the station leaves it:
      // the journal names the file the piece goes to and that file's last SIRANO before.
      JournaledPiece storing = panelPiece(4);
      storing.storingInto = station->table1().filePath();
      storing.lastSiranoBefore = lastSirano();
      if (c.when == CrashPoint::AfterTheAppend) {
        tick();  // appends, removes the journal, acknowledges
        ASSERT_EQ(lastSirano(), storing.lastSiranoBefore + 1);
        server->values[bit] = Variant(1);  // the acknowledgement never left the PC
      }
      PieceJournal(journalPath()).write(storing);
      crashed.insert(plc.piece());
      crash();
      start();
      continue;
    }
    tick();
    if (crashHere && server->values[bit] == Variant(0)) {
      if (c.when == CrashPoint::AckLost) server->values[bit] = Variant(1);
      crashed.insert(plc.piece());
      crash();
      start();
    }
  }
  ASSERT_EQ(plc.finished(), kPieces);
  EXPECT_EQ(starts, 3) << "crashed twice";
  const auto rows = storedRecords(todaysFile());
  ASSERT_EQ(rows.size(), static_cast<size_t>(kPieces));
  for (int piece = 1; piece <= kPieces; ++piece) {
    EXPECT_EQ(airPressuresOf(rows[static_cast<size_t>(piece - 1)]), plc.airPressures(piece)) << "piece " << piece;
    EXPECT_EQ(rows[static_cast<size_t>(piece - 1)][0], "T09122026K1405V") << "piece " << piece;
  }
  const std::vector<qint64> numbers = storedSiranos(todaysFile());
  EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()) &&
              std::adjacent_find(numbers.begin(), numbers.end()) == numbers.end());
  EXPECT_FALSE(QFile::exists(journalPath())) << "no piece in progress left";
  EXPECT_EQ(keptAside(), QStringList{});
  EXPECT_EQ(dialogs.errors(), QStringList{});
  EXPECT_TRUE(failures.isEmpty()) << failures.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Points, CrashedStation,
    ::testing::Values(CrashPoint{"AfterPhase1", 0, CrashPoint::AckReachedThePlc},
                      CrashPoint{"AfterPhase2", 1, CrashPoint::AckReachedThePlc},
                      CrashPoint{"AfterPhase3", 2, CrashPoint::AckReachedThePlc},
                      CrashPoint{"AfterPhase4", 3, CrashPoint::AckReachedThePlc},
                      CrashPoint{"AfterTheEndOfPiece", 4, CrashPoint::AckReachedThePlc},
                      CrashPoint{"Phase1JournaledItsAckLost", 0, CrashPoint::AckLost},
                      CrashPoint{"Phase2JournaledItsAckLost", 1, CrashPoint::AckLost},
                      CrashPoint{"Phase3JournaledItsAckLost", 2, CrashPoint::AckLost},
                      CrashPoint{"Phase4JournaledItsAckLost", 3, CrashPoint::AckLost},
                      CrashPoint{"PieceStoredItsEndAckLost", 4, CrashPoint::AckLost},
                      CrashPoint{"InTheStoreBeforeTheAppend", 4, CrashPoint::BeforeTheAppend},
                      CrashPoint{"InTheStoreAfterTheAppend", 4, CrashPoint::AfterTheAppend}),
    [](const ::testing::TestParamInfo<CrashPoint>& p) { return std::string(p.param.name); });

// A journal left behind that the PLC does not go on with.
struct LeftJournal {
  const char* name;
  QDateTime written;       // invalid: bytes below instead of a journal
  int phases;              // in the journal
  int plcStage;            // where the PLC stands at start-up (4: end of piece; -1: idle,
                           // starting piece 1 from its first phase a second later)
  bool transferOff;
  QByteArray bytes;        // when not a journal
  const char* reason;      // in the log line and the box
};
void PrintTo(const LeftJournal& j, std::ostream* os) { *os << j.name; }

class LeftBehindJournal : public RestartingStation, public ::testing::WithParamInterface<LeftJournal> {};

TEST_P(LeftBehindJournal, IsKeptAsideToldAndNeverStored) {
  const LeftJournal& j = GetParam();
  if (j.written.isValid()) {
    JournaledPiece p;
    p.serialNumber = QStringLiteral("T08122026K0930V");
    for (size_t i = 0; i < 16; ++i) p.values[i] = i < static_cast<size_t>(4 * j.phases) ? "7.777" : "";
    p.phases = j.phases;
    p.written = j.written;
    PieceJournal(journalPath()).write(p);
  } else {
    QFile f(journalPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(j.bytes);
  }
  QFile original(journalPath());
  ASSERT_TRUE(original.open(QIODevice::ReadOnly));
  const QByteArray bytes = original.readAll();
  original.close();
  if (j.transferOff) plcMemory["M0"] = Variant(0);
  if (j.plcStage >= 0) plc.standAt(plcMemory, 1, j.plcStage);
  start();
  for (int i = 0; i < 6; ++i) j.plcStage >= 0 ? scanAndTick() : tick();
  if (j.transferOff) server->values["M0"] = Variant(1);
  for (int guard = 0; plc.finished() < 2 && guard < 500; ++guard) scanAndTick();
  ASSERT_EQ(plc.finished(), 2);

  const QStringList aside = keptAside();
  ASSERT_EQ(aside.size(), 1);
  EXPECT_TRUE(aside[0].startsWith("piece-in-progress.journal.not-stored-20261209-")) << aside[0].toStdString();
  QFile kept(dataDir() + "/" + aside[0]);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), bytes) << "kept as it was";
  ASSERT_EQ(dialogs.errors().size(), 1);
  EXPECT_TRUE(dialogs.errors()[0].startsWith("YARIM KALAN TEST PARÇASI KAYDEDİLMEDİ")) << dialogs.errors()[0].toStdString();
  EXPECT_TRUE(dialogs.errors()[0].contains(dataDir() + "/" + aside[0]));
  EXPECT_TRUE(dialogs.errors()[0].contains(QString::fromUtf8(j.reason))) << dialogs.errors()[0].toStdString();
  // No record holds the journal's readings; a piece the PLC ran whole from its first
  // phase is stored with its own.
  for (const QStringList& row : storedRecords(todaysFile())) {
    EXPECT_FALSE(row.contains("7.777"));
    EXPECT_NE(row[0], "T08122026K0930V");
  }
  const auto rows = storedRecords(todaysFile());
  const int wholePieces = j.plcStage <= 0 ? 2 : 1;
  ASSERT_EQ(rows.size(), static_cast<size_t>(wholePieces));
  EXPECT_EQ(airPressuresOf(rows.back()), plc.airPressures(2));
  EXPECT_FALSE(QFile::exists(journalPath()));
}

const QDateTime kToday(QDate(2026, 12, 9), QTime(14, 1, 0));

INSTANTIATE_TEST_SUITE_P(
    Kinds, LeftBehindJournal,
    ::testing::Values(
        LeftJournal{"FromAnotherDay", QDateTime(QDate(2026, 12, 8), QTime(9, 30, 0)), 2, 2, false, {},
                    "written on 08.12.2026 09:30:00, another day"},
        LeftJournal{"ThePlcStartsANewPiece", kToday, 3, 0, false, {}, "asked for phase 1"},
        LeftJournal{"ThePlcSkipsAPhase", kToday, 1, 2, false, {}, "asked for phase 3"},
        LeftJournal{"ThePlcEndsThePieceTooEarly", kToday, 2, 4, false, {}, "asked for the end of the piece"},
        LeftJournal{"ThePlcTurnsTransferOff", kToday, 2, -1, true, {}, "turned data transfer off"},
        LeftJournal{"NotAJournal", {}, 0, 2, false, "PRESS-1 notes\n", "not a piece journal"},
        LeftJournal{"CutShort", {}, 0, 2, false, "velta-station piece in progress 1\nwritten=2026-12-09T14:01:00.000\n",
                    "ends before its last line"}),
    [](const ::testing::TestParamInfo<LeftJournal>& p) { return std::string(p.param.name); });

TEST_F(RestartingStation, APieceAcrossMidnightIsStoredWholeInTheNewDaysFile) {
  clock.set(QDate(2026, 12, 9), QTime(23, 59, 58));
  start();
  for (int guard = 0; !(plc.stage() == 2 && plc.bitUp()) && guard < 100; ++guard) scanAndTick();  // phases 1, 2
  ASSERT_EQ(plc.stage(), 2);
  const QString serial = form().text(ctl::Edit25);
  EXPECT_EQ(serial, "T09122026K2359V");
  crash();
  clock.set(QDate(2026, 12, 10), QTime(0, 1, 0));
  start();
  for (int guard = 0; plc.finished() < 1 && guard < 100; ++guard) scanAndTick();
  const auto rows = storedRecords(dataDir() + "/T10122026K.tkv");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], serial);
  EXPECT_EQ(airPressuresOf(rows[0]), plc.airPressures(1));
  EXPECT_EQ(keptAside(), QStringList{});
}

}  // namespace
}  // namespace velta::test
