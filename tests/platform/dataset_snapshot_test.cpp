// DatasetSnapshot: the records of the moment it is taken, read in pages without
// holding the file between pages and without touching the view.
#include <sqlite3.h>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/tablestore/dataset.h"
#include "platform/tablestore/dataset_snapshot.h"

using namespace velta;

namespace {

const QString kName = QStringLiteral("T09122026K.tkv");

std::vector<FieldDef> fields() {
  return {{QStringLiteral("SIRANO"), FieldKind::AutoInc, 0},
          {QStringLiteral("SERiNO"), FieldKind::Text, 15},
          {QStringLiteral("HAVA"), FieldKind::Float, 0},
          {QStringLiteral("TARiH"), FieldKind::Date, 0},
          {QStringLiteral("SAAT"), FieldKind::Time, 0}};
}

class DatasetSnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dataset::createTable(dir.path(), kName, fields(), IndexDef{QStringLiteral("siraindex"), QStringLiteral("SIRANO")});
    table.setRegional(RegionalSettings::turkish());
    table.setDirectory(dir.path());
    table.setTableName(kName);
    table.open();
  }
  void add(const QString& serial, const QString& hava = {}) {
    table.append();
    table.setFieldText(QStringLiteral("SERiNO"), serial);
    table.setFieldText(QStringLiteral("HAVA"), hava);
    table.post();
  }
  void addMany(int n) {  // one transaction: posting each would make each durable
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(table.filePath().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QByteArray sql = "BEGIN;";
    for (int i = 1; i <= n; ++i) sql += "INSERT INTO records (SERiNO) VALUES ('M" + QByteArray::number(i) + "');";
    sql += "COMMIT;";
    ASSERT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    table.close();
    table.open();
  }
  // The serials the walk gives from here on.
  static QStringList walk(DatasetSnapshot& s) {
    QStringList out;
    std::vector<QVariant> v;
    while (s.next(v)) out << v.at(1).toString();
    return out;
  }
  // True when another connection can take the file's exclusive lock at once: no
  // reader holds it.
  bool fileFree() {
    sqlite3* db = nullptr;
    sqlite3_open_v2(table.filePath().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const bool free = sqlite3_exec(db, "BEGIN EXCLUSIVE; COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return free;
  }

  QTemporaryDir dir;
  Dataset table{QStringLiteral("Table1")};
};

TEST_F(DatasetSnapshotTest, ClosedViewRaisesTheViewsOwnError) {
  table.close();
  try {
    DatasetSnapshot s(table);
    ADD_FAILURE() << "snapshot of a closed view";
  } catch (const Error& e) {
    EXPECT_EQ(e.text(), QStringLiteral("Table1: Cannot perform this operation on a closed dataset"));
  }
}

TEST_F(DatasetSnapshotTest, HoldsTheRecordsOfItsMomentWhateverTheViewDoesLater) {
  struct Case {
    const char* name;
    std::function<void(Dataset&)> later;
    QStringList walked;
  };
  const Case cases[] = {
      {"nothing", [](Dataset&) {}, {"A", "B", "C", "D"}},
      {"append", [this](Dataset&) { add(QStringLiteral("E")); }, {"A", "B", "C", "D"}},
      {"delete skips the record", [](Dataset& t) { t.moveTo(1); t.deleteRecord(); }, {"A", "C", "D"}},
      {"close", [](Dataset& t) { t.close(); }, {"A", "B", "C", "D"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir d;
    Dataset::createTable(d.path(), kName, fields(), IndexDef{QStringLiteral("siraindex"), QStringLiteral("SIRANO")});
    table.close();
    table.setDirectory(d.path());
    table.open();
    for (const char* serial : {"A", "B", "C", "D"}) add(QString::fromLatin1(serial));
    DatasetSnapshot s(table);
    const qint64 taken = table.recordCount();
    c.later(table);
    EXPECT_EQ(s.count(), taken);
    EXPECT_EQ(walk(s), c.walked);
    std::vector<QVariant> v;
    EXPECT_FALSE(s.next(v)) << "stays at its end";
  }
}

TEST_F(DatasetSnapshotTest, NoLockIsHeldBetweenRecordsAndTheCursorStays) {
  addMany(2 * DatasetSnapshot::kPageSize + 3);
  table.moveTo(5);
  int moves = 0;
  QObject::connect(&table, &Dataset::currentChanged, [&moves] { ++moves; });
  DatasetSnapshot s(table);
  std::vector<QVariant> v;
  int n = 0;
  bool allFree = true;
  while (s.next(v)) {
    ++n;
    if (n % 50 == 1 || n % DatasetSnapshot::kPageSize == 0) allFree = allFree && fileFree();
  }
  EXPECT_EQ(n, 2 * DatasetSnapshot::kPageSize + 3);
  EXPECT_TRUE(allFree) << "a reader's lock would make a tick's append fail";
  EXPECT_EQ(table.recNo(), 5);
  EXPECT_EQ(moves, 0);
}

TEST_F(DatasetSnapshotTest, TextsAreTheViewsTexts) {
  table.append();
  table.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("T09122026K1200V"));
  table.setFieldText(QStringLiteral("HAVA"), QStringLiteral("0,00001"));
  table.setFieldText(QStringLiteral("TARiH"), QStringLiteral("09.12.2026"));
  table.setFieldText(QStringLiteral("SAAT"), QStringLiteral("12:05:09"));
  table.post();
  add(QString());
  DatasetSnapshot s(table);
  ASSERT_EQ(s.fields().size(), fields().size());
  std::vector<QVariant> v;
  for (int r = 0; r < 2; ++r) {
    ASSERT_TRUE(s.next(v));
    table.moveTo(r);
    for (int f = 0; f < static_cast<int>(v.size()); ++f)
      EXPECT_EQ(s.valueText(f, v[static_cast<size_t>(f)]), table.fieldText(table.field(f).name)) << r << " " << f;
  }
  EXPECT_EQ(s.valueText(2, 1e-5), QStringLiteral("1E-5"));
}

}  // namespace
