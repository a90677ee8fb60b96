#pragma once
// A station root with daily files whose every record the test knows: values come from
// recordValues(day file, SIRANO), so what the plant database holds can be checked
// against what the station's files held, record by record.
#include <sqlite3.h>

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstdio>
#include <map>
#include <set>

#include "plantdb/central_schema.h"
#include "plantdb/plant_forwarder.h"
#include "plantdb/position_store.h"
#include "plantdb/start_plant_forwarding.h"
#include "platform/tablestore/dataset.h"
#include "records/daily_file.h"
#include "tests/plantdb/pg_server.h"
#include "tests/platform/legacy/paradox_fixture.h"

namespace velta::test {

struct KnownRecord {
  QString serino;  // empty: no value
  std::array<std::optional<double>, 16> values;
};

// The record a test puts under a SIRANO of a file: some values empty, negative ones,
// fractions that binary floating point holds exactly and ones it does not.
inline KnownRecord recordValues(const QString& dayFile, qint64 sirano) {
  KnownRecord r;
  const QString code = dayFile.left(10);
  if (sirano % 11 != 5)
    r.serino = code + QStringLiteral("%1%2V").arg((sirano / 60) % 24, 2, 10, QChar('0')).arg(sirano % 60, 2, 10, QChar('0'));
  if (sirano == 3) r.serino = QStringLiteral("A\\B\tC\nD");  // COPY's escapes
  for (int i = 0; i < 16; ++i)
    if ((sirano + i) % 7 != 0) r.values[size_t(i)] = (sirano % 2 ? -1.0 : 1.0) * (double(sirano) * 0.1 + i * 1000.125);
  return r;
}

class StationFiles {
 public:
  StationFiles() {
    QDir().mkpath(dataDir());
    QDir().mkpath(root_.path() + "/D/rododezuz/sistem");
  }
  QString root() const { return root_.path(); }
  QString dataDir() const { return root_.path() + "/D/rododezuz/data"; }
  QString positionPath() const { return root_.path() + "/D/rododezuz/sistem/plantdb-position.sqlite"; }
  QString path(const QString& name) const { return dataDir() + u'/' + name; }

