// The record browser: the detail panel, the toolbar delete and the grid's Ctrl+Delete,
// also with poll ticks that append a record or switch the file while a box waits.
#include <gtest/gtest.h>

#include <QDir>

#include "platform/error.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "records/daily_file.h"
#include "records/record_browser.h"
#include "../support/temp_station.h"

using namespace velta;

namespace {

using Kind = ScriptedDialogs::Kind;

class RecordBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDir().mkpath(dataDir()));
    table.setRegional(RegionalSettings::turkish());
    table.setFieldDefs(DailyFileFields());
  }
  QString dataDir() const { return root.path() + QStringLiteral("/D/rododezuz/data"); }
  QString path(const QString& name) const { return dataDir() + u'/' + name; }
  DailyFileContext fileCtx() { return {table, form, dialogs, clock, drives}; }
  RecordBrowserContext ctx() { return {table, form, dialogs}; }

  // Today's file (T09122026K.tkv), opened in Table1 as start-up does.
  void openToday() {
    Dataset::createTable(dataDir(), QStringLiteral("T09122026K.tkv"), DailyFileFields(), DailyFileIndex());
    OpenDailyFile(fileCtx());
  }
  // Another day's file, opened as the file button does.
  void openOtherDay(int records) {
    Dataset::createTable(dataDir(), QStringLiteral("T08122026K.tkv"), DailyFileFields(), DailyFileIndex());
    table.close();
    table.setTableName(path(QStringLiteral("T08122026K.tkv")));
    table.open();
    for (int i = 1; i <= records; ++i) append(QStringLiteral("T08122026K10%1V").arg(i, 2, 10, QChar(u'0')));
    table.first();
  }
  // One record through the PLC values panel: value k of the panel is base + k.
  void append(const QString& serial, double base = 0) {
    form.setText(ctl::Edit25, serial);
    for (int e = ctl::Edit26; e <= ctl::Edit41; ++e)
      form.setText(e, QString::number(base + (e - ctl::Edit26) + 0.5).replace(u'.', u','));
    AppendTestRecord(fileCtx());
  }
  // The serial numbers stored in a file, read from disk through a view of its own.
  QStringList stored(const QString& name) const {
    Dataset d(QStringLiteral("Check"));
    d.setTableName(path(name));
    d.open();
    QStringList out;
    for (d.first(); !d.eof(); d.next()) out << d.fieldText(QStringLiteral("SERiNO"));
    return out;
  }
  QString errorOf(void (*handler)(const RecordBrowserContext&)) {
    try {
      handler(ctx());
    } catch (const Error& e) {
      return e.text();
    }
    return QStringLiteral("<no error>");
  }

  test::OpenTempDir root;
  DriveMap drives{root.path()};
  FakeClock clock{{2026, 12, 9}, {14, 5, 30}};
  ScriptedDialogs dialogs;
  FormState form;
  Dataset table{QStringLiteral("Table1")};
};

const QString kToday = QStringLiteral("T09122026K.tkv");

