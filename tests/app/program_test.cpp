// The program's life with its window (offscreen): start-up in its order, the ticks that
// begin only after FormCreate, the ways out and the clean-up order.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>

#include <unistd.h>
#include <gtest/gtest.h>

#include "app/program.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/spreadsheet/fakes/recording_spreadsheet.h"
#include "tests/plc/recording_server.h"
#include "records/daily_file.h"
#include "ui/form1.h"
#include <QTableView>

namespace velta::test {
namespace {

// A scripted server that tells when it is released.
struct LoggingServer : RecordingServer {
  QStringList* log = nullptr;
  ~LoggingServer() override {
    if (log) *log << "PlcServer released";
  }
};

class ProgramTest : public ::testing::Test {
 public:
  ProgramTest() {
    QDir().mkpath(root.path() + "/D/rododezuz/data");
    QDir().mkpath(root.path() + "/D/rododezuz/sistem");
    registry.registerClass(QString::fromLatin1(kPlcServerProgId), [this] {
      auto s = std::make_shared<LoggingServer>();
      s->values = plcValues;
      s->log = &log;
      server = s.get();
      return s;
    });
    spreadsheet->registerIn(registry);
    // The termination request leaves the event loop, as the program's does.
    termination.onRequest = [this] {
      log << "termination requested";
      QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    };
    shutdown.onRequest = [this] { log << "power off requested"; };
  }

  // Runs the program; `whileRunning` runs once the loop has started. Records the
  // clean-up as it happens.
  int run(std::function<void(Station&, TForm1&)> whileRunning = {}) {
    ProgramHooks hooks;
    hooks.running = [&](Station& station, TForm1& form) {
      stationSeen = &station;
      captionAfterStart = station.form().caption();
      edit25AfterStart = station.form().text(ctl::Edit25);
      QObject::connect(&form, &QObject::destroyed, [this] { log << "window destroyed"; });
      QObject::connect(&station.table1(), &Dataset::aboutToReset, [this, &station] {
        if (station.table1().active()) log << "Table1 closed";
      });
      if (whileRunning) QTimer::singleShot(0, &form, [&station, &form, whileRunning] { whileRunning(station, form); });
    };
    return RunProgram({dialogs, registry, shutdown, termination, clock, RegionalSettings{},
                       DriveMap(root.path())},
                      hooks);
  }

  QTemporaryDir root;
  FakeClock clock{QDate(2026, 12, 9), QTime(9, 7)};
  std::map<QString, Variant> plcValues{{"Update", 1}, {"M0", 1}};
  LoggingServer* server = nullptr;
  std::shared_ptr<RecordingSpreadsheet> spreadsheet = std::make_shared<RecordingSpreadsheet>();
  QStringList log;
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  Station* stationSeen = nullptr;
  QString captionAfterStart, edit25AfterStart;
};

void closeSoon(Station&, TForm1& form) { QTimer::singleShot(300, &form, [&form] { form.close(); }); }
// A service manager stopping the station, a log-out: the signal sent to the process.
void sigtermSoon(Station&, TForm1& form) { QTimer::singleShot(300, &form, [] { ::kill(::getpid(), SIGTERM); }); }
void sighupSoon(Station&, TForm1& form) { QTimer::singleShot(300, &form, [] { ::kill(::getpid(), SIGHUP); }); }

TEST_F(ProgramTest, FirstStartOfADayCreatesTheFileThenSecondStartFindsIt) {
  EXPECT_EQ(run(closeSoon), 0);
  EXPECT_EQ(dialogs.messages(), QStringList{"DOSYA OLUŞTURULDU"});
  EXPECT_EQ(dialogs.shown.at(0).caption, "VELTA RUZEDIVE ");
  EXPECT_EQ(captionAfterStart, "VELTA RUZEDIVE       Dosya Adı: T09122026K.tkv");
  EXPECT_EQ(edit25AfterStart, "");
  EXPECT_TRUE(QFile::exists(root.path() + "/D/rododezuz/data/T09122026K.tkv"));

  dialogs.shown.clear();
  EXPECT_EQ(run(closeSoon), 0);
  EXPECT_EQ(dialogs.messages(), QStringList{"BUGÜN İÇİN DOSYA OLUŞTURULMUŞ "});
  EXPECT_EQ(captionAfterStart, "VELTA RUZEDIVE       Dosya Adı: T09122026K.tkv");
}

TEST_F(ProgramTest, NoTickRunsWhileStartUpWaitsInItsMessageBox) {
  int callsDuringBox = -1;
  int callsAtClose = -1;
  dialogs.whileWaiting = [&](const ScriptedDialogs::Shown&) {
    QTest::qWait(700);  // more than three tick periods with the event loop running
    callsDuringBox = static_cast<int>(server->calls.size());
  };
  EXPECT_EQ(run([&](Station&, TForm1& form) {
              QTimer::singleShot(700, &form, [&] {
                callsAtClose = static_cast<int>(server->calls.size());
                form.close();
              });
            }),
            0);
  EXPECT_EQ(callsDuringBox, 1) << "only OpenProject before FormCreate has returned";
  EXPECT_GT(callsAtClose, 10) << "ticks ran once start-up was done";
}

TEST_F(ProgramTest, WithoutAServerObjectTheErrorIsShownAndTheFirstTickEndsTheProgram) {
  registry.unregisterClass(QString::fromLatin1(kPlcServerProgId));
  EXPECT_EQ(run(), kExitTickFailed);
  ASSERT_EQ(dialogs.errors().size(), 1);
  EXPECT_EQ(dialogs.shown.at(0).caption, "VELTA RUZEDIVE ");
  EXPECT_TRUE(dialogs.errors()[0].contains("FaconSvr.FaconServer"));
  EXPECT_EQ(captionAfterStart, "");
  EXPECT_EQ(edit25AfterStart, "1");  // the panel keeps its initial texts
  EXPECT_TRUE(log.contains("termination requested"));
  EXPECT_TRUE(dialogs.messages().isEmpty());
}

TEST_F(ProgramTest, AFailedSpreadsheetConnectionEndsWithApplicationErrorAndCodeOne) {
  spreadsheet->failCreate = true;
  EXPECT_EQ(run(), 1);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Error);
  EXPECT_EQ(dialogs.shown[0].caption, "Application Error");
  EXPECT_EQ(server, nullptr) << "FormCreate never ran";
  EXPECT_TRUE(QDir(root.path() + "/D/rododezuz/data").isEmpty());
}

TEST_F(ProgramTest, TheGridShowsTodaysRecordsAndAClickOrAKeyShowsOneInTheDetailPanel) {
  const QString dir = root.path() + "/D/rododezuz/data";
  Dataset::createTable(dir, "T09122026K.tkv", DailyFileFields(), DailyFileIndex());
  {
    Dataset t("T");
    t.setFieldDefs(DailyFileFields());
    t.setTableName(dir + "/T09122026K.tkv");
    t.open();
    for (const char* serial : {"T09122026K0800V", "T09122026K0801V", "T09122026K0802V"}) {
      t.append();
      t.setFieldText("SERiNO", serial);
      t.setFieldText("HAVA", "6.5");
      t.post();
    }
  }
  QStringList shown;
  EXPECT_EQ(run([&](Station& station, TForm1& form) {
              QTableView* grid = form.DBGrid1();
              EXPECT_EQ(grid->model()->rowCount(), 3);
              EXPECT_EQ(station.form().text(ctl::Edit6), " ");  // nothing shown yet
              QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                grid->visualRect(grid->model()->index(1, 1)).center());
              shown << station.form().text(ctl::Edit6) << station.form().text(ctl::Edit9);
              QTest::keyClick(grid, Qt::Key_Down);
              shown << station.form().text(ctl::Edit6);
              form.close();
            }),
            0);
  EXPECT_EQ(shown, (QStringList{"T09122026K0801V", "6.5", "T09122026K0802V"}));
}

