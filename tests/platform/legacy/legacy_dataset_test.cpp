// A table of the previous station program through the table view: opened read-only with
// its records in SIRANO order whatever order its blocks hold them in, every value and
// every empty field as the fixture wrote them, the fields checked as a new file's are,
// and every change refused with the file left as it was.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>

#include "paradox_fixture.h"
#include "platform/error.h"
#include "platform/tablestore/dataset.h"
#include "../../support/temp_station.h"

namespace velta {
namespace {

using test::FixtureRow;
using test::FixtureTable;

// The daily layout as a view declares it.
std::vector<FieldDef> dailyDeclared() {
  std::vector<FieldDef> f{{"SIRANO", FieldKind::AutoInc, 0}, {"SERiNO", FieldKind::Text, 15}};
  for (const char* suffix : {"", "1", "2", "3"})
    for (const char* q : {"HAVA", "PRES", "EN", "BOY"}) f.push_back({QString(q) + suffix, FieldKind::Float, 0});
  return f;
}

bool same(const QVariant& got, const QVariant& want) {
  if (got.isValid() != want.isValid()) return false;
  if (!want.isValid()) return true;
  if (want.typeId() == QMetaType::Double) return got.toDouble() == want.toDouble();
  if (want.typeId() == QMetaType::QString) return got.toString() == want.toString();
  return got.toLongLong() == want.toLongLong();
}

class OldTableView : public ::testing::Test {
 protected:
  // A daily table of 60 records in 1 KiB blocks whose chain runs 3, 1, 2, 10, 4 .. 9, so
  // the blocks hold the records out of SIRANO order.
  void SetUp() override {
    fixture.fields = test::dailyFields();
    fixture.rows = test::dailyRows(60);
    fixture.blockKiB = 1;
    test::writeParadox(path, fixture);
    QByteArray bytes = test::fileBytes(path);
    test::relinkBlocks(bytes, {3, 1, 2, 10, 4, 5, 6, 7, 8, 9});
    test::writeBytes(path, bytes);
    written = test::fileBytes(path);
    bySirano = fixture.rows;
    std::sort(bySirano.begin(), bySirano.end(), [](const FixtureRow& a, const FixtureRow& b) {
      return a[0].expected.toLongLong() < b[0].expected.toLongLong();
    });
  }

  QTemporaryDir dir;
  QString path = dir.filePath("T09032019K.tkv");
  FixtureTable fixture;
  std::vector<FixtureRow> bySirano;
  QByteArray written;
};

TEST_F(OldTableView, OpensReadOnlyInSiranoOrderWithEveryValueAndEveryEmptyField) {
  Dataset t("Table1");
  t.setFieldDefs(dailyDeclared());
  t.setTableName(path);
  t.open();
  EXPECT_TRUE(t.readOnly());
  EXPECT_TRUE(t.readProblems().isEmpty()) << t.readProblems().join(" | ").toStdString();
  EXPECT_EQ(t.filePath(), path) << "the view names the old file, not its scratch copy";
  ASSERT_EQ(t.recordCount(), static_cast<int>(bySirano.size()));
  int differences = 0;
  for (int r = 0; r < t.recordCount() && differences < 5; ++r) {
    const std::vector<QVariant> got = t.recordAt(r);
    for (size_t f = 0; f < got.size(); ++f)
      if (!same(got[f], bySirano[static_cast<size_t>(r)][f].expected)) {
        ++differences;
        ADD_FAILURE() << "record " << r << " field " << t.field(static_cast<int>(f)).name.toStdString() << ": got "
                      << got[f].toString().toStdString() << ", wrote "
                      << bySirano[static_cast<size_t>(r)][f].expected.toString().toStdString()
                      << (bySirano[static_cast<size_t>(r)][f].expected.isValid() ? "" : " (empty)");
      }
  }
  // The sample holds gaps in SIRANO, empty fields and stored zeros (else this proves little).
  const auto hasGap = std::adjacent_find(bySirano.begin(), bySirano.end(), [](const FixtureRow& a, const FixtureRow& b) {
    return b[0].expected.toLongLong() != a[0].expected.toLongLong() + 1;
  });
  EXPECT_NE(hasGap, bySirano.end());
}

TEST_F(OldTableView, EveryChangeIsRefusedAndTheFileStaysAsItWas) {
  Dataset t("Table1");
  t.setFieldDefs(dailyDeclared());
  t.setTableName(path);
  t.open();
  const struct {
    const char* what;
    void (*change)(Dataset&);
  } changes[] = {{"append", [](Dataset& d) { d.append(); }},
                 {"edit", [](Dataset& d) { d.edit(); }},
                 {"delete", [](Dataset& d) { d.deleteRecord(); }},
                 {"delete by bookmark", [](Dataset& d) { d.deleteBookmarked(d.bookmark()); }}};
  for (const auto& c : changes) {
    try {
      c.change(t);
      ADD_FAILURE() << c.what << " went through";
    } catch (const Error& e) {
      EXPECT_EQ(e.text(), "Table1: Cannot modify a read-only dataset") << c.what;
    }
  }
  EXPECT_EQ(t.recordCount(), static_cast<int>(bySirano.size()));
  t.close();
  EXPECT_EQ(test::fileBytes(path), written);
}

TEST(OldTableFields, AFieldMissingOrOfAnotherKindIsNamedAsForANewFile) {
  const struct {
    const char* name;
    int field;
    QByteArray newName;
    int pxType;
    int size;
    const char* error;
  } cases[] = {
      {"missing", 4, "HAVX", 0, 0, "Table1: Field 'HAVA' not found in '%1'"},
      {"text for a number", 4, "", 0x01, 8, "Table1: Type mismatch for field 'HAVA' in '%1', expecting: Float actual: String"},
      {"serial of another length", 3, "", 0x01, 20, "Table1: Size mismatch for field 'SERiNO' in '%1', expecting: 15 actual: 20"},
  };
  for (const auto& c : cases) {
    QTemporaryDir dir;
    FixtureTable t;
    t.fields = test::dailyFields();
    auto& f = t.fields[static_cast<size_t>(c.field == 3 ? 1 : 2)];
    if (!c.newName.isEmpty()) f.name = c.newName;
    if (c.pxType) {
      f.pxType = c.pxType;
      f.size = c.size;
    }
    const QString path = dir.filePath("other.tkv");
    test::writeParadox(path, t);
    Dataset view("Table1");
    view.setFieldDefs(dailyDeclared());
    view.setTableName(path);
    try {
      view.open();
      ADD_FAILURE() << c.name << ": opened";
    } catch (const ForeignFileError& e) {
      EXPECT_EQ(e.text(), QString::fromUtf8(c.error).arg(path)) << c.name;
    }
    EXPECT_FALSE(view.active());
  }
}

}  // namespace
}  // namespace velta
