// The test-cycle sequencer as the station runs it: PLC bits per tick against the PLC
// values panel, the acknowledgements written and the records stored in the day's file.
#include <QFile>

#include "tests/app/station_fixture.h"

namespace velta::test {
namespace {

using Bits = std::map<QString, Variant>;

QStringList groupWrites(const QStringList& calls) {
  QStringList out;
  for (const QString& c : calls)
    if (c.startsWith("Set ") && !c.startsWith("Set System/")) out << c.mid(4);
  return out;
}

struct Scenario {
  const char* name;
  std::vector<Bits> ticks;     // values the PLC shows before each tick (kept between ticks)
  QStringList writes;          // acknowledgements over all ticks, in order
  int records;                 // records in today's file afterwards
  QString edit25, edit26, edit30;  // panel afterwards
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class SequencerScenarios : public StationFixture, public ::testing::WithParamInterface<Scenario> {};

TEST_P(SequencerScenarios, BitsGiveThePanelTheWritesAndTheRecords) {
  const Scenario& s = GetParam();
  startUp();
  tick();  // first tick: readouts get the readings of R5 = 6543 ("6.543")
  server->calls.clear();
  for (const Bits& bits : s.ticks) {
    for (const auto& [item, value] : bits) server->values[item] = value;
    tick();
  }
  EXPECT_TRUE(failures.isEmpty()) << failures.join("; ").toStdString();
  EXPECT_EQ(groupWrites(server->calls), s.writes);
  EXPECT_EQ(static_cast<int>(storedRecords(todaysFile()).size()), s.records);
  EXPECT_EQ(form().text(ctl::Edit25), s.edit25);
  EXPECT_EQ(form().text(ctl::Edit26), s.edit26);
  EXPECT_EQ(form().text(ctl::Edit26 + 4), s.edit30);
}

const QString kSerial = QStringLiteral("T09122026K1405V");
const QString kZero = QStringLiteral("integer 0");

INSTANTIATE_TEST_SUITE_P(
    Station, SequencerScenarios,
    ::testing::Values(
        Scenario{"FourPhasesInOneTick",
                 {{{"M2", 1}, {"M3", 1}, {"M4", 1}, {"M5", 1}}},
                 {"M2 " + kZero, "M3 " + kZero, "M4 " + kZero, "M5 " + kZero}, 0, kSerial,
                 "6.543", "6.543"},
        Scenario{"EndOfPieceWithAnEmptyPanelStoresNothing", {{{"M6", 1}}}, {"M6 " + kZero}, 0, "",
                 "", ""},
        Scenario{"EndOfPieceAfterPhaseOneOnly",
                 {{{"M2", 1}}, {{"M6", 1}}},
                 {"M2 " + kZero, "M6 " + kZero}, 1, "", "", ""},
        Scenario{"TransferOffWithPhaseOneAndEndTogetherStores",
                 {{{"M0", 0}, {"M2", 1}, {"M6", 1}}},
                 {"M2 " + kZero, "M6 " + kZero}, 1, "", "", ""},
        Scenario{"TransferOffLosesAPhaseAtTheEndOfItsTick",
                 {{{"M0", 0}, {"M2", 1}}, {{"M6", 1}}},
                 {"M2 " + kZero, "M6 " + kZero}, 0, "", "", ""},
        Scenario{"TransferAsTwoNeitherChecksNorClears",
                 {{{"M0", 2}, {"M2", 1}}, {{"M3", 1}}},
                 {"M2 " + kZero, "M3 " + kZero}, 0, kSerial, "6.543", "6.543"},
        Scenario{"TransferAsNullNeitherChecksNorClears",
                 {{{"M0", Variant::null()}, {"M2", 1}}},
                 {"M2 " + kZero}, 0, kSerial, "6.543", ""},
        Scenario{"ABooleanBitNeverCountsAsOne", {{{"M2", true}, {"M6", true}}}, {}, 0, "", "", ""},
        Scenario{"PhasesInAnyOrderEachServedWhenSet",
                 {{{"M4", 1}}, {{"M3", 1}}, {{"M2", 1}}},
                 {"M4 " + kZero, "M3 " + kZero, "M2 " + kZero}, 0, kSerial, "6.543", "6.543"}),
    [](const ::testing::TestParamInfo<Scenario>& p) { return std::string(p.param.name); });

class Sequencer : public StationFixture {
 protected:
  void SetUp() override {
    initialValues["R5"] = 6543;
    startUp();
    tick();
  }
};

TEST_F(Sequencer, AWholePieceIsStoredWithEachPhasesReadingsFromThePreviousTick) {
  const int r5[] = {1000, 2000, 3000, 4000};
  const char* bits[] = {"M2", "M3", "M4", "M5"};
  for (int p = 0; p < 4; ++p) {
    server->values["R5"] = r5[p];  // shown at the end of this tick, captured at the next
    tick();
    server->values[bits[p]] = 1;
  }
  tick();
  server->values["M6"] = 1;
  tick();
  const auto rows = storedRecords(todaysFile());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "T09122026K1405V");
  EXPECT_EQ(rows[0][1], "1");
  EXPECT_EQ(rows[0][5], "2");
  EXPECT_EQ(rows[0][9], "3");
  EXPECT_EQ(rows[0][13], "4");
  EXPECT_EQ(rows[0][2], "0");  // load: R10 and R11 are 0
  for (int e = ctl::Edit25; e <= ctl::Edit41; ++e) EXPECT_EQ(form().text(e), "") << e;
}

TEST_F(Sequencer, TheSamePhaseBitAgainIsCapturedAgainWithTheNewerReadings) {
  server->values["M2"] = 1;
  tick();
  EXPECT_EQ(form().text(ctl::Edit26), "6.543");
  server->values["R5"] = 7000;
  tick();  // readouts now 7.000; M2 was acknowledged
  clock.time = QTime(14, 6);
  server->values["M2"] = 1;
  tick();
  EXPECT_EQ(form().text(ctl::Edit26), "7.000");
  EXPECT_EQ(form().text(ctl::Edit25), "T09122026K1406V");
}

TEST_F(Sequencer, AFileOpenedFromTheDialogGoesBackToTodaysWhenTransferTurnsOn) {
  // Browse another day's file while transfer is off.
  server->values["M0"] = 0;
  Dataset::createTable(root.path() + "/D/rododezuz/data", "T08122026K.tkv", DailyFileFields(),
                       DailyFileIndex());
  dialogs.files.push_back(dataFile("T08122026K.tkv"));
  station.SpeedButton1Click();
  tick();
  ASSERT_EQ(station.table1().tableName(), dataFile("T08122026K.tkv"));
  EXPECT_TRUE(form().caption().endsWith("T08122026K.tkv"));
  // Transfer on with phase 1 in the same tick: switched and cleared before the capture.
  server->values["M0"] = 1;
  server->values["M2"] = 1;
  form().setText(ctl::Edit26 + 4, "stale");
  tick();
  EXPECT_EQ(station.table1().tableName(), "T09122026K.tkv");
  EXPECT_TRUE(form().caption().endsWith("T09122026K.tkv"));
  EXPECT_EQ(form().text(ctl::Edit26 + 4), "");
  EXPECT_EQ(form().text(ctl::Edit26), "6.543");
}

TEST_F(Sequencer, TodaysOwnFileChosenInTheDialogIsReopenedByName) {
  server->values["M0"] = 0;
  tick();
  dialogs.files.push_back(todaysFile());
  station.SpeedButton1Click();
  EXPECT_EQ(station.table1().tableName(), todaysFile());
  server->values["M0"] = 1;
  tick();
  EXPECT_EQ(station.table1().tableName(), "T09122026K.tkv");
}

TEST_F(Sequencer, AFailedAppendLeavesTheEndBitUnacknowledgedAndTheFileUnchanged) {
  server->values["M2"] = 1;
  tick();
  form().setText(ctl::Edit26 + 4, "12,5,1");  // no number: the record cannot be built
  QFile f(todaysFile());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray before = f.readAll();
  f.close();
  server->calls.clear();
  server->values["M6"] = 1;
  tick();
  EXPECT_EQ(termination.requests, 1);
  ASSERT_EQ(failures.size(), 1);
  EXPECT_TRUE(failures[0].contains("'12,5,1' is not a valid floating point value for field 'HAVA1'"))
      << failures[0].toStdString();
  EXPECT_TRUE(groupWrites(server->calls).isEmpty());
  EXPECT_EQ(server->values["M6"], Variant(1));
  EXPECT_EQ(form().text(ctl::Edit25), "T09122026K1405V");  // panel not cleared
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), before);
}

