// The print buffer: creation on first use, the one record that every fill overwrites,
// the date and time read with the regional settings, and the failures that post nothing.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>

#include "platform/error.h"
#include "platform/fakes/scripted_dialogs.h"
#include "records/print_buffer.h"
#include "../support/temp_station.h"

using namespace velta;

namespace {

const QString kSerial = QStringLiteral("T09032026K1405V");

class PrintBufferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDir().mkpath(sistem()));
    useRegional(RegionalSettings::turkish());
    showRecord(kSerial, 0);
  }
  void useRegional(const RegionalSettings& r) {
    Table2.close();
    Table2.setRegional(r);
    Table2.setFieldDefs(PrintBufferFields());
  }
  QString sistem() const { return root.path() + QStringLiteral("/D/rododezuz/sistem"); }
  QString file() const { return sistem() + QStringLiteral("/Print.db"); }
  PrintBufferContext ctx() { return {Table2, form, dialogs, drives}; }
  // The detail panel as the browser fills it: value of box k is base + k + 0.25.
  void showRecord(const QString& serial, double base, QChar decimalSeparator = u',') {
    form.setText(ctl::Edit6, serial);
    for (int e = ctl::Edit9; e <= ctl::Edit24; ++e)
      form.setText(e, QString::number(base + (e - ctl::Edit9) + 0.25).replace(u'.', decimalSeparator));
  }
  // Every record of the file as read from disk through a view of its own.
  std::vector<std::vector<QVariant>> stored() const {
    Dataset d(QStringLiteral("Check"));
    d.setTableName(file());
    d.open();
    std::vector<std::vector<QVariant>> out;
    for (int i = 0; i < d.recordCount(); ++i) out.push_back(d.recordAt(i));
    return out;
  }
  QString errorOfPrepare() {
    try {
      PreparePrintBuffer(ctx());
    } catch (const Error& e) {
      return e.text();
    }
    return QStringLiteral("<no error>");
  }
  void expectRecord(const std::vector<QVariant>& r, const QString& serial, QDate date, QTime time, double base) {
    ASSERT_EQ(r.size(), 20u);
    EXPECT_EQ(r[0].toString(), serial);
    EXPECT_EQ(r[1].toDate(), date);
    EXPECT_EQ(r[2].toTime(), time);
    EXPECT_EQ(r[3].toString(), QStringLiteral("NEGATiF"));
    for (int k = 0; k < 16; ++k) EXPECT_DOUBLE_EQ(r[4 + k].toDouble(), base + k + 0.25) << k;
  }

  test::OpenTempDir root;
  DriveMap drives{root.path()};
  ScriptedDialogs dialogs;
  FormState form;
  Dataset Table2{QStringLiteral("Table2")};
};

TEST_F(PrintBufferTest, FirstFillCreatesTheTableWithOneRecord) {
  ASSERT_FALSE(QFile::exists(file()));
  bool postedBeforeMessage = false;
  dialogs.whileWaiting = [&](const ScriptedDialogs::Shown&) { postedBeforeMessage = stored().size() == 1; };
  PreparePrintBuffer(ctx());
  EXPECT_TRUE(postedBeforeMessage);
  ASSERT_EQ(dialogs.shown.size(), 1u);  // creating shows nothing; filling shows its message
  EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Message);
  EXPECT_EQ(dialogs.shown[0].caption, kApplicationTitle);
  EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Kayıtlar aktarıldı "));

  const auto records = stored();
  ASSERT_EQ(records.size(), 1u);
  expectRecord(records[0], kSerial, QDate(2026, 3, 9), QTime(14, 5, 0), 0);
  // Table2 stays open on the file, browsing the posted record.
  EXPECT_EQ(Table2.state(), Dataset::State::Browse);
  EXPECT_EQ(Table2.tableName(), file());
  EXPECT_EQ(Table2.fieldText(QStringLiteral("SERiNO")), kSerial);

  // The file's own fields in order, and no index of any kind.
  Dataset raw(QStringLiteral("Raw"));
  raw.setTableName(file());
  raw.open();
  ASSERT_EQ(raw.fieldCount(), 20);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(raw.field(i).name, PrintBufferFields()[static_cast<size_t>(i)].name);
    EXPECT_EQ(raw.field(i).kind, PrintBufferFields()[static_cast<size_t>(i)].kind);
    EXPECT_EQ(raw.field(i).size, PrintBufferFields()[static_cast<size_t>(i)].size);
  }
  EXPECT_EQ(PrintBufferFields()[0].size, 15);
  EXPECT_EQ(PrintBufferFields()[3].size, 10);
  EXPECT_EQ(PrintBufferFields()[19].name, QStringLiteral("BOY3"));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(file().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE type='index'", -1, &st, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 0);
  sqlite3_finalize(st);
  sqlite3_close(db);
}

