#include "plantdb/central_schema.h"

#include <vector>

namespace velta::plantdb {

namespace {

// pg_advisory_xact_lock keys: one for migrations, one for making partitions.
constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(727001)";
constexpr const char* kPartitionLock = "SELECT pg_advisory_xact_lock(727002)";

QByteArray valueColumnsSql() {
  QByteArray sql;
  for (const QString& c : valueColumns()) sql += c.toLatin1() + " double precision, ";
  return sql;
}

// Step n brings version n-1 to n. Never change a step once released: add one.
const std::vector<QByteArray>& migrations() {
  static const std::vector<QByteArray> steps = {
      // 1: the records, partitioned by month; the identity of this database.
      "CREATE TABLE plant_database (id uuid PRIMARY KEY DEFAULT gen_random_uuid(),"
      " created_at timestamptz NOT NULL DEFAULT now());"
      "INSERT INTO plant_database DEFAULT VALUES;"
      "CREATE TABLE test_records (station text NOT NULL, day_file text NOT NULL, day date NOT NULL,"
      " sirano bigint NOT NULL, serino text, " + valueColumnsSql() +
      " stored_at timestamp, received_at timestamptz NOT NULL DEFAULT now(), deleted_at timestamptz,"
      " PRIMARY KEY (station, day_file, sirano, day)) PARTITION BY RANGE (day);"
      "CREATE INDEX test_records_serino ON test_records (serino);",
      // 2: a day's records of every station (the export) without reading the month whole.
      "CREATE INDEX test_records_day ON test_records (day, station);",
  };
  return steps;
}

}  // namespace

const QStringList& valueColumns() {
  static const QStringList columns = [] {
    QStringList c;
    for (const char* suffix : {"", "1", "2", "3"})
      for (const char* quantity : {"hava", "pres", "en", "boy"})
        c << QString::fromLatin1(quantity) + QString::fromLatin1(suffix);
    return c;
  }();
  return columns;
}

int latestSchemaVersion() { return int(migrations().size()); }

QString ensureSchema(PgLink& link) {
  link.exec("BEGIN");
  link.exec(kMigrationLock);
  link.exec("CREATE TABLE IF NOT EXISTS schema_version (version integer NOT NULL)");
  PgResult v = link.exec("SELECT max(version) FROM schema_version");
  int version = v.isNull(0, 0) ? 0 : int(v.integer(0, 0));
  for (; version < latestSchemaVersion(); ++version) {
    link.exec(migrations()[size_t(version)]);
    link.exec("DELETE FROM schema_version");
    link.exec("INSERT INTO schema_version VALUES ($1)", {QByteArray::number(version + 1)});
  }
  PgResult id = link.exec("SELECT id FROM plant_database ORDER BY created_at LIMIT 1");
  link.exec("COMMIT");
  return id.rows() ? QString::fromLatin1(id.value(0, 0)) : QString();
}

QString partitionName(const QDate& day) {
  return QStringLiteral("test_records_y%1m%2").arg(day.year(), 4, 10, QLatin1Char('0')).arg(day.month(), 2, 10, QLatin1Char('0'));
}

void ensurePartition(PgLink& link, const QDate& day) {
  const QDate first(day.year(), day.month(), 1);
  const QByteArray sql = "CREATE TABLE IF NOT EXISTS " + partitionName(day).toLatin1() +
                         " PARTITION OF test_records FOR VALUES FROM ('" +
                         first.toString(Qt::ISODate).toLatin1() + "') TO ('" +
                         first.addMonths(1).toString(Qt::ISODate).toLatin1() + "')";
  // The lock keeps two stations from making the same partition at once (IF NOT EXISTS
  // alone can still fail on the catalog's unique index).
  link.exec("BEGIN");
  link.exec(kPartitionLock);
  link.exec(sql);
  link.exec("COMMIT");
}

}  // namespace velta::plantdb