// The day change: a station that runs past midnight with transfer on.
TEST_F(Sequencer, RunsIntoTheNewDayAndStoresThePieceOfMidnightWholeInTheNewFile) {
  clock.time = QTime(23, 59, 40);
  server->values["M2"] = 1;
  tick();
  server->values["M3"] = 1;
  tick();
  clock.set(QDate(2026, 12, 10), QTime(0, 0, 2));
  server->values["M4"] = 1;
  tick();  // the check finds a new day: file created and opened, the piece kept
  EXPECT_TRUE(dialogs.shown.size() == 1) << "no message box inside a tick";
  EXPECT_EQ(station.table1().tableName(), "T10122026K.tkv");
  EXPECT_TRUE(form().caption().endsWith("T10122026K.tkv"));
  server->values["M5"] = 1;
  tick();
  server->values["M6"] = 1;
  tick();
  EXPECT_TRUE(failures.isEmpty()) << failures.join("; ").toStdString();
  EXPECT_TRUE(storedRecords(dataFile("T09122026K.tkv")).empty());
  const auto rows = storedRecords(dataFile("T10122026K.tkv"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "T09122026K2359V");  // the serial number keeps its first phase's date
  for (int f = 1; f <= 16; ++f) EXPECT_FALSE(rows[0][f].isEmpty()) << f;  // all four phases
  // The next day's pieces go on into the new file.
  clock.time = QTime(0, 1);
  server->values["M2"] = 1;
  tick();
  server->values["M6"] = 1;
  tick();
  EXPECT_EQ(storedRecords(dataFile("T10122026K.tkv")).size(), 2u);
}

TEST_F(Sequencer, ANewDaysFileThatAlreadyExistsIsOpenedNotReplaced) {
  Dataset::createTable(root.path() + "/D/rododezuz/data", "T10122026K.tkv", DailyFileFields(),
                       DailyFileIndex());
  {
    Dataset t("T");
    t.setFieldDefs(DailyFileFields());
    t.setTableName(dataFile("T10122026K.tkv"));
    t.open();
    t.append();
    t.setFieldText("SERiNO", "EARLIER");
    t.post();
  }
  clock.set(QDate(2026, 12, 10), QTime(0, 0, 1));
  tick();
  EXPECT_EQ(station.table1().tableName(), "T10122026K.tkv");
  EXPECT_EQ(storedRecords(dataFile("T10122026K.tkv")).size(), 1u);
}

// A server that fails at its n-th call of a tick ends the program through the guard,
// leaving every stored record whole and nothing half-stored.
TEST_F(Sequencer, AServerFailingAtAnyCallOfATickEndsTheProgramWithTheFileIntact) {
  // A tick that runs the full handshake: every bit set, a piece in the panel.
  server->values["M2"] = 1;
  tick();
  const Bits all{{"M2", 1}, {"M3", 1}, {"M4", 1}, {"M5", 1}, {"M6", 1}, {"M8", 1}};
  for (auto& [k, v] : all) server->values[k] = v;
  server->calls.clear();
  tick();
  const int callsInTick = static_cast<int>(server->calls.size());
  ASSERT_GE(callsInTick, 17);
  ASSERT_EQ(storedRecords(todaysFile()).size(), 1u);

  struct Failing : RecordingServer {
    int calls = 0;
    int failAt = 0;
    void check() {
      if (calls++ == failAt) throw Error("server call failed");
    }
    Variant GetItem(const QString& g, const QString& i) override {
      check();
      return RecordingServer::GetItem(g, i);
    }
    void SetItem(const QString& g, const QString& i, const Variant& v) override {
      check();
      RecordingServer::SetItem(g, i, v);
    }
  };
  const std::map<QString, Variant> plc = server->values;  // the server is replaced below
  for (int failAt = 0; failAt < callsInTick; ++failAt) {
    SCOPED_TRACE(failAt);
    // A quiet tick first: the readouts come from this server's link before the bits rise.
    auto failing = std::make_shared<Failing>();
    failing->values = plc;
    for (auto& [k, v] : all) failing->values[k] = 0;
    failing->failAt = -1;
    station.plcServer() = failing;
    tick();
    for (auto& [k, v] : all) failing->values[k] = v;
    failing->calls = 0;
    failing->failAt = failAt;
    form().setText(ctl::Edit25, "T09122026K1405V");
    const size_t before = storedRecords(todaysFile()).size();
    const int terminations = termination.requests;
    tick();
    EXPECT_EQ(termination.requests, terminations + 1);
    const size_t after = storedRecords(todaysFile()).size();
    EXPECT_LE(after - before, 1u);
    // A record is stored only when the append was reached, and then whole.
    const auto rows = storedRecords(todaysFile());
    for (const auto& r : rows) EXPECT_FALSE(r[0].isEmpty());
    EXPECT_FALSE(station.table1().state() == Dataset::State::Insert);
  }
}

}  // namespace
}  // namespace velta::test

