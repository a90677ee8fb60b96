#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "output/export_all.h"
#include "platform/fakes/recording_progress.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/spreadsheet/fakes/recording_opener.h"
#include "platform/spreadsheet/fakes/recording_spreadsheet.h"
#include "platform/spreadsheet/spreadsheet_application.h"
#include "tests/output/vector_record_source.h"
#include "tests/support/xlsx_reader.h"
#include "platform/form_state.h"

namespace velta {
namespace {

using test::testRecord;

class ExportAllTest : public ::testing::Test {
 protected:
  void SetUp() override { fake->registerIn(registry); }
  void click() { SpeedButton4Click(connection, table, progress); }
  const RecordingSpreadsheet::Workbook& book(size_t i = 0) { return fake->instances.at(0).workbooks.at(i); }
  Variant cell(int row, int col, size_t b = 0) {
    auto it = book(b).values.find({row, col});
    return it == book(b).values.end() ? Variant() : it->second;
  }
  static void row(QStringList& want, int n, const QStringList& texts) {
    for (int c = 1; c <= texts.size(); ++c)
      want << QStringLiteral("Cell(%1,%2).Value2=\"%3\"").arg(n).arg(c).arg(texts[c - 1])
           << QStringLiteral("Cell(%1,%2).Next").arg(n).arg(c);
  }

