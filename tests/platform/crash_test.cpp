// A writer killed with SIGKILL at random moments: every append it reported as posted
// is in the file, the file is sound, and record numbers only grow.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QProcess>
#include <random>
#include <set>
#include <thread>

#include "platform/tablestore/dataset.h"
#include "../support/temp_station.h"

using namespace velta;

namespace {

std::vector<qint64> storedNumbers(const QString& path) {
  Dataset t(QStringLiteral("Check"));
  t.setTableName(path);
  t.open();
  std::vector<qint64> out;
  for (t.first(); !t.eof(); t.next()) out.push_back(t.fieldValue(QStringLiteral("SIRANO")).toLongLong());
  return out;
}

QString integrity(const QString& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_stmt* st = nullptr;
  QString result = QStringLiteral("<no answer>");
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
    result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  sqlite3_close(db);
  return result;
}

}  // namespace

TEST(TableStoreCrash, KilledWriterLosesNoReportedRecord) {
  test::OpenTempDir dir;
  const std::vector<FieldDef> fields{{QStringLiteral("SIRANO"), FieldKind::AutoInc, 0},
                                     {QStringLiteral("SERiNO"), FieldKind::Text, 15},
                                     {QStringLiteral("HAVA"), FieldKind::Float, 0}};
  Dataset::createTable(dir.path(), QStringLiteral("crash.tkv"), fields,
                       IndexDef{QStringLiteral("siraindex"), QStringLiteral("SIRANO")});
  const QString path = dir.file(QStringLiteral("crash.tkv"));

  std::mt19937 rng(20261209);
  std::uniform_int_distribution<int> delayUs(0, 15000);
  std::set<qint64> reported;
  qint64 maxBefore = 0;
  int rounds = 0;
  for (; rounds < 30; ++rounds) {
    QProcess writer;
    writer.start(QStringLiteral(VELTA_CRASH_HELPER), {path});
    ASSERT_TRUE(writer.waitForStarted(5000));
    // Let it get into its loop, then kill it at a random moment.
    ASSERT_TRUE(writer.waitForReadyRead(10000)) << writer.readAllStandardError().toStdString();
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(rng)));
    writer.kill();  // SIGKILL
    ASSERT_TRUE(writer.waitForFinished(5000));
    qint64 firstThisRound = 0;
    for (const QByteArray& line : writer.readAllStandardOutput().split('\n')) {
      if (line.isEmpty()) continue;
      const qint64 n = line.toLongLong();
      if (!firstThisRound) firstThisRound = n;
      reported.insert(n);
    }
    ASSERT_GT(firstThisRound, maxBefore) << "a record number was given twice";
    const std::vector<qint64> stored = storedNumbers(path);
    ASSERT_TRUE(std::is_sorted(stored.begin(), stored.end()));
    maxBefore = stored.empty() ? 0 : stored.back();
  }
  const std::vector<qint64> stored = storedNumbers(path);
  const std::set<qint64> storedSet(stored.begin(), stored.end());
  for (qint64 n : reported) EXPECT_TRUE(storedSet.count(n)) << "reported record " << n << " lost";
  EXPECT_EQ(integrity(path), QStringLiteral("ok"));
  EXPECT_EQ(storedSet.size(), stored.size());
  EXPECT_GE(stored.size(), reported.size());
}
