#include <gtest/gtest.h>

#include <QSignalSpy>
#include <functional>

#include "platform/error.h"
#include "platform/tablestore/dataset.h"
#include "../support/temp_station.h"

using namespace velta;

namespace {

std::vector<FieldDef> recordFields() {
  return {{QStringLiteral("SIRANO"), FieldKind::AutoInc, 0},
          {QStringLiteral("SERiNO"), FieldKind::Text, 15},
          {QStringLiteral("HAVA"), FieldKind::Float, 0},
          {QStringLiteral("PRES"), FieldKind::Float, 0}};
}

class DatasetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dataset::createTable(dir.path(), QStringLiteral("T09122026K.tkv"), recordFields(),
                         IndexDef{QStringLiteral("siraindex"), QStringLiteral("SIRANO")});
    table.setFieldDefs(recordFields());
    table.setDirectory(dir.path());
    table.setTableName(QStringLiteral("T09122026K.tkv"));
  }
  void add(const QString& serial, const QString& hava = {}) {
    table.append();
    table.setFieldText(QStringLiteral("SERiNO"), serial);
    table.setFieldText(QStringLiteral("HAVA"), hava);
    table.post();
  }
  QStringList serials() {
    QStringList out;
    const QByteArray bm = table.bookmark();
    for (table.first(); !table.eof(); table.next()) out << table.fieldText(QStringLiteral("SERiNO"));
    table.gotoBookmark(bm);
    return out;
  }
  QString current() { return table.fieldText(QStringLiteral("SERiNO")); }

  test::OpenTempDir dir;
  Dataset table{QStringLiteral("Table1")};
};

void expectError(const std::function<void()>& f, const QString& text, const char* what) {
  try {
    f();
    ADD_FAILURE() << what << ": no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.text(), text) << what;
  }
}

}  // namespace

TEST_F(DatasetTest, ClosedViewRaisesWithItsName) {
  const QString closed = QStringLiteral("Table1: Cannot perform this operation on a closed dataset");
  const std::pair<const char*, std::function<void()>> ops[] = {
      {"first", [&] { table.first(); }},
      {"next", [&] { table.next(); }},
      {"append", [&] { table.append(); }},
      {"insert", [&] { table.insert(); }},
      {"edit", [&] { table.edit(); }},
      {"post", [&] { table.post(); }},
      {"delete", [&] { table.deleteRecord(); }},
      {"recordCount", [&] { table.recordCount(); }},
      {"fieldText", [&] { table.fieldText(QStringLiteral("SERiNO")); }},
      {"setFieldText", [&] { table.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("x")); }},
  };
  for (const auto& [what, op] : ops) expectError(op, closed, what);
  EXPECT_TRUE(table.bookmark().isEmpty());
  EXPECT_NO_THROW(table.close());
  EXPECT_NO_THROW(table.cancel());
}

TEST_F(DatasetTest, EmptyTable) {
  table.open();
  EXPECT_EQ(table.recordCount(), 0);
  EXPECT_TRUE(table.eof());
  EXPECT_EQ(table.recNo(), -1);
  EXPECT_EQ(current(), QString());
  EXPECT_TRUE(table.bookmark().isEmpty());
  expectError([&] { table.deleteRecord(); },
              QStringLiteral("Table1: Cannot perform this operation on an empty dataset"), "delete");
  // Edit on an empty table starts a new record.
  table.edit();
  EXPECT_EQ(table.state(), Dataset::State::Insert);
  table.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("A"));
  table.post();
  EXPECT_EQ(table.recordCount(), 1);
  EXPECT_EQ(table.fieldText(QStringLiteral("SIRANO")), QStringLiteral("1"));
}

TEST_F(DatasetTest, OpeningMakesTheFirstRecordCurrent) {
  table.open();
  add(QStringLiteral("A"));
  add(QStringLiteral("B"));
  add(QStringLiteral("C"));
  EXPECT_EQ(current(), QStringLiteral("C"));
  table.close();
  table.open();
  EXPECT_EQ(table.recNo(), 0);
  EXPECT_EQ(current(), QStringLiteral("A"));
  EXPECT_EQ(serials(), (QStringList{"A", "B", "C"}));
}

TEST_F(DatasetTest, DeleteMakesTheNextElseThePreviousCurrent) {
  table.open();
  for (const char* s : {"A", "B", "C", "D"}) add(QString::fromLatin1(s));
  struct Step {
    int moveTo;
    const char* currentAfter;
    QStringList left;
  } steps[] = {
      {1, "C", {"A", "C", "D"}},  // middle: the next one
      {2, "C", {"A", "C"}},       // last: the previous one
      {0, "C", {"C"}},            // first: the next one
      {0, "", {}},                // the only one: none
  };
  for (const auto& s : steps) {
    table.moveTo(s.moveTo);
    table.deleteRecord();
    EXPECT_EQ(current(), QString::fromLatin1(s.currentAfter));
    EXPECT_EQ(serials(), s.left);
  }
  EXPECT_EQ(table.recNo(), -1);
  EXPECT_TRUE(table.eof());
}

