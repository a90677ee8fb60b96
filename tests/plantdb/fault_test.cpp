// Faults of the server, the network and the forwarder itself, each against a real
// PostgreSQL 15; after each one the database holds every record of the files once.
#include <signal.h>

#include <QProcess>

#include "tests/plantdb/station_fixture.h"

namespace velta::test {
namespace {

using plantdb::PlantForwarder;

constexpr int kRecords = 3000;

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    station.addFile("T01032026K.tkv", range(1, kRecords / 2));
    station.addLegacyFile("T28022026K.tkv", range(1, 200));
    station.addFile("T02032026K.tkv", range(1, kRecords / 2 - 200));
  }
  // Each inserted row costs the server a little time, so a batch is long in flight.
  void slowRows() {
    auto link = server.admin();
    link.connect();
    PlantForwarder(station.settings(server.connection(), "SCHEMA-ONLY")).runPass();
    link.exec("CREATE FUNCTION slow_row() RETURNS trigger LANGUAGE plpgsql AS"
              " $$BEGIN PERFORM pg_sleep(0.001); RETURN NEW; END$$;"
              "CREATE TRIGGER slow_row BEFORE INSERT ON test_records FOR EACH ROW EXECUTE FUNCTION slow_row();");
  }
  // True once the forwarder's INSERT of a batch is running on the server.
  bool batchInFlight() {
    return server.query("SELECT count(*) FROM pg_stat_activity WHERE application_name = 'velta-plantdb'"
                        " AND state = 'active' AND query LIKE 'INSERT INTO test_records%'").integer(0, 0) > 0;
  }
  qint64 rows() { return forwardedRows(server, "station = 'PRESS-1'"); }
  plantdb::ForwarderSettings settings(const QString& extra = {}) {
    auto s = station.settings(server.connection(extra));
    s.batchSize = 100;
    return s;
  }
  static bool drained(const PlantForwarder& f) {
    const auto s = f.state();
    return s.connected && s.waiting == 0 && s.lastError.isEmpty();
  }

  PgServer server;
  StationFiles station;
};

TEST_F(FaultTest, ServerDownAtStartThenTheBacklogDrains) {
  server.stop();
  std::vector<QString> lines;
  std::mutex m;
  auto s = settings();
  s.stateSink = [&](const QString& l) {
    std::lock_guard<std::mutex> lock(m);
    lines.push_back(l);
  };
  PlantForwarder f(s);
  f.start();
  ASSERT_TRUE(waitFor([&] { return !f.state().lastError.isEmpty() && f.state().waiting == station.recordCount(); }));
  EXPECT_FALSE(f.state().connected);
  server.start();
  ASSERT_TRUE(waitFor([&] { return drained(f); }));
  f.stop();
  station.expectDatabaseEqualsFiles(server);
  std::lock_guard<std::mutex> lock(m);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_TRUE(lines.front().startsWith("plant database: not connected")) << lines.front().toStdString();
  EXPECT_EQ(lines.back(), "plant database: connected, 0 records waiting");
  // A line for each change, not one per batch.
  EXPECT_LT(lines.size(), 8u);
}

TEST_F(FaultTest, ServerKilledInTheMiddleOfABatch) {
  slowRows();
  PlantForwarder f(settings());
  f.start();
  ASSERT_TRUE(waitFor([&] { return rows() > 0 && batchInFlight(); }));
  server.kill();
  ASSERT_TRUE(waitFor([&] { return !f.state().connected; }));
  server.start();
  ASSERT_TRUE(waitFor([&] { return drained(f); }));
  f.stop();
  station.expectDatabaseEqualsFiles(server);
}

TEST_F(FaultTest, ConnectionDroppedDuringABatch) {
  slowRows();
  PlantForwarder f(settings());
  f.start();
  ASSERT_TRUE(waitFor([&] { return rows() > 0 && batchInFlight(); }));
  EXPECT_EQ(server.query("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity"
                         " WHERE application_name = 'velta-plantdb'").integer(0, 0), 1);
  ASSERT_TRUE(waitFor([&] { return drained(f) && f.state().passes > 1; }));
  f.stop();
  station.expectDatabaseEqualsFiles(server);
}

TEST_F(FaultTest, SlowStatementsAreCutOffByTheStatementTimeout) {
  auto link = server.admin();
  link.connect();
  PlantForwarder(station.settings(server.connection(), "SCHEMA-ONLY")).runPass();
  link.exec("CREATE TABLE slow (on_ boolean); INSERT INTO slow VALUES (true);"
            "CREATE FUNCTION slow_batch() RETURNS trigger LANGUAGE plpgsql AS"
            " $$BEGIN IF (SELECT on_ FROM slow) THEN PERFORM pg_sleep(30); END IF; RETURN NULL; END$$;"
            "CREATE TRIGGER slow_batch BEFORE INSERT ON test_records FOR EACH STATEMENT EXECUTE FUNCTION slow_batch();");
  auto s = settings();
  s.statementTimeoutMs = 500;
  PlantForwarder f(s);
  f.start();
  ASSERT_TRUE(waitFor([&] { return f.state().lastError.contains("statement timeout"); }));
  EXPECT_EQ(rows(), 0);
  link.exec("UPDATE slow SET on_ = false");
  ASSERT_TRUE(waitFor([&] { return drained(f); }));
  f.stop();
  station.expectDatabaseEqualsFiles(server);
}

