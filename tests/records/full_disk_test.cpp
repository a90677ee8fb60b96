// A full disk while records are appended: the failing append raises the store's error,
// stores nothing and leaves the file whole; appends go on once there is room again.
// The full disk is made with a file-size limit (RLIMIT_FSIZE), which fails writes past
// it with EFBIG as a full file system fails them with ENOSPC.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>

#include "platform/error.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "records/daily_file.h"
#include "../support/file_size_limit.h"
#include "../support/temp_station.h"

using namespace velta;

namespace {

QString integrity(const QString& path) {
  sqlite3* db = nullptr;
  QString result = QStringLiteral("cannot open");
  if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return result;
}

TEST(FullDisk, AFailedAppendStoresNothingAndTheFileStaysWhole) {
  test::OpenTempDir root;
  const QString dataDir = root.path() + QStringLiteral("/D/rododezuz/data");
  ASSERT_TRUE(QDir().mkpath(dataDir));
  DriveMap drives{root.path()};
  FakeClock clock{{2026, 12, 9}, {14, 5}};
  ScriptedDialogs dialogs;
  FormState form;
  Dataset table{QStringLiteral("Table1")};
  table.setFieldDefs(DailyFileFields());
  const DailyFileContext ctx{table, form, dialogs, clock, drives};
  CreateDailyFile(ctx);
  OpenDailyFileAtStartUp(ctx);
  form.setText(ctl::Edit25, QStringLiteral("T09122026K1405V"));
  for (int e = ctl::Edit26; e <= ctl::Edit41; ++e) form.setText(e, QStringLiteral("123.456"));
  for (int i = 0; i < 5; ++i) AppendTestRecord(ctx);
  const QString path = dataDir + QStringLiteral("/T09122026K.tkv");

  int stored = 5;
  QString failure;
  {
    test::FileSizeLimit limit(static_cast<rlim_t>(QFileInfo(path).size()) + 8192);
    for (int i = 0; i < 2000 && failure.isEmpty(); ++i) {
      try {
        AppendTestRecord(ctx);
        ++stored;
      } catch (const Error& e) {
        failure = e.text();
      }
    }
  }
  ASSERT_FALSE(failure.isEmpty()) << "the limit was never reached";
  RecordProperty("failure", failure.toStdString());
  EXPECT_EQ(table.recordCount(), stored) << failure.toStdString();
  EXPECT_NE(table.state(), Dataset::State::Insert);
  EXPECT_EQ(integrity(path), QStringLiteral("ok"));

  // Room again: the station goes on with the same open file.
  AppendTestRecord(ctx);
  EXPECT_EQ(table.recordCount(), stored + 1);
  Dataset check{QStringLiteral("Check")};
  check.setFieldDefs(DailyFileFields());
  check.setTableName(path);
  check.open();
  EXPECT_EQ(check.recordCount(), stored + 1);
  EXPECT_EQ(integrity(path), QStringLiteral("ok"));
}

}  // namespace