TEST_F(DatasetTest, AutoIncrementNumbersAreNeverReused) {
  table.open();
  add(QStringLiteral("A"));
  add(QStringLiteral("B"));
  table.last();
  table.deleteRecord();  // SIRANO 2
  table.close();
  table.open();
  add(QStringLiteral("C"));
  EXPECT_EQ(table.fieldText(QStringLiteral("SIRANO")), QStringLiteral("3"));
}

TEST_F(DatasetTest, Bookmarks) {
  table.open();
  for (const char* s : {"A", "B", "C"}) add(QString::fromLatin1(s));
  table.moveTo(1);
  const QByteArray bm = table.bookmark();
  table.first();
  table.gotoBookmark(bm);
  EXPECT_EQ(current(), QStringLiteral("B"));
  table.moveTo(2);
  table.gotoBookmark(QByteArray());  // empty: nothing changes
  EXPECT_EQ(current(), QStringLiteral("C"));
  table.moveTo(1);
  table.deleteRecord();
  expectError([&] { table.gotoBookmark(bm); }, QStringLiteral("Table1: Record not found"), "deleted bookmark");
  EXPECT_EQ(current(), QStringLiteral("C"));
}

TEST_F(DatasetTest, DeleteByBookmarkRemovesTheConfirmedRecord) {
  table.open();
  for (const char* s : {"A", "B"}) add(QString::fromLatin1(s));
  table.first();
  const QByteArray confirmed = table.bookmark();
  add(QStringLiteral("C"));  // the view moved on meanwhile
  table.deleteBookmarked(confirmed);
  EXPECT_EQ(serials(), (QStringList{"B", "C"}));
  EXPECT_EQ(current(), QStringLiteral("B"));
  expectError([&] { table.deleteBookmarked(confirmed); }, QStringLiteral("Table1: Record not found"), "gone");
  EXPECT_EQ(serials(), (QStringList{"B", "C"}));
}

TEST_F(DatasetTest, AppendEditCancelAndClose) {
  table.open();
  add(QStringLiteral("A"), QStringLiteral("1.5"));

  table.append();
  table.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("X"));
  table.cancel();
  EXPECT_EQ(serials(), QStringList{"A"});

  table.edit();
  table.setFieldText(QStringLiteral("HAVA"), QStringLiteral("9"));
  EXPECT_EQ(table.fieldText(QStringLiteral("HAVA")), QStringLiteral("9"));  // the pending value
  table.cancel();
  EXPECT_EQ(table.fieldText(QStringLiteral("HAVA")), QStringLiteral("1.5"));

  table.edit();
  table.setFieldText(QStringLiteral("HAVA"), QString());  // empty text: no value
  table.setFieldText(QStringLiteral("PRES"), QStringLiteral(" -2.5E-7 "));
  table.post();
  table.close();
  table.open();
  EXPECT_EQ(table.fieldValue(QStringLiteral("HAVA")), QVariant());
  EXPECT_EQ(table.fieldText(QStringLiteral("PRES")), QStringLiteral("-2.5E-7"));

  // Closing drops an unposted change.
  table.append();
  table.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("Y"));
  table.close();
  table.open();
  EXPECT_EQ(serials(), QStringList{"A"});
}

TEST_F(DatasetTest, StartingANewRecordDropsAnUnchangedPendingOne) {
  table.open();
  table.append();
  table.append();  // the first, unchanged, is dropped
  table.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("A"));
  table.post();
  EXPECT_EQ(table.recordCount(), 1);
  table.append();
  table.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("B"));
  table.append();  // a changed one is posted first
  table.cancel();
  EXPECT_EQ(serials(), (QStringList{"A", "B"}));
}

TEST_F(DatasetTest, FieldTextRules) {
  table.setRegional(RegionalSettings::turkish());
  table.open();
  table.append();
  table.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("T09122026K1405V-LONG"));
  table.setFieldText(QStringLiteral("HAVA"), QStringLiteral("2,5"));
  expectError([&] { table.setFieldText(QStringLiteral("PRES"), QStringLiteral("2.5")); },
              QStringLiteral("'2.5' is not a valid floating point value for field 'PRES'"), "dot under comma");
  expectError([&] { table.setFieldText(QStringLiteral("NOPE"), QStringLiteral("1")); },
              QStringLiteral("Table1: Field 'NOPE' not found"), "unknown field");
  EXPECT_THROW(table.setFieldText(QStringLiteral("SIRANO"), QStringLiteral("5")), Error);
  table.post();
  EXPECT_EQ(current(), QStringLiteral("T09122026K1405V"));
  EXPECT_EQ(table.fieldText(QStringLiteral("HAVA")), QStringLiteral("2,5"));
  expectError([&] { table.setFieldText(QStringLiteral("HAVA"), QStringLiteral("1")); },
              QStringLiteral("Table1: Dataset not in edit or insert mode"), "browse");
}