TEST_F(RecordBrowserTest, ShowsTheCurrentRecordInTheDetailPanel) {
  openToday();
  append(QStringLiteral("T09122026K1000V"), 0);
  form.setText(ctl::Edit25, QStringLiteral("T09122026K1005V"));
  const QStringList values = {QStringLiteral("22"),    QStringLiteral("1000,125"), QStringLiteral(""),
                              QStringLiteral("-0,5"),  QStringLiteral("0,0001"),   QStringLiteral("1,50"),
                              QStringLiteral("3"),     QStringLiteral(""),         QStringLiteral("0"),
                              QStringLiteral("12,75"), QStringLiteral("7"),        QStringLiteral("8,5"),
                              QStringLiteral("9"),     QStringLiteral("10"),       QStringLiteral("11"),
                              QStringLiteral("")};
  for (int e = ctl::Edit26; e <= ctl::Edit41; ++e) form.setText(e, values[e - ctl::Edit26]);
  AppendTestRecord(fileCtx());

  table.moveTo(1);
  ShowSelectedRecord(table, form);
  EXPECT_EQ(form.text(ctl::Edit6), QStringLiteral("T09122026K1005V"));
  // Edit9 .. Edit24 hold HAVA, PRES, EN, BOY, HAVA1 .. BOY3 row by row, as the PLC
  // values panel held them; "1,50" comes back in the shortest general form.
  QStringList expected = values;
  expected[5] = QStringLiteral("1,5");
  for (int e = ctl::Edit9; e <= ctl::Edit24; ++e) EXPECT_EQ(form.text(e), expected[e - ctl::Edit9]) << "Edit" << e;

  // Another record replaces everything; moving alone changes nothing.
  table.first();
  EXPECT_EQ(form.text(ctl::Edit6), QStringLiteral("T09122026K1005V"));
  ShowSelectedRecord(table, form);
  EXPECT_EQ(form.text(ctl::Edit6), QStringLiteral("T09122026K1000V"));
  EXPECT_EQ(form.text(ctl::Edit9), QStringLiteral("0,5"));
  EXPECT_EQ(form.text(ctl::Edit9 + 2), QStringLiteral("2,5"));
  EXPECT_EQ(form.text(ctl::Edit24), QStringLiteral("15,5"));
}

TEST_F(RecordBrowserTest, EmptyFileOrClosedTableEmptiesEveryBoxEdit6Included) {
  openToday();
  append(QStringLiteral("T09122026K1000V"), 0);
  ShowSelectedRecord(table, form);
  ASSERT_EQ(form.text(ctl::Edit9 + 3), QStringLiteral("3,5"));
  table.deleteRecord();
  ShowSelectedRecord(table, form);
  EXPECT_EQ(form.text(ctl::Edit6), QString());  // empty, not the single blank
  for (int e = ctl::Edit9; e <= ctl::Edit24; ++e) EXPECT_EQ(form.text(e), QString()) << e;

  form.setText(ctl::Edit6, QStringLiteral("X"));
  table.close();
  ShowSelectedRecord(table, form);
  EXPECT_EQ(form.text(ctl::Edit6), QString());
}

TEST_F(RecordBrowserTest, DeleteButtonBeforeAnyRecordWasShownAsksForOne) {
  openToday();
  append(QStringLiteral("T09122026K1000V"));
  ASSERT_EQ(form.text(ctl::Edit6), QStringLiteral(" "));
  SpeedButton5Click(ctx());
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, Kind::Message);
  EXPECT_EQ(dialogs.shown[0].caption, kApplicationTitle);
  EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Kayıt Seç"));
  EXPECT_EQ(stored(kToday).size(), 1);
}

TEST_F(RecordBrowserTest, DeleteButtonAsksAndDeletesOnlyOnYes) {
  openToday();
  for (int i = 0; i < 3; ++i) append(QStringLiteral("T09122026K100%1V").arg(i), 10 * i);
  table.moveTo(1);
  ShowSelectedRecord(table, form);

  dialogs.answers = {false};
  SpeedButton5Click(ctx());
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, Kind::YesNo);
  EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("SiL"));
  EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Seçili Kaydı Silmek İstetiğinizden Eminmisiniz"));
  EXPECT_EQ(stored(kToday).size(), 3);

  dialogs.shown.clear();
  dialogs.answers = {true};
  SpeedButton5Click(ctx());
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].kind, Kind::Message);
  EXPECT_EQ(dialogs.shown[1].caption, kApplicationTitle);
  EXPECT_EQ(dialogs.shown[1].text, QStringLiteral("Kayıt Silindi"));
  EXPECT_EQ(stored(kToday), (QStringList{QStringLiteral("T09122026K1000V"), QStringLiteral("T09122026K1002V")}));
  // The following record is current; the panel still shows the deleted one.
  EXPECT_EQ(table.fieldText(QStringLiteral("SERiNO")), QStringLiteral("T09122026K1002V"));
  EXPECT_EQ(form.text(ctl::Edit6), QStringLiteral("T09122026K1001V"));
  EXPECT_EQ(form.text(ctl::Edit9), QStringLiteral("10,5"));

  // A second press passes the guard and deletes the record now current.
  dialogs.answers = {true};
  SpeedButton5Click(ctx());
  EXPECT_EQ(stored(kToday), QStringList{QStringLiteral("T09122026K1000V")});
  EXPECT_EQ(form.text(ctl::Edit6), QStringLiteral("T09122026K1001V"));
}

