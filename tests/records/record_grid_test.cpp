#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "records/daily_file.h"
#include "records/record_table_model.h"
#include "ui/record_grid_binding.h"
#include "../support/temp_station.h"

using namespace velta;

namespace {

class RecordGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dataset::createTable(dir.path(), QStringLiteral("T09122026K.tkv"), DailyFileFields(), DailyFileIndex());
    table.setRegional(RegionalSettings::turkish());
    table.setFieldDefs(DailyFileFields());
    table.setDirectory(dir.path());
    table.setTableName(QStringLiteral("T09122026K.tkv"));
  }
  void add(const QString& serial, const QString& hava) {
    table.append();
    table.setFieldText(QStringLiteral("SERiNO"), serial);
    table.setFieldText(QStringLiteral("HAVA"), hava);
    table.post();
  }
  QString cell(int row, int column) { return model.data(model.index(row, column)).toString(); }

  test::OpenTempDir dir;
  Dataset table{QStringLiteral("Table1")};
  RecordTableModel model{table};
  QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

}  // namespace

TEST_F(RecordGridTest, ColumnsTitlesAndLooks) {
  ASSERT_EQ(model.columnCount(), 18);
  const QStringList titles{"SIRANO", "SERiNO", "HAVA (bar)", "PRES  (kg)", "EN   (cm)", "BOY  (cm)", "HAVA1"};
  for (int c = 0; c < titles.size(); ++c)
    EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), titles[c]) << c;
  EXPECT_EQ(model.headerData(17, Qt::Horizontal).toString(), QStringLiteral("BOY3"));
  EXPECT_EQ(model.rowCount(), 0);  // closed: no rows

  table.open();
  add(QStringLiteral("T09122026K1405V"), QStringLiteral("2,5"));
  struct Case {
    int column;
    QColor color;
    Qt::Alignment align;
  } cases[] = {{0, QColor(255, 0, 0), Qt::AlignCenter},
               {1, QColor(255, 255, 0), Qt::AlignCenter},
               {2, QColor(0, 255, 0), Qt::AlignRight | Qt::AlignVCenter},
               {17, QColor(0, 255, 0), Qt::AlignRight | Qt::AlignVCenter}};
  for (const auto& c : cases) {
    const QModelIndex i = model.index(0, c.column);
    EXPECT_EQ(model.data(i, Qt::ForegroundRole).value<QColor>(), c.color) << c.column;
    EXPECT_EQ(model.data(i, Qt::TextAlignmentRole).value<Qt::Alignment>(), c.align) << c.column;
    const QFont f = model.data(i, Qt::FontRole).value<QFont>();
    EXPECT_EQ(f.pixelSize(), 16);
    EXPECT_TRUE(f.bold());
    EXPECT_FALSE(model.flags(i) & Qt::ItemIsEditable);
  }
}

TEST_F(RecordGridTest, RowsFollowTheDatasetAtOnce) {
  table.open();
  add(QStringLiteral("A"), QStringLiteral("2,5"));
  add(QStringLiteral("B"), QString());
  add(QStringLiteral("C"), QStringLiteral("0,00001"));
  ASSERT_EQ(model.rowCount(), 3);
  EXPECT_EQ(cell(0, 0), QStringLiteral("1"));
  EXPECT_EQ(cell(0, 1), QStringLiteral("A"));
  EXPECT_EQ(cell(0, 2), QStringLiteral("2,5"));
  EXPECT_EQ(cell(1, 2), QString());  // empty field, empty cell
  EXPECT_EQ(cell(2, 2), QStringLiteral("1E-5"));

  table.moveTo(1);
  table.deleteRecord();
  ASSERT_EQ(model.rowCount(), 2);
  EXPECT_EQ(cell(1, 1), QStringLiteral("C"));
  EXPECT_EQ(cell(1, 0), QStringLiteral("3"));

  table.first();
  table.edit();
  table.setFieldText(QStringLiteral("HAVA"), QStringLiteral("7"));
  table.post();
  EXPECT_EQ(cell(0, 2), QStringLiteral("7"));

  table.close();
  EXPECT_EQ(model.rowCount(), 0);
  table.open();
  EXPECT_EQ(model.rowCount(), 2);
}