  ObjectRegistry registry;
  std::shared_ptr<RecordingSpreadsheet> fake = std::make_shared<RecordingSpreadsheet>();
  SpreadsheetConnection connection{registry};
  test::VectorRecordSource table;
  RecordingProgress progress;
};

TEST_F(ExportAllTest, HeadingRowThenOneRowPerRecordInTheirOrder) {
  table.rows = {testRecord(1), testRecord(2), testRecord(3)};
  click();

  QStringList want = {"Visible=True", "Workbooks", "Workbooks.Add(1)", "ActiveWindow",
                      "Window(1).Caption=\"T09032026K.tkv\"", "ActiveCell"};
  row(want, 1, test::testRecordFields());
  for (int n = 2; n <= 4; ++n) {
    want << QStringLiteral("Range(\"A%1\",\"A%1\")").arg(n);
    row(want, n, testRecord(n - 1));
  }
  want << "HandOverWorkbooks";
  EXPECT_EQ(fake->calls, want);
  EXPECT_EQ(fake->instances.at(0).handOvers, 1);
  EXPECT_EQ(progress.calls, (QStringList{"begin Kayıtlar aktarılıyor (3 kayıt) 3", "advance 3", "end"}));
  EXPECT_EQ(fake->liveObjects, 1) << "only the connection keeps the application";
}

TEST_F(ExportAllTest, EmptyFileGivesTheHeadingRowAlone) {
  click();
  EXPECT_EQ(book().values.size(), 18u);
  EXPECT_EQ(cell(1, 1), Variant(QStringLiteral("SIRANO")));
  EXPECT_EQ(cell(1, 18), Variant(QStringLiteral("BOY3")));
  EXPECT_FALSE(fake->calls.join('\n').contains(QStringLiteral("Range(")));
  EXPECT_EQ(progress.calls, (QStringList{"begin Kayıtlar aktarılıyor (0 kayıt) 0", "advance 0", "end"}));
}

TEST_F(ExportAllTest, CaptionIsTheLastFourteenCharactersOfTheTableName) {
  const std::pair<const char*, const char*> cases[] = {
      {"T09032026K.tkv", "T09032026K.tkv"},
      {"/home/operator/veri/T01012026K.tkv", "T01012026K.tkv"},
      {"/srv/D/rododezuz/data/eski.tkv", "/data/eski.tkv"},
      {"a.tkv", "a.tkv"},
      {"", ""},
  };
  for (const auto& [name, caption] : cases) {
    EXPECT_EQ(exportWindowCaption(QString::fromUtf8(name)), QString::fromUtf8(caption)) << name;
  }
  table.name = QStringLiteral("/home/operator/veri/T01012026K.tkv");
  click();
  EXPECT_EQ(book().caption, QStringLiteral("T01012026K.tkv"));
}

TEST_F(ExportAllTest, FieldTextsGoAsTheyStand) {
  QStringList r = testRecord(1);
  r[2] = QStringLiteral("2,5");
  r[3] = QStringLiteral("2.5");
  r[4] = QStringLiteral("1E-5");
  r[5] = QString();
  r[0] = QStringLiteral("-7");
  table.rows = {r};
  click();
  for (int c = 1; c <= 18; ++c) {
    EXPECT_EQ(cell(2, c), Variant(r[c - 1])) << c;
    EXPECT_EQ(cell(2, c).type(), Variant::Type::Text) << c;
  }
}

TEST_F(ExportAllTest, TwoExportsGiveTwoWorkbooksInTheSameApplication) {
  table.rows = {testRecord(1)};
  click();
  table.name = QStringLiteral("T10032026K.tkv");
  table.rows = {testRecord(5), testRecord(6)};
  click();
  ASSERT_EQ(fake->instances.size(), 1u);
  ASSERT_EQ(fake->instances[0].workbooks.size(), 2u);
  EXPECT_EQ(book(0).caption, QStringLiteral("T09032026K.tkv"));
  EXPECT_EQ(book(1).caption, QStringLiteral("T10032026K.tkv"));
  EXPECT_EQ(cell(3, 1, 1), Variant(QStringLiteral("r6f1")));
  EXPECT_TRUE(cell(3, 1, 0).isEmpty()) << "the earlier workbook is left as it was";
  EXPECT_EQ(fake->instances[0].handOvers, 2);
}

TEST_F(ExportAllTest, FailureEndsTheExportButHandsOverWhatWasWritten) {
  struct Case {
    const char* name;
    const char* failingCallPrefix;
    int failAtRow;
    int rowsRead;
  };
  const Case cases[] = {
      {"caption", "Window(1).Caption", 0, 0},
      {"heading", "Cell(1,7).Value2", 0, 0},
      {"record cell", "Cell(3,5).Value2", 0, 2},
      {"range", "Range(\"A4\"", 0, 3},
      {"table read", nullptr, 3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto local = std::make_shared<RecordingSpreadsheet>();
    ObjectRegistry reg;
    local->registerIn(reg);
    SpreadsheetConnection conn(reg);
    test::VectorRecordSource src;
    src.rows = {testRecord(1), testRecord(2), testRecord(3), testRecord(4)};
    src.failAtRow = c.failAtRow;
    RecordingProgress prog;
    if (c.failingCallPrefix)
      local->failIf = [p = QString::fromUtf8(c.failingCallPrefix)](const QString& call) { return call.startsWith(p); };
    EXPECT_THROW(SpeedButton4Click(conn, src, prog), Error);
    EXPECT_EQ(local->calls.last(), QStringLiteral("HandOverWorkbooks"));
    EXPECT_EQ(local->liveObjects, 1);
    EXPECT_EQ(src.rowsRead, c.rowsRead);
    if (!prog.calls.isEmpty()) {
      EXPECT_EQ(prog.calls.last(), QStringLiteral("end"));
    }
  }
}

TEST_F(ExportAllTest, ConnectionThatCannotBeMadeIsAnError) {
  fake->failCreate = true;
  EXPECT_THROW(click(), Error);
  EXPECT_TRUE(fake->calls.isEmpty());
  EXPECT_TRUE(progress.calls.isEmpty());
  fake->failCreate = false;
  click();  // connects on the next export
  EXPECT_EQ(fake->instances.size(), 1u);
}

TEST_F(ExportAllTest, ProgressIsReportedWhileItRuns) {
  for (int r = 1; r <= 2500; ++r) table.rows.push_back(testRecord(r));
  click();
  EXPECT_EQ(progress.calls,
            (QStringList{"begin Kayıtlar aktarılıyor (2500 kayıt) 2500", "advance 1000", "advance 2000", "advance 2500", "end"}));
}

// The real spreadsheet stand-in: headings, record rows, number and text cells, title.
TEST(ExportAllFile, WorkbookAsTheOperatorGetsIt) {
  QTemporaryDir root;
  ScriptedDialogs dialogs;
  RecordingOpener opener;
  ObjectRegistry registry;
  registerSpreadsheetApplication(registry, {dialogs, opener, RegionalSettings::turkish(),
                                            unsavedWorkbooksFolder(root.path()), kApplicationTitle});
  SpreadsheetConnection connection(registry);
  test::VectorRecordSource table;
  const int records = 3000;  // well past the rows kept in memory
  for (int r = 1; r <= records; ++r) {
    QStringList t;
    t << QString::number(r) << QStringLiteral("T09032026K1405V");
    for (int f = 0; f < 16; ++f) t << QStringLiteral("%1,%2").arg(r).arg(f);
    table.rows.push_back(t);
  }
  table.rows[1][4] = QStringLiteral("2.5");
  table.rows[1][5] = QString();
  RecordingProgress progress;
  SpeedButton4Click(connection, table, progress);

  ASSERT_EQ(opener.opened.size(), 1);
  EXPECT_TRUE(dialogs.shown.empty()) << "no closing message";
  const auto x = test::readXlsx(opener.opened[0]);
  EXPECT_EQ(x.title, QStringLiteral("T09032026K.tkv"));
  const QStringList fields = test::testRecordFields();
  for (int c = 0; c < 18; ++c) {
    const auto& h = x.cells.at(QString(QChar(u'A' + c)) + u'1');
    EXPECT_EQ(h.value, fields[c]);
    EXPECT_FALSE(h.number);
  }
  EXPECT_TRUE(x.cells.at(QStringLiteral("A2")).number);
  EXPECT_EQ(x.cells.at(QStringLiteral("B2")).value, QStringLiteral("T09032026K1405V"));
  EXPECT_FALSE(x.cells.at(QStringLiteral("B2")).number);
  EXPECT_DOUBLE_EQ(x.cells.at(QStringLiteral("C2")).value.toDouble(), 1.0);
  EXPECT_EQ(x.cells.at(QStringLiteral("E3")).value, QStringLiteral("2.5"));
  EXPECT_FALSE(x.cells.at(QStringLiteral("E3")).number);
  EXPECT_FALSE(x.cells.count(QStringLiteral("F3")));
  EXPECT_DOUBLE_EQ(x.cells.at(QStringLiteral("R%1").arg(records + 1)).value.toDouble(), records + 0.15);
  EXPECT_EQ(x.cells.size(), static_cast<size_t>(18 * (records + 1) - 1));
  EXPECT_TRUE(x.widths.empty());
}

}  // namespace
}  // namespace velta
