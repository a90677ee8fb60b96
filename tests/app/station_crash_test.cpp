// The whole station killed with SIGKILL at random moments while the simulated machine
// runs on over the network, and started again each time (the machine waits at its
// unacknowledged bit meanwhile, as a PLC does). Afterwards every piece the machine
// finished is stored exactly once, each phase's four values equal to the registers the
// machine held when it set that phase's bit, every file passes SQLite's integrity check
// and SIRANO only grows. The station's log of the run is checked line by line.
//
// VELTA_STATION_KILLS sets the number of kills (default 10; the README's long run: 100).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "platform/itemserver/wire/sim/modbus_peer.h"
#include "platform/itemserver/wire/sim/sim_machine.h"
#include "records/daily_file.h"
#include "tests/app/machine_truth.h"
#include "tests/app/station_fixture.h"
#include "tests/support/data_file_checks.h"

namespace velta::test {
namespace {

using namespace std::chrono_literals;

int killsToMake() {
  const int n = qEnvironmentVariableIntValue("VELTA_STATION_KILLS");
  return n > 0 ? n : 10;
}

TEST(StationCrash, EveryFinishedPieceIsStoredOnceWithItsOwnValuesAfterKills) {
  PlcMemory memory(256, 256, 2000);
  ModbusPeer peer(memory);
  peer.start();
  MachineSettings ms;
  ms.seed = 20261211;
  ms.pieceIntervalMs = 300;
  // The station captures the readings its tick before showed; with Timer1's 200 ms a
  // phase's readings must stand two ticks before its bit, as a PLC program's do.
  ms.phaseIntervalMs = 450;
  ms.exactReadings = true;
  SimMachine machine(memory, ms);
  MachineTruth truth;
  truth.watch(machine, memory);
  std::atomic<bool> stop{false};
  std::thread machineLoop([&] {
    while (!stop) {
      machine.step();
      std::this_thread::sleep_for(5ms);
    }
  });

  QTemporaryDir root;
  QDir().mkpath(root.path() + "/D/rododezuz/data");
  QDir().mkpath(root.path() + "/D/rododezuz/sistem");
  {
    QFile f(root.path() + "/D/rododezuz/sistem/fatekserver.fcs");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("[server]\ndriver = modbus-tcp\nhost = 127.0.0.1\nport = %1\nrefresh-period-ms = 20\n")
                .arg(peer.port())
                .toUtf8());
  }
  const QString dataDir = root.path() + "/D/rododezuz/data";

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("VELTA_STATION_ROOT", root.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  QString log;
  auto startStation = [&](QProcess& p) {
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VELTA_STATION_PROCESS), {});
    ASSERT_TRUE(p.waitForStarted(10000));
    ASSERT_TRUE(p.waitForReadyRead(20000)) << p.readAllStandardError().toStdString();
  };

  const int kills = killsToMake();
  std::mt19937 rng(20261211);
  std::uniform_int_distribution<int> runMs(200, 3500);
  for (int k = 0; k < kills; ++k) {
    QProcess station;
    startStation(station);
    std::this_thread::sleep_for(std::chrono::milliseconds(runMs(rng)));
    ::kill(static_cast<pid_t>(station.processId()), SIGKILL);
    ASSERT_TRUE(station.waitForFinished(10000));
    EXPECT_EQ(station.exitStatus(), QProcess::CrashExit);
    log += QString::fromLocal8Bit(station.readAllStandardError());
  }

  // The last run: a link gap in the middle, then closed as a service manager would.
  const int finishedBefore = machine.piecesFinished();
  {
    QProcess station;
    startStation(station);
    for (int guard = 0; machine.piecesFinished() < finishedBefore + 2 && guard < 400; ++guard)
      std::this_thread::sleep_for(50ms);
    const int port = peer.port();
    peer.stop();
    std::this_thread::sleep_for(600ms);
    peer.start(port);
    for (int guard = 0; machine.piecesFinished() < finishedBefore + 4 && guard < 400; ++guard)
      std::this_thread::sleep_for(50ms);
    ::kill(static_cast<pid_t>(station.processId()), SIGTERM);
    ASSERT_TRUE(station.waitForFinished(20000));
    EXPECT_EQ(station.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(station.exitCode(), 0);
    log += QString::fromLocal8Bit(station.readAllStandardError());
  }
  std::this_thread::sleep_for(100ms);  // the machine sees the last acknowledgement
  stop = true;
  machineLoop.join();
  peer.stop();
  const int finished = machine.piecesFinished();
  ASSERT_GE(finished, finishedBefore + 4) << "the last run did not finish its pieces";

  // Every record against the machine.
  const QStringList files = QDir(dataDir).entryList({QStringLiteral("T*K.tkv")}, QDir::Files);
  ASSERT_FALSE(files.isEmpty());
  std::map<int, int> perPiece;
  int records = 0, wrong = 0;
  for (const QString& name : files) {
    const QString path = dataDir + "/" + name;
    EXPECT_EQ(integrityCheck(path), "ok") << name.toStdString();
    const std::vector<qint64> numbers = storedSiranos(path);
    EXPECT_TRUE(std::adjacent_find(numbers.begin(), numbers.end(), std::greater_equal<>()) == numbers.end())
        << "SIRANO only grows in " << name.toStdString();
    for (const QStringList& r : storedRecords(path)) {
      ++records;
      ++perPiece[MachineTruth::pieceOf(r)];
      wrong += truth.wrongValues(r);
    }
  }
  int lost = 0, doubled = 0;
  for (int piece = 1; piece <= finished; ++piece) {
    if (perPiece[piece] == 0) ++lost;
    if (perPiece[piece] > 1) ++doubled;
    EXPECT_EQ(perPiece[piece], 1) << "piece " << piece;
  }
  // A piece stored whose end the machine has not seen acknowledged yet: at most one.
  EXPECT_LE(records, finished + 1);
  std::printf("kills %d, pieces finished %d, records %d, lost %d, doubled %d, wrong values %d\n", kills, finished,
              records, lost, doubled, wrong);

  // The station's log: every line stamped, and the events of the run in it.
  const QRegularExpression stamped(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} velta-station: \S)"));
  int storedLines = 0;
  for (const QString& line : log.split(u'\n', Qt::SkipEmptyParts)) {
    // Qt's own notes (the offscreen platform, XDG_RUNTIME_DIR) are not the station's.
    if (line.startsWith(QStringLiteral("This plugin does not support")) || line.startsWith(QStringLiteral("QStandardPaths")))
      continue;
    EXPECT_TRUE(stamped.match(line).hasMatch()) << line.toStdString();
    if (line.contains(QStringLiteral("velta-station: stored piece T"))) ++storedLines;
  }
  EXPECT_EQ(storedLines, records) << "one line per stored piece";
  for (const char* event : {"PLC link up (", "PLC link down (", "PLC link up again after ", "signal 15, closing the station",
                            "the station ends with exit code 0 (signal 15)"})
    EXPECT_TRUE(log.contains(QString::fromLatin1(event))) << event << "\n" << log.toStdString();
}

}  // namespace
}  // namespace velta::test
