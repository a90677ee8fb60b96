// The all-records export of a real daily data file open in Table1.
#include <sqlite3.h>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "output/dataset_record_source.h"
#include "output/export_all.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/recording_progress.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/spreadsheet/fakes/recording_opener.h"
#include "platform/spreadsheet/fakes/recording_spreadsheet.h"
#include "platform/spreadsheet/spreadsheet_application.h"
#include "platform/tablestore/dataset_snapshot.h"
#include "records/daily_file.h"
#include "tests/output/vector_record_source.h"
#include "tests/support/xlsx_reader.h"
#include "platform/form_state.h"

namespace velta {
namespace {

const QString kFile = QStringLiteral("T09032026K.tkv");

// SERiNO then HAVA .. BOY3 as the PLC values panel would hold them (Edit25 .. Edit41).
using PanelTexts = QStringList;

PanelTexts panel(const QString& serial, const QStringList& values) {
  PanelTexts p{serial};
  for (int i = 0; i < 16; ++i) p << values.value(i);
  return p;
}

// Many records at once in one transaction (posting each through the view would make
// every one durable on its own, which a test does not need).
void fillFile(const QString& path, int records) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO records (SERiNO, HAVA, BOY3) VALUES (?, ?, ?)", -1, &st, nullptr),
            SQLITE_OK);
  for (int r = 1; r <= records; ++r) {
    const QByteArray serial = QStringLiteral("S%1").arg(r).toUtf8();
    sqlite3_bind_text(st, 1, serial.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(st, 2, r + 0.5);
    sqlite3_bind_double(st, 3, -r);
    ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

class DatasetExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake->registerIn(registry);
    Table1.setFieldDefs(DailyFileFields());
    Table1.setDirectory(dir.path());
    Dataset::createTable(dir.path(), kFile, DailyFileFields(), DailyFileIndex());
    Dataset::createTable(dir.path(), QStringLiteral("T10032026K.tkv"), DailyFileFields(), DailyFileIndex());
  }
  void open(const RegionalSettings& regional = RegionalSettings::turkish(), const QString& name = kFile) {
    Table1.close();
    Table1.setRegional(regional);
    Table1.setTableName(name);
    Table1.open();
  }
  // What a poll tick does when a piece ends: AppendTestRecord from the panel.
  void append(const PanelTexts& texts) {
    for (int i = 0; i < texts.size(); ++i) form.setText(ctl::Edit25 + i, texts[i]);
    AppendTestRecord({Table1, form, dialogs, clock, drives});
  }
  void click() { SpeedButton4Click(connection, source, progress); }
  // The workbook of the latest export.
  const RecordingSpreadsheet::Workbook& book() { return fake->instances.at(0).workbooks.back(); }
  Variant cell(int row, int col) {
    auto it = book().values.find({row, col});
    return it == book().values.end() ? Variant() : it->second;
  }
  QStringList rowTexts(int row) {
    QStringList t;
    for (int c = 1; c <= 18; ++c) t << (cell(row, c).type() == Variant::Type::Text ? cell(row, c).asText() : QStringLiteral("<%1>").arg(cell(row, c).describe()));
    return t;
  }
  int rowsWritten() {
    int last = 0;
    for (const auto& [rc, v] : book().values) last = std::max(last, rc.first);
    return last;
  }

  QTemporaryDir dir;
  Dataset Table1{QStringLiteral("Table1")};
  FormState form;
  ScriptedDialogs dialogs;
  FakeClock clock;
  DriveMap drives{dir.path()};
  ObjectRegistry registry;
  std::shared_ptr<RecordingSpreadsheet> fake = std::make_shared<RecordingSpreadsheet>();
  SpreadsheetConnection connection{registry};
  DatasetRecordSource source{Table1};
  RecordingProgress progress;
};

TEST_F(DatasetExportTest, ThreeRecordsGiveRowsOneToFourWithTheDetailPanelTexts) {
  struct Case {
    const char* name;
    RegionalSettings regional;
    std::vector<PanelTexts> stored;    // as the panel holds them
    std::vector<QStringList> wanted;   // SIRANO, SERiNO, HAVA .. BOY3 as sent
  };
  const RegionalSettings point{};  // decimal point
  const Case cases[] = {
      {"turkish",
       RegionalSettings::turkish(),
       {panel("T09032026K1405V", {"2,5", "0,00001", "", "-3", "1234567,125", "100", "0,1", "1E20"}),
        panel("", {}),
        panel("T09032026K1406V", {"", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "7,75"})},
       {QStringList{"1", "T09032026K1405V", "2,5", "1E-5", "", "-3", "1234567,125", "100", "0,1", "1E20"} +
            QStringList(8, QString()),
        QStringList{"2"} + QStringList(17, QString()),
        QStringList{"3", "T09032026K1406V"} + QStringList(15, QString()) + QStringList{"7,75"}}},
      {"decimal point",
       point,
       {panel("A", {"2.5", "0.00001"}), panel("B", {"-0.5"}), panel("C", {"1.5E-7"})},
       {QStringList{"1", "A", "2.5", "1E-5"} + QStringList(14, QString()),
        QStringList{"2", "B", "-0.5"} + QStringList(15, QString()),
        QStringList{"3", "C", "1.5E-7"} + QStringList(15, QString())}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir d;
    Dataset::createTable(d.path(), kFile, DailyFileFields(), DailyFileIndex());
    Table1.close();
    Table1.setDirectory(d.path());
    open(c.regional);
    for (const PanelTexts& p : c.stored) append(p);
    fake->calls.clear();

    click();

    EXPECT_EQ(rowTexts(1), test::testRecordFields());
    for (int n = 2; n <= 4; ++n) EXPECT_EQ(rowTexts(n), c.wanted[static_cast<size_t>(n - 2)]) << "row " << n;
    EXPECT_EQ(rowsWritten(), 4);
    QStringList ranges;
    for (const QString& call : fake->calls)
      if (call.startsWith(QStringLiteral("Range("))) ranges << call;
    EXPECT_EQ(ranges, (QStringList{"Range(\"A2\",\"A2\")", "Range(\"A3\",\"A3\")", "Range(\"A4\",\"A4\")"}));
    EXPECT_EQ(book().caption, kFile);
    EXPECT_EQ(fake->calls.last(), QStringLiteral("HandOverWorkbooks"));
  }
}

TEST_F(DatasetExportTest, EmptyFileGivesTheHeadingRowAlone) {
  open();
  click();
  EXPECT_EQ(rowTexts(1), test::testRecordFields());
  EXPECT_EQ(book().values.size(), 18u);
  EXPECT_EQ(progress.calls, (QStringList{"begin Kayıtlar aktarılıyor (0 kayıt) 0", "advance 0", "end"}));
}

TEST_F(DatasetExportTest, ClosedTableFailsWithTheDatasetsOwnErrorAfterTheHeadings) {
  Table1.setTableName(kFile);
  try {
    click();
    ADD_FAILURE() << "a closed Table1 was exported";
  } catch (const Error& e) {
    EXPECT_EQ(e.text(), QStringLiteral("Table1: Cannot perform this operation on a closed dataset"));
  }
  EXPECT_EQ(rowTexts(1), test::testRecordFields()) << "the headings come from the declared fields";
  EXPECT_EQ(book().values.size(), 18u);
  EXPECT_EQ(book().caption, kFile);
  EXPECT_EQ(fake->calls.last(), QStringLiteral("HandOverWorkbooks"));
}

// The grid's current record is the same before and after, whether the export ends
// normally or fails in the record loop; the view never even signals a move.
TEST_F(DatasetExportTest, Table1CursorStaysOnItsRecord) {
  const std::pair<const char*, const char*> cases[] = {
      {"completes", nullptr},
      {"cell refused", "Cell(3,5).Value2"},
      {"range refused", "Range(\"A4\""},
  };
  open();
  for (int r = 1; r <= 4; ++r) append(panel(QStringLiteral("S%1").arg(r), {QStringLiteral("%1,5").arg(r)}));
  for (const auto& [name, failing] : cases) {
    SCOPED_TRACE(name);
    Table1.moveTo(2);
    const QByteArray before = Table1.bookmark();
    int moves = 0;
    const auto conn = QObject::connect(&Table1, &Dataset::currentChanged, [&moves] { ++moves; });
    fake->failIf = failing ? std::function<bool(const QString&)>([p = QString::fromUtf8(failing)](const QString& call) {
      return call.startsWith(p);
    })
                           : nullptr;
    if (failing) {
      EXPECT_THROW(click(), Error);
    } else {
      click();
    }
    QObject::disconnect(conn);
    EXPECT_EQ(Table1.recNo(), 2);
    EXPECT_EQ(Table1.bookmark(), before);
    EXPECT_EQ(Table1.fieldText(QStringLiteral("SERiNO")), QStringLiteral("S3"));
    EXPECT_EQ(moves, 0);
    EXPECT_EQ(Table1.state(), Dataset::State::Browse);
  }
}

// A poll tick runs while the export lets events through (here: while a cell is
// written, half-way through a file of several pages). What the tick does to Table1
// succeeds, and the export holds the records of its start.
TEST_F(DatasetExportTest, TickDuringTheExportChangesTable1WithoutDisturbingIt) {
  enum class Tick { Append, AppendTwice, SwitchToAnotherFile, CloseTable1 };
  const std::pair<const char*, Tick> cases[] = {
      {"append", Tick::Append},
      {"two appends", Tick::AppendTwice},
      {"day change opens another file", Tick::SwitchToAnotherFile},
      {"table closed", Tick::CloseTable1},
  };
  for (const auto& [name, tick] : cases) {
    SCOPED_TRACE(name);
    QTemporaryDir d;
    Dataset::createTable(d.path(), kFile, DailyFileFields(), DailyFileIndex());
    Dataset::createTable(d.path(), QStringLiteral("T10032026K.tkv"), DailyFileFields(), DailyFileIndex());
    fillFile(QDir(d.path()).filePath(kFile), 3 * DatasetSnapshot::kPageSize + 10);
    Table1.close();
    Table1.setDirectory(d.path());
    open();
    const int before = Table1.recordCount();
    fake->calls.clear();
    int ticks = 0;
    bool tickFailed = false;
    const QString at = QStringLiteral("Range(\"A%1\"").arg(DatasetSnapshot::kPageSize + 50);
    fake->failIf = [&](const QString& call) {
      if (!call.startsWith(at)) return false;
      ++ticks;
      try {
        switch (tick) {
          case Tick::Append: append(panel(QStringLiteral("NEW"), {QStringLiteral("9,5")})); break;
          case Tick::AppendTwice:
            append(panel(QStringLiteral("NEW"), {}));
            append(panel(QStringLiteral("NEW2"), {}));
            break;
          case Tick::SwitchToAnotherFile: open(RegionalSettings::turkish(), QStringLiteral("T10032026K.tkv")); break;
          case Tick::CloseTable1: Table1.close(); break;
        }
      } catch (const Error& e) {
        ADD_FAILURE() << "the tick failed: " << e.text().toStdString();
        tickFailed = true;
      }
      return false;
    };
    click();
    fake->failIf = nullptr;
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(tickFailed);

    EXPECT_EQ(rowsWritten(), before + 1) << "exactly the records present at the start";
    const int last = before + 1;
    EXPECT_EQ(cell(2, 2), Variant(QStringLiteral("S1")));
    EXPECT_EQ(cell(last, 1), Variant(QString::number(before)));
    EXPECT_EQ(cell(last, 2), Variant(QStringLiteral("S%1").arg(before)));
    EXPECT_EQ(cell(last, 3), Variant(QStringLiteral("%1,5").arg(before)));
    EXPECT_EQ(cell(last, 18), Variant(QStringLiteral("-%1").arg(before)));
    for (int n = 2; n <= last; n += 97) ASSERT_EQ(cell(n, 2), Variant(QStringLiteral("S%1").arg(n - 1))) << n;
    EXPECT_EQ(progress.calls.last(), QStringLiteral("end"));

    // What the tick stored is in the file, after the records of the start.
    Table1.close();
    open();
    const int added = tick == Tick::Append ? 1 : tick == Tick::AppendTwice ? 2 : 0;
    ASSERT_EQ(Table1.recordCount(), before + added);
    if (added) {
      Table1.moveTo(before);
      EXPECT_EQ(Table1.fieldText(QStringLiteral("SERiNO")), QStringLiteral("NEW"));
    }
  }
}

// The export of a real file through the station's own spreadsheet application, read
// back from the .xlsx the operator gets: a regional number text is a number cell.
TEST_F(DatasetExportTest, WorkbookFileReadBack) {
  RecordingOpener opener;
  ObjectRegistry realRegistry;
  registerSpreadsheetApplication(realRegistry, {dialogs, opener, RegionalSettings::turkish(),
                                                unsavedWorkbooksFolder(dir.path()), kApplicationTitle});
  SpreadsheetConnection excel(realRegistry);
  open();
  append(panel("T09032026K1405V", {"2,5", "0,00001", "", "-3"}));
  append(panel("", {}));
  append(panel("T09032026K1406V", {"1E20"}));

  SpeedButton4Click(excel, source, progress);

  ASSERT_EQ(opener.opened.size(), 1);
  const auto x = test::readXlsx(opener.opened[0]);
  EXPECT_EQ(x.title, kFile);
  const QStringList fields = test::testRecordFields();
  for (int c = 0; c < 18; ++c) {
    const auto& h = x.cells.at(QString(QChar(u'A' + c)) + u'1');
    EXPECT_EQ(h.value, fields[c]);
    EXPECT_FALSE(h.number);
  }
  const auto number = [&x](const char* name) {
    const auto& c = x.cells.at(QString::fromLatin1(name));
    EXPECT_TRUE(c.number) << name;
    return c.value.toDouble();
  };
  EXPECT_EQ(number("A2"), 1);
  EXPECT_EQ(number("A4"), 3);
  EXPECT_EQ(x.cells.at(QStringLiteral("B2")).value, QStringLiteral("T09032026K1405V"));
  EXPECT_FALSE(x.cells.at(QStringLiteral("B2")).number);
  EXPECT_DOUBLE_EQ(number("C2"), 2.5);
  EXPECT_DOUBLE_EQ(number("D2"), 1e-5);
  EXPECT_DOUBLE_EQ(number("F2"), -3);
  EXPECT_DOUBLE_EQ(number("C4"), 1e20);
  EXPECT_FALSE(x.cells.count(QStringLiteral("E2"))) << "no value, no cell";
  EXPECT_FALSE(x.cells.count(QStringLiteral("B3")));
  EXPECT_EQ(x.cells.size(), 18u + 5u + 1u + 3u);
  EXPECT_FALSE(x.cells.count(QStringLiteral("A5")));
}

}  // namespace
}  // namespace velta