// Every way out runs the same clean-up, in the same order.
struct WayOut {
  const char* name;
  std::function<void(ProgramTest&)> arrange;
  std::function<void(Station&, TForm1&)> act;
  QStringList before;  // what happens first
  int exitCode;
};

void PrintTo(const WayOut& w, std::ostream* os) { *os << w.name; }

class ProgramWaysOut : public ProgramTest, public ::testing::WithParamInterface<WayOut> {};

TEST_P(ProgramWaysOut, EndWithTheSameCleanUp) {
  const WayOut& w = GetParam();
  if (w.arrange) w.arrange(*this);
  QString edit8AtEnd;
  termination.onRequest = [this, &edit8AtEnd] {
    log << "termination requested";
    if (stationSeen) edit8AtEnd = stationSeen->form().text(8);
    QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  };
  EXPECT_EQ(run(w.act), w.exitCode);
  QStringList expected = w.before;
  expected << "window destroyed" << "Table1 closed" << "PlcServer released";
  EXPECT_EQ(log, expected);
  EXPECT_EQ(spreadsheet->liveObjects, 0) << "ExcelApplication1 let go";
  for (const QString& c : spreadsheet->calls) EXPECT_FALSE(c.contains("Quit"));
  if (QString(w.name) == "ShutdownCommand") {
    EXPECT_EQ(edit8AtEnd, "Bilgisayar kapat komutu");
    EXPECT_EQ(shutdown.powerOffRequests, 1);
  } else {
    EXPECT_EQ(shutdown.powerOffRequests, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Program, ProgramWaysOut,
    ::testing::Values(
        WayOut{"WindowClosed", nullptr, closeSoon, {}, 0},
        WayOut{"Sigterm", nullptr, sigtermSoon, {}, 0},
        WayOut{"Sighup", nullptr, sighupSoon, {}, 0},
        WayOut{"ShutdownCommand", [](ProgramTest& f) { f.plcValues["M7"] = 1; }, nullptr,
               {"power off requested", "termination requested"}, 0},
        // A failed tick ends the same way, with a status a supervisor can tell apart.
        WayOut{"FailedTick", [](ProgramTest& f) { f.plcValues["R5"] = QStringLiteral("12.5"); },
               nullptr, {"termination requested"}, kExitTickFailed}),
    [](const ::testing::TestParamInfo<WayOut>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace velta::test
