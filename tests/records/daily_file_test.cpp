#include <gtest/gtest.h>

#include <QDir>

#include "platform/error.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "records/daily_file.h"
#include "../support/temp_station.h"

using namespace velta;

namespace {

class DailyFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDir().mkpath(dataDir()));
    table.setRegional(RegionalSettings::turkish());
    table.setFieldDefs(DailyFileFields());
  }
  QString dataDir() const { return root.path() + QStringLiteral("/D/rododezuz/data"); }
  QString todayPath() const { return dataDir() + QStringLiteral("/T09122026K.tkv"); }
  DailyFileContext ctx() { return {table, form, dialogs, clock, drives}; }
  void fillPanel(const QString& serial, const QStringList& values) {
    form.setText(ctl::Edit25, serial);
    for (int e = ctl::Edit26; e <= ctl::Edit41; ++e) form.setText(e, values.value(e - ctl::Edit26));
  }

  test::OpenTempDir root;
  DriveMap drives{root.path()};
  FakeClock clock{{2026, 12, 9}, {14, 5, 30}};
  ScriptedDialogs dialogs;
  FormState form;
  Dataset table{QStringLiteral("Table1")};
};

const QString kCaption = QStringLiteral("VELTA RUZEDIVE       Dosya Adı: T09122026K.tkv");

}  // namespace

TEST_F(DailyFileTest, FirstStartCreatesTheFileAndSecondFindsIt) {
  CreateDailyFile(ctx());
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].caption, kApplicationTitle);
  EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("DOSYA OLUŞTURULDU"));
  EXPECT_TRUE(QFileInfo::exists(todayPath()));
  EXPECT_FALSE(table.active());  // created, not opened

  const QByteArray before = test::fileBytes(todayPath());
  CreateDailyFile(ctx());
  EXPECT_EQ(dialogs.messages().last(), QStringLiteral("BUGÜN İÇİN DOSYA OLUŞTURULMUŞ "));
  EXPECT_EQ(test::fileBytes(todayPath()), before);
}

TEST_F(DailyFileTest, TheFileExistsWhileTheMessageWaits) {
  bool existed = false;
  dialogs.whileWaiting = [&](const ScriptedDialogs::Shown&) { existed = QFileInfo::exists(todayPath()); };
  CreateDailyFile(ctx());
  EXPECT_TRUE(existed);
}

TEST_F(DailyFileTest, CreateFailureShowsNoMessage) {
  QDir(dataDir()).removeRecursively();
  EXPECT_THROW(CreateDailyFile(ctx()), Error);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(DailyFileTest, StartUpOpeningOpensTodaysFileAndEmptiesThePanel) {
  CreateDailyFile(ctx());
  form.setText(ctl::Edit6, QStringLiteral(" "));
  OpenDailyFileAtStartUp(ctx());
  EXPECT_TRUE(table.active());
  EXPECT_EQ(table.tableName(), QStringLiteral("T09122026K.tkv"));
  EXPECT_EQ(form.caption(), kCaption);
  for (int e = ctl::Edit25; e <= ctl::Edit41; ++e) EXPECT_EQ(form.text(e), QString()) << e;
  EXPECT_EQ(form.text(ctl::Edit6), QStringLiteral(" "));
  EXPECT_EQ(form.text(ctl::Edit2), QStringLiteral("22"));
  EXPECT_EQ(table.recNo(), -1);
}

TEST_F(DailyFileTest, AppendStoresOneRecordFromThePanelAndLeavesThePanel) {
  CreateDailyFile(ctx());
  OpenDailyFile(ctx());
  const QStringList values{QStringLiteral("2,5"), QStringLiteral("1000"), QStringLiteral("12,25"),
                           QStringLiteral("-3"), QString(), QStringLiteral(" 7 "), QStringLiteral("1E-5")};
  fillPanel(QStringLiteral("T09122026K1405V"), values);
  AppendTestRecord(ctx());
  EXPECT_EQ(table.recordCount(), 1);
  EXPECT_EQ(table.state(), Dataset::State::Browse);
  EXPECT_EQ(form.text(ctl::Edit26), QStringLiteral("2,5"));
  table.close();
  table.open();
  EXPECT_EQ(table.fieldText(QStringLiteral("SIRANO")), QStringLiteral("1"));
  EXPECT_EQ(table.fieldText(QStringLiteral("SERiNO")), QStringLiteral("T09122026K1405V"));
  const QStringList expected{QStringLiteral("2,5"), QStringLiteral("1000"), QStringLiteral("12,25"),
                             QStringLiteral("-3"), QString(), QStringLiteral("7"), QStringLiteral("1E-5")};
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(table.fieldText(DailyFileFields()[static_cast<size_t>(i + 2)].name), expected.value(i)) << i;

  fillPanel(QStringLiteral("T09122026K1405VXYZ"), {});
  AppendTestRecord(ctx());
  EXPECT_EQ(table.recordCount(), 2);
  EXPECT_EQ(table.fieldText(QStringLiteral("SERiNO")), QStringLiteral("T09122026K1405V"));  // 15 kept
  EXPECT_EQ(table.fieldText(QStringLiteral("SIRANO")), QStringLiteral("2"));
}

TEST_F(DailyFileTest, AppendWithABadNumberStoresNothingAndLeavesNothingPending) {
  CreateDailyFile(ctx());
  OpenDailyFile(ctx());
  fillPanel(QStringLiteral("T09122026K1405V"), {QStringLiteral("1"), QStringLiteral("2.5")});  // "." under ","
  try {
    AppendTestRecord(ctx());
    FAIL() << "bad number accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.text(), QStringLiteral("'2.5' is not a valid floating point value for field 'PRES'"));
  }
  EXPECT_EQ(table.recordCount(), 0);
  EXPECT_EQ(table.state(), Dataset::State::Browse);
  // The next good append stores exactly one record, not the failed one too.
  fillPanel(QStringLiteral("T09122026K1406V"), {QStringLiteral("1")});
  AppendTestRecord(ctx());
  EXPECT_EQ(table.recordCount(), 1);
  EXPECT_EQ(table.fieldText(QStringLiteral("SERiNO")), QStringLiteral("T09122026K1406V"));
}

TEST_F(DailyFileTest, AppendOnAClosedTableFails) {
  try {
    AppendTestRecord(ctx());
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.text(), QStringLiteral("Table1: Cannot perform this operation on a closed dataset"));
  }
}