TEST_F(PrintBufferTest, EveryLaterFillOverwritesTheOneRecordWholly) {
  PreparePrintBuffer(ctx());
  showRecord(QStringLiteral("T31122025K2359V"), 100);
  PreparePrintBuffer(ctx());
  auto records = stored();
  ASSERT_EQ(records.size(), 1u);
  expectRecord(records[0], QStringLiteral("T31122025K2359V"), QDate(2025, 12, 31), QTime(23, 59), 100);

  // Empty boxes give empty fields: nothing of the earlier record survives.
  for (int e = ctl::Edit9; e <= ctl::Edit24; ++e) form.setText(e, QString());
  PreparePrintBuffer(ctx());
  records = stored();
  ASSERT_EQ(records.size(), 1u);
  for (int k = 4; k < 20; ++k) EXPECT_FALSE(records[0][static_cast<size_t>(k)].isValid()) << k;
  EXPECT_EQ(records[0][3].toString(), QStringLiteral("NEGATiF"));
  EXPECT_EQ(dialogs.messages().size(), 3);
}

TEST_F(PrintBufferTest, AFileWithMoreRecordsHasOnlyItsFirstOverwritten) {
  Dataset::createTable(sistem(), QStringLiteral("Print"), PrintBufferFields());
  Dataset other(QStringLiteral("Other"));
  other.setRegional(RegionalSettings::turkish());
  other.setTableName(file());
  other.open();
  for (const char* s : {"A", "B", "C"}) {
    other.append();
    other.setFieldText(QStringLiteral("SERiNO"), QString::fromLatin1(s));
    other.setFieldText(QStringLiteral("SONUC"), QStringLiteral("POZiTiF"));
    other.post();
  }
  other.close();

  PreparePrintBuffer(ctx());
  const auto records = stored();
  ASSERT_EQ(records.size(), 3u);
  expectRecord(records[0], kSerial, QDate(2026, 3, 9), QTime(14, 5), 0);
  EXPECT_EQ(records[1][0].toString(), QStringLiteral("B"));
  EXPECT_EQ(records[1][3].toString(), QStringLiteral("POZiTiF"));
  EXPECT_EQ(records[2][0].toString(), QStringLiteral("C"));
}

