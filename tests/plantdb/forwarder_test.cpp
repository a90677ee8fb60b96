// The forwarder against a real PostgreSQL 15: schema, forwarding in batches from files of
// this station and of the previous program, deletions, and positions that are lost,
// damaged or stale.
#include <QFile>

#include "tests/plantdb/station_fixture.h"

namespace velta::test {
namespace {

using plantdb::PlantForwarder;

class ForwarderTest : public ::testing::Test {
 protected:
  PgServer server;
  StationFiles station;
};

TEST_F(ForwarderTest, SchemaIsMadeOnceAndPartitionsComeWithTheirMonths) {
  station.addFile("T30012026K.tkv", range(1, 5));
  station.addFile("T01022026K.tkv", range(1, 5));
  PlantForwarder f(station.settings(server.connection()));
  ASSERT_TRUE(drain(f));
  PlantForwarder again(station.settings(server.connection(), "PRESS-2"));
  ASSERT_TRUE(drain(again));  // a second station finds the schema made

  EXPECT_EQ(server.query("SELECT version FROM schema_version").integer(0, 0), plantdb::latestSchemaVersion());
  EXPECT_EQ(server.query("SELECT count(*) FROM schema_version").integer(0, 0), 1);
  plantdb::PgResult parts = server.query(
      "SELECT c.relname FROM pg_inherits i JOIN pg_class c ON c.oid = i.inhrelid"
      " JOIN pg_class p ON p.oid = i.inhparent WHERE p.relname = 'test_records' ORDER BY 1");
  ASSERT_EQ(parts.rows(), 2);
  EXPECT_EQ(parts.value(0, 0), "test_records_y2026m01");
  EXPECT_EQ(parts.value(1, 0), "test_records_y2026m02");
  EXPECT_EQ(server.query("SELECT count(*) FROM test_records_y2026m01").integer(0, 0), 10);
  // A lookup by serial number is an index scan, not a read of every partition.
  EXPECT_EQ(server.query("SELECT count(*) FROM pg_indexes WHERE tablename = 'test_records'"
                         " AND indexdef LIKE '%(serino)%'").integer(0, 0), 1);
  station.expectDatabaseEqualsFiles(server);
  station.expectDatabaseEqualsFiles(server, "PRESS-2");
}

TEST_F(ForwarderTest, EveryRecordOnceInBatchesIncludingOldProgramFiles) {
  // Gaps in SIRANO, a batch boundary inside a file, an empty file, a table of the old program.
  std::vector<qint64> gappy = range(1, 40);
  gappy.erase(gappy.begin() + 10, gappy.begin() + 20);
  station.addFile("T02032026K.tkv", gappy);
  station.addFile("T03032026K.tkv", {});
  station.addLegacyFile("T04112025K.tkv", {1, 2, 3, 7, 8, 30});
  station.addFile("T05032026K.tkv", range(1, 17));
  auto s = station.settings(server.connection());
  s.batchSize = 7;
  PlantForwarder f(s);
  ASSERT_TRUE(drain(f));
  station.expectDatabaseEqualsFiles(server);

  // New records of today's file follow on the next pass, the others are not sent again.
  station.append("T05032026K.tkv", range(18, 25));
  ASSERT_TRUE(drain(f));
  station.expectDatabaseEqualsFiles(server);
  EXPECT_EQ(server.query("SELECT count(*) FROM test_records").integer(0, 0), station.recordCount());
}

TEST_F(ForwarderTest, StoredAtComesFromTheSerialNumber) {
  station.addFile("T09032026K.tkv", {1, 5, 754});  // 5: no serial number; 754: 12:34
  PlantForwarder f(station.settings(server.connection()));
  ASSERT_TRUE(drain(f));
  plantdb::PgResult r = server.query(
      "SELECT sirano, to_char(stored_at, 'YYYY-MM-DD HH24:MI') FROM test_records ORDER BY sirano");
  ASSERT_EQ(r.rows(), 3);
  EXPECT_EQ(r.value(0, 1), "2026-03-09 00:01");
  EXPECT_TRUE(r.isNull(1, 1));
  EXPECT_EQ(r.value(2, 1), "2026-03-09 12:34");
}

TEST_F(ForwarderTest, FirstDayLeavesEarlierFilesOut) {
  station.addFile("T31122025K.tkv", range(1, 3));
  station.addFile("T01012026K.tkv", range(1, 3));
  auto s = station.settings(server.connection());
  s.config.firstDay = QDate(2026, 1, 1);
  PlantForwarder f(s);
  ASSERT_TRUE(drain(f));
  EXPECT_EQ(server.query("SELECT count(*), min(day_file), max(day_file) FROM test_records").integer(0, 0), 3);
  EXPECT_EQ(server.query("SELECT count(*) FROM test_records WHERE day_file = 'T31122025K.tkv'").integer(0, 0), 0);
}

TEST_F(ForwarderTest, ARecordDeletedInTheFileIsMarkedNotRemoved) {
  station.addFile("T10032026K.tkv", range(1, 10));
  station.addFile("T11032026K.tkv", range(1, 10));
  PlantForwarder f(station.settings(server.connection()));
  ASSERT_TRUE(drain(f));
  station.remove("T10032026K.tkv", 4);
  station.remove("T10032026K.tkv", 10);  // the last one: the position stays on it
  station.append("T10032026K.tkv", {11});
  ASSERT_TRUE(drain(f));
  station.expectDatabaseEqualsFiles(server);
  EXPECT_EQ(server.query("SELECT string_agg(sirano::text, ',' ORDER BY sirano) FROM test_records"
                         " WHERE deleted_at IS NOT NULL").value(0, 0), "4,10");
  EXPECT_EQ(server.query("SELECT count(*) FROM test_records").integer(0, 0), 21);
}

// What becomes of the position file between two passes; after it the next pass must
// still leave every record in the database exactly once.
struct PositionMishap {
  const char* name;
  void (*apply)(const QString& path, const QString& savedCopy);
};

class PositionMishapTest : public ForwarderTest, public ::testing::WithParamInterface<PositionMishap> {};

TEST_P(PositionMishapTest, TheServerIsAskedAndNothingIsMissingOrDoubled) {
  station.addFile("T12032026K.tkv", range(1, 30));
  station.addLegacyFile("T12112025K.tkv", range(1, 12));
  auto s = station.settings(server.connection());
  s.batchSize = 8;
  {
    PlantForwarder f(s);
    ASSERT_TRUE(drain(f));
  }
  const QString saved = station.positionPath() + ".saved";
  ASSERT_TRUE(QFile::copy(station.positionPath(), saved));
  station.append("T12032026K.tkv", range(31, 45));
  {
    PlantForwarder f(s);
    ASSERT_TRUE(drain(f));
  }
  station.remove("T12032026K.tkv", 40);
  station.append("T12032026K.tkv", range(46, 50));
  GetParam().apply(station.positionPath(), saved);
  PlantForwarder f(s);
  ASSERT_TRUE(drain(f));
  station.expectDatabaseEqualsFiles(server);
  EXPECT_EQ(server.query("SELECT count(*) FROM test_records WHERE deleted_at IS NULL").integer(0, 0),
            station.recordCount());
}

INSTANTIATE_TEST_SUITE_P(
    Mishaps, PositionMishapTest,
    ::testing::Values(
        PositionMishap{"Missing", [](const QString& p, const QString&) { QFile::remove(p); }},
        PositionMishap{"Damaged",
                       [](const QString& p, const QString&) {
                         QFile f(p);
                         f.open(QIODevice::WriteOnly | QIODevice::Truncate);
                         f.write(QByteArray(4096, '\x5a'));
                       }},
        // The commit of the last pass reached the server but its confirmation never
        // reached the station: the position file is as before those batches.
        PositionMishap{"AcknowledgementLost",
                       [](const QString& p, const QString& saved) {
                         QFile::remove(p);
                         QFile::copy(saved, p);
                       }},
        PositionMishap{"OfAnotherDatabase",
                       [](const QString& p, const QString&) {
                         plantdb::PositionStore store(p);
                         store.setDatabaseId("00000000-0000-0000-0000-000000000000");
                         store.setPosition("T12032026K.tkv", {1000, 1000, "stale"});
                       }}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(ForwarderTest, TheStationsStoreNeverWaitsForTheForwarder) {
  // The station appends through its table store (2 s lock wait at most) while the
  // forwarder thread reads the same file over and over.
  station.addFile("T13032026K.tkv", {});
  auto s = station.settings(server.connection());
  s.idleMs = 0;
  s.batchSize = 3;
  PlantForwarder f(s);
  f.start();
  Dataset table("Table1");
  table.setFieldDefs(DailyFileFields());
  table.setDirectory(station.dataDir());
  table.setTableName("T13032026K.tkv");
  table.open();
  int failures = 0;
  for (int n = 1; n <= 300; ++n) {
    try {
      table.append();
      table.setFieldText("SERiNO", QStringLiteral("P%1").arg(n));
      table.post();
    } catch (const Error&) {
      ++failures;
    }
  }
  table.close();
  EXPECT_EQ(failures, 0);
  ASSERT_TRUE(waitFor([&] { return forwardedRows(server) >= 300; }));
  EXPECT_TRUE(f.state().lastError.isEmpty()) << f.state().lastError.toStdString();
  f.stop();
  // The store numbers from 1; each record once with its own serial number.
  EXPECT_EQ(server.query("SELECT count(*) FROM test_records WHERE serino = 'P' || sirano"
                         " AND sirano BETWEEN 1 AND 300").integer(0, 0), 300);
  EXPECT_EQ(server.query("SELECT count(*) FROM test_records").integer(0, 0), 300);
}

}  // namespace
}  // namespace velta::test
