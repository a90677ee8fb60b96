// velta-plantdb: the plant database from the command line.
//   velta-plantdb status                      the forwarder's last state for a station root
//   velta-plantdb forward [--once]            forward a station root's records (until SIGTERM,
//                                             or with --once until nothing waits)
//   velta-plantdb find SERIAL                 every record of a serial number, all stations
//   velta-plantdb export DAY FILE.xlsx        all stations' records of a day (yyyy-MM-dd or
//                                             a day file name) as a workbook
// Options: --root DIR (default: VELTA_STATION_ROOT or the per-user folder), --connection
// STRING (default: the root's plantdb.conf), --batch-size N (forward).
// Exit status: 0 done, 1 failed, 2 wrong usage.
#include <csignal>
#include <cstdio>

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <atomic>
#include <chrono>
#include <thread>

#include "plantdb/day_files.h"
#include "plantdb/plant_queries.h"
#include "plantdb/position_store.h"
#include "plantdb/start_plant_forwarding.h"

namespace {

using namespace velta;
using namespace velta::plantdb;

std::atomic<bool> g_stop{false};
void onSignal(int) { g_stop = true; }

int usage() {
  std::fprintf(stderr,
               "usage: velta-plantdb [--root DIR] [--connection STRING] status | forward [--once] [--batch-size N] |"
               " find SERIAL | export DAY FILE.xlsx\n");
  return 2;
}

void say(const QString& s) { std::fprintf(stderr, "%s\n", s.toUtf8().constData()); }

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  QString root, connection;
  bool once = false;
  int batchSize = 0;
  QStringList rest;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if ((a == u"--root" || a == u"--connection" || a == u"--batch-size") && i + 1 < args.size()) {
      const QString v = args[++i];
      if (a == u"--root") root = v;
      else if (a == u"--connection") connection = v;
      else batchSize = v.toInt();
    } else if (a == u"--once") {
      once = true;
    } else if (a.startsWith(u"--")) {
      return usage();
    } else {
      rest << a;
    }
  }
  if (rest.isEmpty()) return usage();
  const DriveMap drives = root.isEmpty() ? DriveMap::fromEnvironment() : DriveMap(root);
  const QString command = rest.takeFirst();
  try {
    if (command == u"status") {
      if (!rest.isEmpty()) return usage();
      const auto line = PositionStore::readStateLine(drives.toHost(kPositionFilePath));
      if (!line) {
        const bool configured = readPlantConfig(plantConfigPath(drives)).has_value();
        say(configured ? QStringLiteral("plant database: the forwarder has not run yet")
                       : QStringLiteral("plant database: not configured (no %1)").arg(plantConfigPath(drives)));
        return configured ? 0 : 1;
      }
      std::printf("%s\n", line->toUtf8().constData());
      return 0;
    }
    std::optional<PlantConfig> config = readPlantConfig(plantConfigPath(drives));
    if (command == u"forward") {
      if (!rest.isEmpty()) return usage();
      if (!config) {
        say(QStringLiteral("no plant database settings: %1").arg(plantConfigPath(drives)));
        return 1;
      }
      if (!connection.isEmpty()) config->connection = connection;
      ForwarderSettings s = stationForwarderSettings(drives, *config);
      if (batchSize > 0) s.batchSize = batchSize;
      PlantForwarder forwarder(s);
      if (once) {
        for (int attempt = 0; attempt < 3; ++attempt)
          if (forwarder.runPass()) return 0;
        return 1;
      }
      std::signal(SIGTERM, onSignal);
      std::signal(SIGINT, onSignal);
      forwarder.start();
      while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      forwarder.stop();
      return 0;
    }
    if (connection.isEmpty()) {
      if (!config) {
        say(QStringLiteral("no --connection and no plant database settings: %1").arg(plantConfigPath(drives)));
        return 1;
      }
      connection = config->connection;
    }
    PgLink link({connection, 5, 60000, {}});
    if (command == u"find" && rest.size() == 1) {
      link.connect();
      QTextStream out(stdout);
      const int n = findSerial(link, rest[0], out);
      say(QStringLiteral("%1 records of %2").arg(n).arg(rest[0]));
      return 0;
    }
    if (command == u"export" && rest.size() == 2) {
      QDate day = QDate::fromString(rest[0], QStringLiteral("yyyy-MM-dd"));
      if (!day.isValid()) day = dayOfFileName(rest[0].endsWith(u".tkv", Qt::CaseInsensitive) ? rest[0] : rest[0] + ".tkv");
      if (!day.isValid()) return usage();
      link.connect();
      const int n = exportDay(link, day, rest[1]);
      say(QStringLiteral("%1 records of %2 -> %3").arg(n).arg(day.toString(Qt::ISODate), rest[1]));
      return 0;
    }
    return usage();
  } catch (const Error& e) {
    say(e.text());
    return 1;
  }
}