  // A daily file of this station holding the given SIRANOs.
  void addFile(const QString& name, const std::vector<qint64>& sironos) {
    Dataset::createTable(dataDir(), name, DailyFileFields(), DailyFileIndex());
    append(name, sironos);
  }
  void append(const QString& name, const std::vector<qint64>& sironos) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path(name)).constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    QByteArray sql = "INSERT INTO records VALUES (?1, ?2";
    for (int i = 0; i < 16; ++i) sql += ", ?" + QByteArray::number(i + 3);
    sql += ")";
    ASSERT_EQ(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), SQLITE_OK);
    for (qint64 n : sironos) {
      const KnownRecord r = recordValues(name, n);
      sqlite3_bind_int64(st, 1, n);
      const QByteArray s = r.serino.toUtf8();
      if (r.serino.isEmpty()) sqlite3_bind_null(st, 2);
      else sqlite3_bind_text(st, 2, s.constData(), int(s.size()), SQLITE_TRANSIENT);
      for (int i = 0; i < 16; ++i) {
        if (r.values[size_t(i)]) sqlite3_bind_double(st, i + 3, *r.values[size_t(i)]);
        else sqlite3_bind_null(st, i + 3);
      }
      ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
      sqlite3_reset(st);
      held_[name].insert(n);
    }
    sqlite3_finalize(st);
    ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  void remove(const QString& name, qint64 sirano) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path(name)).constData(), &db);
    const QByteArray sql = "DELETE FROM records WHERE SIRANO = " + QByteArray::number(sirano);
    ASSERT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    held_[name].erase(sirano);
    deleted_[name].insert(sirano);
  }
  // A table of the previous program (Paradox) under a daily file's name.
  void addLegacyFile(const QString& name, const std::vector<qint64>& sironos) {
    FixtureTable t;
    t.fields = dailyFields();
    for (qint64 n : sironos) {
      const KnownRecord r = recordValues(name, n);
      FixtureRow row{Cell::integerValue(n), r.serino.isEmpty() ? Cell::empty()
                                                               : Cell::text(r.serino.toLatin1(), r.serino)};
      for (const auto& v : r.values) row.push_back(v ? Cell::numberValue(*v) : Cell::empty());
      t.rows.push_back(row);
      held_[name].insert(n);
    }
    writeParadox(path(name), t);
  }

  const std::map<QString, std::set<qint64>>& held() const { return held_; }
  qint64 recordCount() const {
    qint64 n = 0;
    for (const auto& [f, s] : held_) n += qint64(s.size());
    return n;
  }

  plantdb::ForwarderSettings settings(const QString& connection, const QString& station = "PRESS-1") const {
    plantdb::PlantConfig c;
    c.connection = connection;
    c.station = station;
    plantdb::ForwarderSettings s = plantdb::stationForwarderSettings(DriveMap(root()), c);
    s.retryMinMs = 50;
    s.retryMaxMs = 400;
    s.idleMs = 50;
    s.connectTimeoutS = 3;
    s.statementTimeoutMs = 3000;
    s.stateSink = [](const QString&) {};
    return s;
  }

  // Every record of the files is in the database once with its values, every record
  // deleted from a file is marked deleted, nothing else is there.
  void expectDatabaseEqualsFiles(const PgServer& server, const QString& station = "PRESS-1") const {
    QByteArray cols = "day_file, sirano, serino, deleted_at IS NOT NULL, to_char(day, 'DDMMYYYY')";
    for (const QString& v : plantdb::valueColumns()) cols += ", " + v.toLatin1();
    plantdb::PgResult r = server.query("SELECT " + cols + " FROM test_records WHERE station = $1 ORDER BY day_file, sirano",
                                       {station.toUtf8()});
    std::map<QString, std::set<qint64>> live, dead;
    qint64 doubled = 0;
    for (int i = 0; i < r.rows(); ++i) {
      const QString file = QString::fromUtf8(r.value(i, 0));
      const qint64 n = r.integer(i, 1);
      const bool deleted = r.value(i, 3) == "t";
      const bool once = (deleted ? dead : live)[file].insert(n).second;
      if (!once) ++doubled;
      EXPECT_TRUE(once) << file.toStdString() << " " << n;
      EXPECT_EQ(r.value(i, 4), file.mid(1, 8).toLatin1()) << "day of " << file.toStdString();
      const KnownRecord k = recordValues(file, n);
      EXPECT_EQ(r.isNull(i, 2) ? QString() : QString::fromUtf8(r.value(i, 2)), k.serino) << file.toStdString() << " " << n;
      for (int v = 0; v < 16; ++v) {
        const auto& want = k.values[size_t(v)];
        EXPECT_EQ(r.isNull(i, 5 + v), !want) << file.toStdString() << " " << n << " value " << v;
        if (want && !r.isNull(i, 5 + v)) {
          EXPECT_DOUBLE_EQ(r.value(i, 5 + v).toDouble(), *want);
        }
      }
    }
    for (const auto& [file, s] : held_) {
      if (s.empty() && !live.count(file)) continue;
      EXPECT_EQ(live[file], s) << "records of " << file.toStdString();
    }
    for (const auto& [file, s] : live)
      EXPECT_TRUE(held_.count(file)) << "rows of a file the station has not: " << file.toStdString();
    for (const auto& [file, s] : dead) {
      for (qint64 n : s) EXPECT_TRUE(deleted_.count(file) && deleted_.at(file).count(n)) << file.toStdString() << " " << n;
    }
    // The figures of the comparison, one line per check (for the fault table).
    qint64 records = 0, missing = 0, extra = 0;
    for (const auto& [file, s] : held_) {
      records += qint64(s.size());
      const std::set<qint64>& rows = live[file];
      for (qint64 n : s) missing += rows.count(n) ? 0 : 1;
      for (qint64 n : rows) extra += s.count(n) ? 0 : 1;
    }
    qint64 liveRows = 0;
    for (const auto& [file, s] : live) liveRows += qint64(s.size());
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::printf("database against files (%s): records %lld, live rows %lld, missing %lld, doubled %lld, not in a file %lld\n",
                test ? test->name() : "?", static_cast<long long>(records), static_cast<long long>(liveRows),
                static_cast<long long>(missing), static_cast<long long>(doubled), static_cast<long long>(extra));
  }

 private:
  QTemporaryDir root_;
  std::map<QString, std::set<qint64>> held_;
  std::map<QString, std::set<qint64>> deleted_;
};

inline std::vector<qint64> range(qint64 from, qint64 to) {
  std::vector<qint64> v;
  for (qint64 n = from; n <= to; ++n) v.push_back(n);
  return v;
}

// Runs passes until one is clean (a wait for a fault to be waited out, not a time limit
// on the result: a pass that never gets clean fails the test after many tries).
inline bool drain(plantdb::PlantForwarder& f, int tries = 50) {
  for (int i = 0; i < tries; ++i)
    if (f.runPass()) return true;
  return false;
}

// Rows of test_records that match where (SQL, may be empty); 0 until the forwarder's
// thread has made the schema, which it does on its own time.
inline qint64 forwardedRows(const PgServer& server, const QByteArray& where = {}) {
  if (server.query("SELECT to_regclass('test_records') IS NULL").value(0, 0) == "t") return 0;
  return server.query("SELECT count(*) FROM test_records" + (where.isEmpty() ? QByteArray() : " WHERE " + where))
      .integer(0, 0);
}

// Waits until the forwarder's thread has reached a state.
template <typename Pred>
bool waitFor(Pred pred, int seconds = 60) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (pred()) return true;
    usleep(50 * 1000);
  }
  return false;
}

}  // namespace velta::test