TEST_F(DatasetTest, SignalsFollowEveryChange) {
  table.open();
  QSignalSpy inserted(&table, &Dataset::recordInserted);
  QSignalSpy removed(&table, &Dataset::recordRemoved);
  QSignalSpy moved(&table, &Dataset::currentChanged);
  add(QStringLiteral("A"));
  add(QStringLiteral("B"));
  ASSERT_EQ(inserted.size(), 2);
  EXPECT_EQ(inserted[1][0].toInt(), 1);
  EXPECT_EQ(moved.last()[0].toInt(), 1);
  table.first();
  table.deleteRecord();
  ASSERT_EQ(removed.size(), 1);
  EXPECT_EQ(removed[0][0].toInt(), 0);
  EXPECT_EQ(moved.last()[0].toInt(), 0);
}

TEST_F(DatasetTest, DateAndTimeFields) {
  const std::vector<FieldDef> fields{{QStringLiteral("SERiNO"), FieldKind::Text, 15},
                                     {QStringLiteral("TARiH"), FieldKind::Date, 0},
                                     {QStringLiteral("SAAT"), FieldKind::Time, 0},
                                     {QStringLiteral("HAVA"), FieldKind::Float, 0}};
  Dataset::createTable(dir.path(), QStringLiteral("Print"), fields);
  EXPECT_TRUE(Dataset::fileExists(dir.file(QStringLiteral("Print.db"))));  // Paradox-like default extension
  Dataset t2(QStringLiteral("Table2"));
  t2.setRegional(RegionalSettings::turkish());
  t2.setFieldDefs(fields);
  t2.setTableName(dir.file(QStringLiteral("Print.db")));
  t2.open();
  t2.edit();  // empty: a new record
  t2.setFieldText(QStringLiteral("TARiH"), QStringLiteral("09.03.2026"));
  t2.setFieldText(QStringLiteral("SAAT"), QStringLiteral("14:05"));
  t2.post();
  EXPECT_EQ(t2.fieldValue(QStringLiteral("TARiH")).toDate(), QDate(2026, 3, 9));
  EXPECT_EQ(t2.fieldValue(QStringLiteral("SAAT")).toTime(), QTime(14, 5));
  EXPECT_EQ(t2.fieldText(QStringLiteral("TARiH")), QStringLiteral("09.03.2026"));
  EXPECT_EQ(t2.fieldText(QStringLiteral("SAAT")), QStringLiteral("14:05:00"));
  t2.edit();
  expectError([&] { t2.setFieldText(QStringLiteral("TARiH"), QStringLiteral("..")); },
              QStringLiteral("'..' is not a valid date"), "date");
  expectError([&] { t2.setFieldText(QStringLiteral("TARiH"), QStringLiteral("31.02.2026")); },
              QStringLiteral("'31.02.2026' is not a valid date"), "date");
  expectError([&] { t2.setFieldText(QStringLiteral("SAAT"), QStringLiteral(":")); },
              QStringLiteral("':' is not a valid time"), "time");
  t2.setFieldDate(QStringLiteral("TARiH"), QDate(2027, 1, 5));
  t2.setFieldTime(QStringLiteral("SAAT"), QTime(0, 0));
  t2.post();
  EXPECT_EQ(t2.recordCount(), 1);
  EXPECT_EQ(t2.fieldText(QStringLiteral("TARiH")), QStringLiteral("05.01.2027"));
}

TEST_F(DatasetTest, SettingNamesWhileOpenIsRefused) {
  table.open();
  EXPECT_THROW(table.setTableName(QStringLiteral("x.tkv")), Error);
  EXPECT_EQ(table.tableName(), QStringLiteral("T09122026K.tkv"));
}

TEST_F(DatasetTest, CreateNeverReplacesAFile) {
  table.open();
  add(QStringLiteral("A"));
  table.close();
  const QString path = dir.file(QStringLiteral("T09122026K.tkv"));
  const QByteArray before = test::fileBytes(path);
  EXPECT_THROW(Dataset::createTable(dir.path(), QStringLiteral("T09122026K.tkv"), recordFields()), Error);
  EXPECT_EQ(test::fileBytes(path), before);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);  // no leftovers
}
