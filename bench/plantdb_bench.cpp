// The plant database forwarder: draining a backlog of 100,000 records in 10 daily files
// into a PostgreSQL 15 server on loopback (goal: >= 20,000 records/s), and the poll
// tick's CPU time on the UI thread with the forwarder draining beside it (arg 1)
// against without it (arg 0); goal: the ratio of the two CPU times <= 1.1.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>

#include "plantdb/plant_forwarder.h"
#include "plantdb/start_plant_forwarding.h"
#include "platform/fakes/fake_platform.h"
#include "platform/itemserver/item_server.h"
#include "platform/tablestore/dataset.h"
#include "plc/poll_cycle.h"
#include "records/daily_file.h"
#include "tests/plantdb/pg_server.h"

namespace {

using namespace velta;

// A station root whose data folder holds files x records (all values set).
QString makeBacklog(const QTemporaryDir& root, int files, int records) {
  const QString data = root.path() + "/D/rododezuz/data";
  QDir().mkpath(data);
  QDir().mkpath(root.path() + "/D/rododezuz/sistem");
  for (int f = 0; f < files; ++f) {
    const QString name = QStringLiteral("T%1").arg(f + 1, 2, 10, QChar('0')) + QStringLiteral("032026K.tkv");
    Dataset::createTable(data, name, DailyFileFields(), DailyFileIndex());
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(data + '/' + name).constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO records VALUES (?1, ?2, ?3, ?3, ?3, ?3, ?3, ?3, ?3, ?3, ?3, ?3, ?3, ?3, ?3, ?3, ?3, ?3)",
                       -1, &st, nullptr);
    for (int n = 1; n <= records; ++n) {
      sqlite3_bind_int(st, 1, n);
      const QByteArray serial = name.left(10).toLatin1() + "1234V";
      sqlite3_bind_text(st, 2, serial.constData(), int(serial.size()), SQLITE_TRANSIENT);
      sqlite3_bind_double(st, 3, n * 0.125);
      if (sqlite3_step(st) != SQLITE_DONE) std::fprintf(stderr, "insert: %s\n", sqlite3_errmsg(db));
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) std::fprintf(stderr, "commit: %s\n", sqlite3_errmsg(db));
    sqlite3_close(db);
  }
  return data;
}

plantdb::ForwarderSettings settingsFor(const QTemporaryDir& root, const QString& connection, const QString& station) {
  plantdb::PlantConfig c;
  c.connection = connection;
  c.station = station;
  auto s = plantdb::stationForwarderSettings(DriveMap(root.path()), c);
  s.idleMs = 0;
  s.stateSink = [](const QString&) {};
  return s;
}

void BM_DrainBacklog(benchmark::State& state) {
  test::PgServer server;
  QTemporaryDir root;
  makeBacklog(root, 10, 10000);
  int round = 0;
  for (auto _ : state) {
    // A new station name each round: the same files are a new backlog.
    plantdb::PlantForwarder f(settingsFor(root, server.connection(), QStringLiteral("BENCH-%1").arg(round++)));
    QFile::remove(root.path() + "/D/rododezuz/sistem/plantdb-position.sqlite");
    if (!f.runPass()) state.SkipWithError(f.state().lastError.toUtf8().constData());
    state.PauseTiming();
    const qint64 rows = server.query("SELECT count(*) FROM test_records WHERE station = $1",
                                     {QStringLiteral("BENCH-%1").arg(round - 1).toUtf8()}).integer(0, 0);
    state.ResumeTiming();
    if (rows != 100000) {
      state.SkipWithError(QStringLiteral("%1 rows arrived").arg(rows).toUtf8().constData());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * 100000);
  state.counters["records/s"] = benchmark::Counter(double(state.iterations()) * 100000, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrainBacklog)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_TickBesideForwarder(benchmark::State& state) {
  QTemporaryDir root;
  QDir().mkpath(root.path() + "/D/rododezuz/sistem");
  QFile::copy(QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/fatekserver.fcs"),
              root.path() + "/D/rododezuz/sistem/fatekserver.fcs");
  std::unique_ptr<test::PgServer> server;
  std::unique_ptr<plantdb::PlantForwarder> forwarder;
  if (state.range(0)) {
    server = std::make_unique<test::PgServer>();
    makeBacklog(root, 10, 30000);
    forwarder = std::make_unique<plantdb::PlantForwarder>(settingsFor(root, server->connection(), "TICK"));
    forwarder->start();
  }
  ObjectRegistry registry;
  registerItemServer(registry, ItemServerEnvironment{DriveMap(root.path()), nullptr, nullptr, [](const QString&) {}});
  FormState form;
  PlcServerRef plc = registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
  plc->OpenProject(kPlcProjectPath);
  RecordingShutdown shutdown;
  RecordingTermination termination;
  const RegionalSettings regional;
  PollCycle poll(form, plc, registry, shutdown, termination, regional);
  poll.setTestCycle([] {});
  for (auto _ : state) poll.Timer1Timer();
  if (forwarder) {
    // The measurement counts only while the forwarder was still draining.
    const auto st = forwarder->state();
    state.counters["still_waiting"] = double(st.waiting);
    if (st.waiting == 0) state.SkipWithError("the backlog drained before the measurement ended");
    forwarder->stop();
  }
}
BENCHMARK(BM_TickBesideForwarder)->Arg(0)->Arg(1)->MinTime(2.0);

}  // namespace