TEST_F(RecordBrowserTest, DeleteButtonDeletesTheHighlightedRowNotTheShownOne) {
  openToday();
  for (int i = 0; i < 3; ++i) append(QStringLiteral("T09122026K100%1V").arg(i));
  table.first();
  ShowSelectedRecord(table, form);
  table.last();  // moved with the scroll bar: the panel is not touched
  dialogs.answers = {true};
  SpeedButton5Click(ctx());
  EXPECT_EQ(stored(kToday), (QStringList{QStringLiteral("T09122026K1000V"), QStringLiteral("T09122026K1001V")}));
}

TEST_F(RecordBrowserTest, DeleteButtonOnAnEmptyOrClosedTableFailsWithoutDeletedMessage) {
  struct Case { const char* name; bool close; QString error; };
  const Case cases[] = {
      {"empty", false, QStringLiteral("Table1: Cannot perform this operation on an empty dataset")},
      {"closed", true, QStringLiteral("Table1: Cannot perform this operation on a closed dataset")}};
  openToday();
  for (const Case& c : cases) {
    if (c.close) table.close();
    ShowSelectedRecord(table, form);  // a key in the grid of the empty file: all boxes empty
    dialogs.shown.clear();
    dialogs.answers = {true};
    EXPECT_EQ(errorOf(&SpeedButton5Click), c.error) << c.name;
    ASSERT_EQ(dialogs.shown.size(), 1u) << c.name;
    EXPECT_EQ(dialogs.shown[0].kind, Kind::YesNo) << c.name;
  }
}

TEST_F(RecordBrowserTest, CtrlDeleteAsksConfirmAndDeletesWithoutFurtherMessage) {
  openToday();
  for (int i = 0; i < 2; ++i) append(QStringLiteral("T09122026K100%1V").arg(i));
  table.first();
  form.setText(ctl::Edit6, QStringLiteral(" "));  // not consulted

  DBGrid1CtrlDelete(ctx());  // no answer queued: Cancel
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].kind, Kind::OkCancel);
  EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Confirm"));
  EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Delete record?"));
  EXPECT_EQ(stored(kToday).size(), 2);

  dialogs.answers = {true};
  DBGrid1CtrlDelete(ctx());
  EXPECT_EQ(dialogs.shown.size(), 2u);  // the question only
  EXPECT_EQ(stored(kToday), QStringList{QStringLiteral("T09122026K1001V")});
  EXPECT_EQ(form.text(ctl::Edit6), QStringLiteral(" "));

  dialogs.answers = {true};
  DBGrid1CtrlDelete(ctx());
  EXPECT_TRUE(stored(kToday).isEmpty());
  // Empty file, then closed table: nothing is asked at all.
  dialogs.shown.clear();
  DBGrid1CtrlDelete(ctx());
  table.close();
  DBGrid1CtrlDelete(ctx());
  EXPECT_TRUE(dialogs.shown.empty());
}