TEST_F(RecordGridTest, ManyRowsReadLazily) {
  {
    // Many records in one transaction (appending them one by one would sync each).
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file(QStringLiteral("T09122026K.tkv")).toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (int i = 0; i < 300; ++i) {
      const QByteArray sql = QStringLiteral("INSERT INTO records(SERiNO, HAVA) VALUES('S%1', %1)").arg(i).toUtf8();
      ASSERT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  table.open();
  ASSERT_EQ(model.rowCount(), 300);
  EXPECT_EQ(cell(299, 1), QStringLiteral("S299"));
  EXPECT_EQ(cell(0, 1), QStringLiteral("S0"));
  EXPECT_EQ(cell(150, 2), QStringLiteral("150"));
}

TEST_F(RecordGridTest, BindingKeepsViewAndDatasetInStep) {
  QTableView view;
  view.setModel(&model);
  RecordGridBinding binding(view, table);
  view.resize(900, 400);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

  table.open();
  for (const char* s : {"A", "B", "C", "D"}) add(QString::fromLatin1(s), QStringLiteral("1"));
  // Appending makes the new record current, and the view follows.
  EXPECT_EQ(table.recNo(), 3);
  EXPECT_EQ(view.currentIndex().row(), 3);
  EXPECT_TRUE(view.selectionModel()->isRowSelected(3, {}));

  // The operator clicks a row: the dataset follows.
  const QRect r = view.visualRect(model.index(1, 1));
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, r.center());
  EXPECT_EQ(table.recNo(), 1);
  EXPECT_EQ(table.fieldText(QStringLiteral("SERiNO")), QStringLiteral("B"));

  // Keys move it too.
  QTest::keyClick(&view, Qt::Key_Down);
  EXPECT_EQ(table.fieldText(QStringLiteral("SERiNO")), QStringLiteral("C"));
  QTest::keyClick(&view, Qt::Key_Home);
  EXPECT_EQ(table.recNo(), 0);
  QTest::keyClick(&view, Qt::Key_End);
  EXPECT_EQ(table.recNo(), 3);
  QTest::keyClick(&view, Qt::Key_Left);
  EXPECT_EQ(table.recNo(), 2);
  QTest::keyClick(&view, Qt::Key_Up);
  EXPECT_EQ(table.recNo(), 1);
  QTest::keyClick(&view, Qt::Key_Right);
  EXPECT_EQ(table.recNo(), 2);

  // Deleting moves the current row to the next record.
  table.moveTo(2);
  table.deleteRecord();
  EXPECT_EQ(table.fieldText(QStringLiteral("SERiNO")), QStringLiteral("D"));
  EXPECT_EQ(view.currentIndex().row(), 2);
  table.deleteRecord();  // the last one: the previous becomes current
  EXPECT_EQ(table.fieldText(QStringLiteral("SERiNO")), QStringLiteral("B"));
  EXPECT_EQ(view.currentIndex().row(), 1);

  // Re-opening shows the first record current.
  table.close();
  EXPECT_FALSE(view.currentIndex().isValid());
  table.open();
  EXPECT_EQ(view.currentIndex().row(), 0);
  EXPECT_EQ(table.recNo(), 0);
}

// A stored piece does not move the grid under the operator: on an older record the
// highlight and the scroll position stay; on the last record the grid follows the new one.
TEST_F(RecordGridTest, AStoredPieceMovesTheGridOnlyForAnOperatorOnTheLastRecord) {
  QTableView view;
  view.setModel(&model);
  RecordGridBinding binding(view, table);
  view.resize(900, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  table.open();
  FormState form;
  ScriptedDialogs dialogs;
  FakeClock clock{{2026, 12, 9}, {14, 5, 30}};
  const DriveMap drives{dir.path()};
  auto piece = [&](int n) {
    form.setText(ctl::Edit25, QStringLiteral("T09122026K%1V").arg(n, 4, 10, QChar(u'0')));
    for (int e = ctl::Edit26; e <= ctl::Edit41; ++e) form.setText(e, QStringLiteral("1,5"));
    AppendTestRecord({table, form, dialogs, clock, drives});
  };
  for (int n = 0; n < 40; ++n) piece(n);
  ASSERT_EQ(view.currentIndex().row(), 39);  // the operator was on the newest: followed

  // The operator scrolls up and clicks row 10.
  view.scrollTo(model.index(10, 1), QAbstractItemView::PositionAtTop);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(model.index(10, 1)).center());
  ASSERT_EQ(table.recNo(), 10);
  const int scroll = view.verticalScrollBar()->value();
  const QRect aimedAt = view.visualRect(model.index(10, 1));
  for (int n = 40; n < 45; ++n) piece(n);
  EXPECT_EQ(table.recNo(), 10);
  EXPECT_EQ(table.fieldText(QStringLiteral("SERiNO")), QStringLiteral("T09122026K0010V"));
  EXPECT_EQ(view.currentIndex().row(), 10);
  EXPECT_EQ(view.verticalScrollBar()->value(), scroll);
  EXPECT_EQ(view.visualRect(model.index(10, 1)), aimedAt) << "the row moved under the pointer";

  // Back on the last record, the grid follows each new piece again.
  QTest::keyClick(&view, Qt::Key_End);
  piece(45);
  EXPECT_EQ(table.recNo(), 45);
  EXPECT_EQ(view.currentIndex().row(), 45);
}