// The serial number's date and time are the program's own day.month.year and hour:minute:
// they are read by that form on every locale, and stored as that day and time.
TEST_F(PrintBufferTest, DateAndTimeAreReadInTheSerialNumbersOwnFormOnEveryLocale) {
  using Order = RegionalSettings::DateOrder;
  struct Case {
    const char* name;
    RegionalSettings regional;
    QString serial;
    QString error;  // empty: posted with date and time
    QDate date;
    QTime time;
  };
  const Case cases[] = {
      {"Turkish", RegionalSettings::turkish(), kSerial, {}, QDate(2026, 3, 9), QTime(14, 5)},
      {"midnight", RegionalSettings::turkish(), QStringLiteral("T01012027K0000V"), {}, QDate(2027, 1, 1), QTime(0, 0)},
      {"month first (en_US)", {u'.', u'/', Order::MonthDayYear, u':'}, kSerial, {}, QDate(2026, 3, 9), QTime(14, 5)},
      {"month first, dots", {u',', u'.', Order::MonthDayYear, u':'}, kSerial, {}, QDate(2026, 3, 9), QTime(14, 5)},
      {"slash separator", {u',', u'/', Order::DayMonthYear, u':'}, kSerial, {}, QDate(2026, 3, 9), QTime(14, 5)},
      {"year first (C)", {u'.', u'-', Order::YearMonthDay, u':'}, kSerial, {}, QDate(2026, 3, 9), QTime(14, 5)},
      {"dot time separator", {u',', u'.', Order::DayMonthYear, u'.'}, kSerial, {}, QDate(2026, 3, 9), QTime(14, 5)},
      {"no such month", {u'.', u'/', Order::MonthDayYear, u':'}, QStringLiteral("T09132026K1405V"), QStringLiteral("'09.13.2026' is not a valid date"), {}, {}},
      {"no such day", RegionalSettings::turkish(), QStringLiteral("T30022026K1405V"), QStringLiteral("'30.02.2026' is not a valid date"), {}, {}},
      {"no such hour", RegionalSettings::turkish(), QStringLiteral("T09032026K2405V"), QStringLiteral("'24:05' is not a valid time"), {}, {}},
      {"empty serial", RegionalSettings::turkish(), QString(), QStringLiteral("'..' is not a valid date"), {}, {}},
      {"short serial", RegionalSettings::turkish(), QStringLiteral("T0903"), QStringLiteral("'09.03.' is not a valid date"), {}, {}},
  };
  PreparePrintBuffer(ctx());  // an earlier record that failures must leave alone
  for (const Case& c : cases) {
    useRegional(c.regional);
    showRecord(c.serial, 50, c.regional.decimalSeparator);
    dialogs.shown.clear();
    EXPECT_EQ(errorOfPrepare(), c.error.isEmpty() ? QStringLiteral("<no error>") : c.error) << c.name;
    const auto records = stored();
    ASSERT_EQ(records.size(), 1u) << c.name;
    if (c.error.isEmpty()) {
      EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Kayıtlar aktarıldı ")}) << c.name;
      EXPECT_EQ(records[0][1].toDate(), c.date) << c.name;
      EXPECT_EQ(records[0][2].toTime(), c.time) << c.name;
      EXPECT_EQ(records[0][0].toString(), c.serial) << c.name;
    } else {
      EXPECT_TRUE(dialogs.shown.empty()) << c.name;  // no message
      EXPECT_EQ(Table2.state(), Dataset::State::Browse) << c.name;  // nothing left pending
    }
    // Re-establish a known record for the next case.
    useRegional(RegionalSettings::turkish());
    showRecord(kSerial, 0);
    PreparePrintBuffer(ctx());
  }
}

TEST_F(PrintBufferTest, AValueThatIsNoNumberPostsNothing) {
  PreparePrintBuffer(ctx());
  showRecord(QStringLiteral("T10032026K0800V"), 7);
  form.setText(ctl::Edit9 + 6, QStringLiteral("12.5"));  // the Turkish separator is ","
  dialogs.shown.clear();
  EXPECT_EQ(errorOfPrepare(), QStringLiteral("'12.5' is not a valid floating point value for field 'EN1'"));
  EXPECT_TRUE(dialogs.shown.empty());
  const auto records = stored();
  ASSERT_EQ(records.size(), 1u);
  expectRecord(records[0], kSerial, QDate(2026, 3, 9), QTime(14, 5), 0);
  // The report would read the posted record, not a half-filled one.
  EXPECT_EQ(Table2.fieldText(QStringLiteral("SERiNO")), kSerial);

  // The first fill ever failing leaves an empty table behind, and the next fill works.
  QFile::remove(file());
  EXPECT_EQ(errorOfPrepare(), QStringLiteral("'12.5' is not a valid floating point value for field 'EN1'"));
  EXPECT_TRUE(stored().empty());
  form.setText(ctl::Edit9 + 6, QStringLiteral("12,5"));
  PreparePrintBuffer(ctx());
  ASSERT_EQ(stored().size(), 1u);
  EXPECT_DOUBLE_EQ(stored()[0][10].toDouble(), 12.5);
}

TEST_F(PrintBufferTest, MissingFolderIsTheStoresErrorWithoutMessage) {
  QDir(sistem()).removeRecursively();
  EXPECT_TRUE(errorOfPrepare().startsWith(QStringLiteral("Cannot create table"))) << errorOfPrepare().toStdString();
  EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