// A poll tick appends a record while the box waits: the appended record becomes current,
// but the record confirmed at the press is the one deleted.
TEST_F(RecordBrowserTest, TickAppendingWhileTheBoxWaitsDeletesTheConfirmedRecord) {
  struct Case { const char* name; void (*handler)(const RecordBrowserContext&); bool deletedMessage; };
  const Case cases[] = {{"button", &SpeedButton5Click, true}, {"Ctrl+Delete", &DBGrid1CtrlDelete, false}};
  openToday();
  int n = 0;
  for (const Case& c : cases) {
    append(QStringLiteral("T09122026K10%1V").arg(n++, 2, 10, QChar(u'0')));
    append(QStringLiteral("T09122026K10%1V").arg(n++, 2, 10, QChar(u'0')));
    table.first();
    ShowSelectedRecord(table, form);
    const QString confirmed = table.fieldText(QStringLiteral("SERiNO"));
    const QString appended = QStringLiteral("T09122026K14%1V").arg(n++, 2, 10, QChar(u'0'));
    dialogs.whileWaiting = [&](const ScriptedDialogs::Shown& s) {
      if (s.kind == Kind::YesNo || s.kind == Kind::OkCancel) append(appended);
    };
    dialogs.shown.clear();
    dialogs.answers = {true};
    const QStringList before = stored(kToday);
    c.handler(ctx());
    dialogs.whileWaiting = nullptr;

    QStringList expected = before;
    expected.removeOne(confirmed);
    expected << appended;
    EXPECT_EQ(stored(kToday), expected) << c.name;
    EXPECT_EQ(dialogs.messages(), c.deletedMessage ? QStringList{QStringLiteral("Kayıt Silindi")} : QStringList())
        << c.name;
  }
}

// Pieces stored while the operator is on an older record neither move the current
// record nor change what the delete buttons delete, before the press and while the
// confirmation waits; an operator on the newest record follows the new ones.
TEST_F(RecordBrowserTest, PiecesArrivingKeepTheOperatorsRecordCurrentAndDeletedIsTheChosenOne) {
  struct Case {
    const char* name;
    void (*handler)(const RecordBrowserContext&);
    int arrivingBefore, arrivingDuring;
  };
  const Case cases[] = {{"button, pieces before the press", &SpeedButton5Click, 2, 0},
                        {"button, pieces before and during", &SpeedButton5Click, 1, 2},
                        {"Ctrl+Delete, pieces before and during", &DBGrid1CtrlDelete, 3, 1}};
  openToday();
  int n = 0;
  auto next = [&] { return QStringLiteral("T09122026K10%1V").arg(n++, 2, 10, QChar(u'0')); };
  for (const Case& c : cases) {
    for (int i = 0; i < 3; ++i) append(next());
    table.first();
    table.next();  // the operator clicks an older record
    ShowSelectedRecord(table, form);
    const QString chosen = table.fieldText(QStringLiteral("SERiNO"));
    for (int i = 0; i < c.arrivingBefore; ++i) append(next());
    EXPECT_EQ(table.fieldText(QStringLiteral("SERiNO")), chosen) << c.name << ": the highlight moved";
    dialogs.whileWaiting = [&](const ScriptedDialogs::Shown& s) {
      if (s.kind == Kind::YesNo || s.kind == Kind::OkCancel)
        for (int i = 0; i < c.arrivingDuring; ++i) append(next());
    };
    dialogs.answers = {true};
    QStringList expected = stored(kToday);
    c.handler(ctx());
    dialogs.whileWaiting = nullptr;
    const QStringList after = stored(kToday);
    EXPECT_FALSE(after.contains(chosen)) << c.name;
    expected.removeOne(chosen);
    EXPECT_EQ(after.mid(0, expected.size()), expected) << c.name << ": only the chosen record is gone";
    EXPECT_EQ(after.size(), expected.size() + c.arrivingDuring) << c.name;
  }
  // On the newest record, the operator follows each new piece.
  table.last();
  append(QStringLiteral("T09122026K1500V"));
  EXPECT_EQ(table.fieldText(QStringLiteral("SERiNO")), QStringLiteral("T09122026K1500V"));
  EXPECT_EQ(table.recNo(), table.recordCount() - 1);
}