TEST_F(FaultTest, AServerThatStopsAnsweringIsGivenUpOnAndTheLinkMadeAgain) {
  slowRows();
  auto s = settings();
  s.statementTimeoutMs = 1000;
  PlantForwarder f(s);
  f.start();
  ASSERT_TRUE(waitFor([&] { return rows() > 0 && batchInFlight(); }));
  // The forwarder's server process stops dead: no reply, no error, the socket open.
  const qint64 pid = server.query("SELECT pid FROM pg_stat_activity WHERE application_name = 'velta-plantdb'").integer(0, 0);
  ASSERT_EQ(::kill(pid_t(pid), SIGSTOP), 0);
  ASSERT_TRUE(waitFor([&] { return f.state().lastError.contains("did not answer in time"); }));
  EXPECT_FALSE(f.state().connected);
  // The server comes back to life: its old session finds the forwarder gone and rolls
  // back, and the batch is sent again on the new connection.
  ::kill(pid_t(pid), SIGCONT);
  ASSERT_TRUE(waitFor([&] { return drained(f); }));
  f.stop();
  station.expectDatabaseEqualsFiles(server);
}

TEST_F(FaultTest, AuthenticationRefusedUntilThePasswordIsRight) {
  server.query("CREATE ROLE station LOGIN SUPERUSER PASSWORD 'old'");
  const QString conn = QStringLiteral("host=127.0.0.1 port=%1 dbname=postgres user=station password=new").arg(server.port());
  auto s = station.settings(conn);
  s.batchSize = 100;
  PlantForwarder f(s);
  f.start();
  ASSERT_TRUE(waitFor([&] { return f.state().lastError.contains("password authentication failed"); }));
  EXPECT_FALSE(f.state().connected);
  server.query("ALTER ROLE station PASSWORD 'new'");
  ASSERT_TRUE(waitFor([&] { return drained(f); }));
  f.stop();
  station.expectDatabaseEqualsFiles(server);
}

// The server's disk full, simulated by a trigger that fails inserts with the server's
// own disk_full error (SQLSTATE 53100) while the flag is set.
TEST_F(FaultTest, DiskFullOnTheServer) {
  auto link = server.admin();
  link.connect();
  PlantForwarder(station.settings(server.connection(), "SCHEMA-ONLY")).runPass();
  link.exec("CREATE TABLE full_disk (on_ boolean); INSERT INTO full_disk VALUES (false);"
            "CREATE FUNCTION full_disk() RETURNS trigger LANGUAGE plpgsql AS"
            " $$BEGIN IF (SELECT on_ FROM full_disk) THEN RAISE EXCEPTION"
            " 'could not extend file: No space left on device' USING ERRCODE = 'disk_full'; END IF;"
            " RETURN NEW; END$$;"
            "CREATE TRIGGER full_disk BEFORE INSERT ON test_records FOR EACH ROW EXECUTE FUNCTION full_disk();");
  auto s = settings();
  PlantForwarder f(s);
  ASSERT_TRUE(drain(f));
  link.exec("UPDATE full_disk SET on_ = true");
  station.append("T02032026K.tkv", range(kRecords / 2 - 199, kRecords / 2));
  station.remove("T01032026K.tkv", 77);
  f.start();
  ASSERT_TRUE(waitFor([&] { return f.state().lastError.contains("No space left"); }));
  EXPECT_TRUE(f.state().connected);
  EXPECT_EQ(rows(), station.recordCount() - 200 + 1);  // the new ones refused, the deleted one still a row
  link.exec("UPDATE full_disk SET on_ = false");
  ASSERT_TRUE(waitFor([&] { return drained(f); }));
  f.stop();
  station.expectDatabaseEqualsFiles(server);
}

// The forwarding process itself killed (SIGKILL) while a batch is in flight, then run again.
TEST_F(FaultTest, ForwarderProcessKilledWhileABatchIsInFlight) {
  slowRows();
  QFile conf(station.root() + "/D/rododezuz/sistem/plantdb.conf");
  ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
  conf.write(("[plant-database]\nconnection = " + server.connection() + "\nstation = PRESS-1\n").toUtf8());
  conf.close();
  QProcess tool;
  tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  tool.start(VELTA_PLANTDB_TOOL, {"--root", station.root(), "forward", "--batch-size", "100"});
  ASSERT_TRUE(tool.waitForStarted());
  ASSERT_TRUE(waitFor([&] { return rows() > 0 && batchInFlight(); }));
  ::kill(pid_t(tool.processId()), SIGKILL);
  tool.waitForFinished();
  const qint64 before = rows();
  EXPECT_LT(before, station.recordCount());
  // The killed process's transaction is rolled back by the server once it sees the socket closed.
  ASSERT_TRUE(waitFor([&] { return !batchInFlight(); }));
  QProcess again;
  again.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  again.start(VELTA_PLANTDB_TOOL, {"--root", station.root(), "forward", "--once"});
  ASSERT_TRUE(again.waitForFinished(120000));
  EXPECT_EQ(again.exitCode(), 0);
  station.expectDatabaseEqualsFiles(server);

  QProcess status;
  status.start(VELTA_PLANTDB_TOOL, {"--root", station.root(), "status"});
  ASSERT_TRUE(status.waitForFinished());
  EXPECT_TRUE(status.readAllStandardOutput().startsWith("plant database: connected, 0 records waiting (at "));
}

}  // namespace
}  // namespace velta::test