TEST_F(DailyFileTest, OpenDailyFileAfterTheDayChangedFailsAndKeepsCaptionAndPanel) {
  CreateDailyFile(ctx());
  OpenDailyFile(ctx());
  fillPanel(QStringLiteral("T09122026K2359V"), {QStringLiteral("1")});
  clock.set({2026, 12, 10}, {0, 1});
  EXPECT_THROW(OpenDailyFile(ctx()), Error);
  EXPECT_FALSE(table.active());
  EXPECT_EQ(table.tableName(), QStringLiteral("T10122026K.tkv"));
  EXPECT_EQ(form.caption(), kCaption);
  EXPECT_EQ(form.text(ctl::Edit25), QStringLiteral("T09122026K2359V"));
}

TEST_F(DailyFileTest, OpenDialogRequestAndCancel) {
  CreateDailyFile(ctx());
  OpenDailyFile(ctx());
  fillPanel(QStringLiteral("A"), {});
  AppendTestRecord(ctx());
  AppendTestRecord(ctx());
  table.first();
  dialogs.files.push_back(QString());  // cancel
  SpeedButton1Click(ctx());
  ASSERT_EQ(dialogs.shown.back().kind, ScriptedDialogs::Kind::OpenFile);
  const OpenFileRequest& r = dialogs.shown.back().request;
  EXPECT_EQ(r.title, QStringLiteral(" VERİ DOSYASI SEÇ"));
  EXPECT_EQ(r.initialDirectory, dataDir());
  EXPECT_EQ(r.defaultExtension, QStringLiteral("tkv"));
  EXPECT_EQ(r.filter, QStringLiteral("Velta Data Files (*.tkv)|*.tkv"));
  EXPECT_TRUE(table.active());
  EXPECT_EQ(table.tableName(), QStringLiteral("T09122026K.tkv"));
  EXPECT_EQ(table.recNo(), 0);
  EXPECT_EQ(form.caption(), kCaption);
}

TEST_F(DailyFileTest, CancelBeforeAnyFileChangesNothing) {
  dialogs.files.push_back(QString());
  SpeedButton1Click(ctx());
  EXPECT_FALSE(table.active());
  EXPECT_EQ(form.caption(), QString());
}

TEST_F(DailyFileTest, ChosenFileIsOpenedByItsFullPath) {
  CreateDailyFile(ctx());
  const QString other = root.file(QStringLiteral("archive/other-day.tkv"));
  ASSERT_TRUE(QDir().mkpath(root.file(QStringLiteral("archive"))));
  Dataset::createTable(root.file(QStringLiteral("archive")), QStringLiteral("other-day.tkv"), DailyFileFields(),
                       DailyFileIndex());
  struct Case {
    QString path;
    QString captionTail;
  } cases[] = {
      {todayPath(), QStringLiteral("T09122026K.tkv")},  // today's own file, by full path
      {other, QStringLiteral("/other-day.tkv")},        // last 14 characters of the path
  };
  for (const auto& c : cases) {
    dialogs.files.push_back(c.path);
    SpeedButton1Click(ctx());
    EXPECT_TRUE(table.active());
    EXPECT_EQ(table.tableName(), c.path);
    EXPECT_NE(table.tableName(), DailyTableName(clock));
    EXPECT_EQ(form.caption(), kCaptionPrefix + c.captionTail);
  }
}

TEST_F(DailyFileTest, ChosenFileWithAMissingFieldNamesItAndKeepsTheCaption) {
  CreateDailyFile(ctx());
  OpenDailyFile(ctx());
  std::vector<FieldDef> fields = DailyFileFields();
  fields.erase(fields.begin() + 9);  // BOY1
  Dataset::createTable(root.path(), QStringLiteral("short.tkv"), fields, DailyFileIndex());
  dialogs.files.push_back(root.file(QStringLiteral("short.tkv")));
  try {
    SpeedButton1Click(ctx());
    FAIL();
  } catch (const Error& e) {
    EXPECT_TRUE(e.text().contains(QStringLiteral("'BOY1'"))) << e.what();
  }
  EXPECT_FALSE(table.active());
  EXPECT_EQ(form.caption(), kCaption);
}

TEST(DailyFileCaption, LastFourteenCharacters) {
  EXPECT_EQ(DailyFileCaption(QStringLiteral("T09122026K.tkv")), kCaption);
  EXPECT_EQ(DailyFileCaption(QStringLiteral("/home/op/data/T09122026K.tkv")), kCaption);
  EXPECT_EQ(DailyFileCaption(QStringLiteral("a.tkv")), kCaptionPrefix + QStringLiteral("a.tkv"));
  EXPECT_EQ(kCaptionPrefix.size(), 32);
}