// A poll tick switches Table1 to today's file while the box waits: nothing is deleted in
// either file and the operator is told.
TEST_F(RecordBrowserTest, TickSwitchingTheFileWhileTheBoxWaitsDeletesNothing) {
  struct Case { const char* name; void (*handler)(const RecordBrowserContext&); };
  const Case cases[] = {{"button", &SpeedButton5Click}, {"Ctrl+Delete", &DBGrid1CtrlDelete}};
  openToday();
  append(QStringLiteral("T09122026K0900V"));
  openOtherDay(2);
  for (const Case& c : cases) {
    table.close();
    table.setDirectory(dataDir());
    table.setTableName(path(QStringLiteral("T08122026K.tkv")));
    table.open();
    ShowSelectedRecord(table, form);
    dialogs.whileWaiting = [&](const ScriptedDialogs::Shown& s) {
      if (s.kind == Kind::YesNo || s.kind == Kind::OkCancel) OpenDailyFile(fileCtx());
    };
    dialogs.shown.clear();
    dialogs.answers = {true};
    c.handler(ctx());
    dialogs.whileWaiting = nullptr;
    EXPECT_EQ(table.tableName(), kToday) << c.name;
    EXPECT_EQ(stored(QStringLiteral("T08122026K.tkv")).size(), 2) << c.name;
    EXPECT_EQ(stored(kToday), QStringList{QStringLiteral("T09122026K0900V")}) << c.name;
    EXPECT_EQ(dialogs.messages(), QStringList{kFileChangedNothingDeleted}) << c.name;
    EXPECT_EQ(dialogs.shown.back().caption, kApplicationTitle);
  }
}

TEST_F(RecordBrowserTest, TickChangingAnEmptyOrClosedTableWhileTheBoxWaitsDeletesNothing) {
  openToday();
  ShowSelectedRecord(table, form);  // empty file: the panel is filled with empty texts

  // Empty at the press, a record appended meanwhile: there was nothing to confirm.
  dialogs.whileWaiting = [&](const ScriptedDialogs::Shown& s) {
    if (s.kind == Kind::YesNo) append(QStringLiteral("T09122026K1405V"));
  };
  dialogs.answers = {true};
  SpeedButton5Click(ctx());
  EXPECT_EQ(stored(kToday), QStringList{QStringLiteral("T09122026K1405V")});
  ASSERT_EQ(dialogs.messages().size(), 1);
  EXPECT_TRUE(dialogs.messages()[0].contains(QStringLiteral("hiçbir kayıt silinmedi")));

  // Closed at the press, opened meanwhile.
  table.close();
  dialogs.shown.clear();
  dialogs.whileWaiting = [&](const ScriptedDialogs::Shown& s) {
    if (s.kind == Kind::YesNo) OpenDailyFile(fileCtx());
  };
  dialogs.answers = {true};
  SpeedButton5Click(ctx());
  EXPECT_EQ(stored(kToday), QStringList{QStringLiteral("T09122026K1405V")});
  EXPECT_EQ(dialogs.messages(), QStringList{kFileChangedNothingDeleted});
}

TEST_F(RecordBrowserTest, ReopeningTheSameFileWhileTheBoxWaitsStillDeletesTheConfirmedRecord) {
  openToday();
  for (int i = 0; i < 3; ++i) append(QStringLiteral("T09122026K100%1V").arg(i));
  table.moveTo(1);
  ShowSelectedRecord(table, form);
  dialogs.whileWaiting = [&](const ScriptedDialogs::Shown& s) {
    if (s.kind == Kind::YesNo) OpenDailyFile(fileCtx());  // same file, first record current
  };
  dialogs.answers = {true};
  SpeedButton5Click(ctx());
  EXPECT_EQ(stored(kToday), (QStringList{QStringLiteral("T09122026K1000V"), QStringLiteral("T09122026K1002V")}));
  EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Kayıt Silindi")});
}

}  // namespace