namespace velta::test {
namespace {

// A recording server that numbers its link sessions, as the real item server does.
struct SessionServer : RecordingServer, LinkSessions {
  quint64 session = 1;
  quint64 linkSession() override { return session; }
};

// Phase capture and link gaps: a phase is captured only from readouts that a good
// refresh of the present link session brought; otherwise the bit stays waiting.
class CaptureAfterGap : public StationFixture {
 protected:
  CaptureAfterGap() {
    registry.registerClass(QString::fromLatin1(kPlcServerProgId), [this] {
      auto s = std::make_shared<SessionServer>();
      s->values = initialValues;
      server = s.get();
      sessionServer = s.get();
      return s;
    });
  }
  QStringList acks() const { return groupWrites(server->calls); }
  SessionServer* sessionServer = nullptr;
};

TEST_F(CaptureAfterGap, APhasePendingAtStartUpWaitsOneTickAndGetsTheMeasuredReadings) {
  initialValues["M2"] = 1;
  initialValues["R5"] = 4321;
  startUp();
  tick();  // readouts still hold their initial texts ("22"): nothing captured
  EXPECT_TRUE(acks().isEmpty()) << acks().join(", ").toStdString();
  EXPECT_EQ(form().text(ctl::Edit26), "");
  EXPECT_EQ(form().text(ctl::Edit25), "");
  tick();
  EXPECT_EQ(acks(), QStringList{"M2 integer 0"});
  EXPECT_EQ(form().text(ctl::Edit26), "4.321");
}

TEST_F(CaptureAfterGap, TheFirstTickAfterTheLinkWasDownDoesNotCapture) {
  startUp();
  tick();  // readouts 6.543 over the link
  server->values["Update"] = 0;
  tick();  // link down: the readouts show kept values
  server->values["Update"] = 1;
  server->values["M2"] = 1;  // came back together with new registers
  server->values["R5"] = 7777;
  server->calls.clear();
  tick();
  EXPECT_TRUE(acks().isEmpty());
  EXPECT_EQ(form().text(ctl::Edit26), "");
  tick();
  EXPECT_EQ(acks(), QStringList{"M2 integer 0"});
  EXPECT_EQ(form().text(ctl::Edit26), "7.777");
}

TEST_F(CaptureAfterGap, AGapBetweenTwoTicksIsSeenByItsNewSession) {
  startUp();
  tick();
  // The link dropped and came back between two ticks: Update is 1 at both.
  sessionServer->session = 2;
  server->values["M3"] = 1;
  server->values["R5"] = 1234;
  server->calls.clear();
  tick();
  EXPECT_TRUE(acks().isEmpty());
  tick();
  EXPECT_EQ(acks(), QStringList{"M3 integer 0"});
  EXPECT_EQ(form().text(ctl::Edit26 + 4), "1.234");
}

TEST_F(CaptureAfterGap, AfterPlcConnectTheNewServersFirstTickDoesNotCapture) {
  startUp();
  tick();
  initialValues["M2"] = 1;
  initialValues["R5"] = 2222;
  station.pollCycle().SpeedButton7Click();  // a new server object, same session number
  server->calls.clear();
  tick();
  EXPECT_TRUE(acks().isEmpty());
  tick();
  EXPECT_EQ(acks(), QStringList{"M2 integer 0"});
  EXPECT_EQ(form().text(ctl::Edit26), "2.222");
}

TEST_F(CaptureAfterGap, TheEndOfAPieceIsStoredAtTheFirstTickAfterAGap) {
  startUp();
  tick();
  server->values["M2"] = 1;
  tick();
  server->values["Update"] = 0;
  tick();
  // Back with M6 set: the captured phases are kept values of their own moment.
  server->values["Update"] = 1;
  server->values["M6"] = 1;
  server->calls.clear();
  tick();
  EXPECT_EQ(acks(), QStringList{"M6 integer 0"});
  ASSERT_EQ(storedRecords(todaysFile()).size(), 1u);
  EXPECT_EQ(storedRecords(todaysFile())[0][1], "6.543");
}

}  // namespace
}  // namespace velta::test
