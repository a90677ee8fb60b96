// Files that are not what the view expects, and directories it cannot write: the view
// stays closed (or stores nothing) and the file is left byte for byte as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QRandomGenerator>
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

void sqliteFile(const QString& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

QByteArray paradoxHeader() {
  QByteArray h(2048, '\0');
  h[0] = 0x2A;  // record size
  h[2] = 0x00;
  h[3] = 0x08;  // header size 0x0800
  h[4] = 0x00;  // indexed .db
  h[5] = 0x02;  // 2 KiB blocks
  h[0x39] = 0x0C;  // version 7
  return h;
}

struct BadFile {
  const char* name;
  std::function<void(const QString& path, const QString& dir)> make;
  const char* errorPart;
  bool unprivileged = false;
};

}  // namespace

TEST(DatasetFiles, BadFilesLeaveTheViewClosedAndTheFileUnchanged) {
  test::OpenTempDir dir;
  const BadFile cases[] = {
      {"random bytes",
       [](const QString& p, const QString&) {
         QByteArray b(4096, '\0');
         QRandomGenerator gen(7);
         for (char& c : b) c = char(gen.bounded(256));
         test::writeBytes(p, b);
       },
       "not a data file"},
      {"empty file", [](const QString& p, const QString&) { test::writeBytes(p, {}); }, "empty"},
      {"another schema",
       [](const QString& p, const QString&) { sqliteFile(p, "CREATE TABLE other(a INTEGER); INSERT INTO other VALUES(1);"); },
       "no table of records"},
      {"missing field",
       [](const QString& p, const QString&) {
         sqliteFile(p, "CREATE TABLE records(\"SIRANO\" INTEGER PRIMARY KEY AUTOINCREMENT, \"SERiNO\" VARCHAR(15), "
                       "\"HAVA\" DOUBLE)");
       },
       "Table1: Field 'PRES' not found"},
      {"field of another kind",
       [](const QString& p, const QString&) {
         sqliteFile(p, "CREATE TABLE records(\"SIRANO\" INTEGER PRIMARY KEY AUTOINCREMENT, \"SERiNO\" VARCHAR(15), "
                       "\"HAVA\" VARCHAR(10), \"PRES\" DOUBLE)");
       },
       "Table1: Type mismatch for field 'HAVA'"},
      {"text of another length",
       [](const QString& p, const QString&) {
         sqliteFile(p, "CREATE TABLE records(\"SIRANO\" INTEGER PRIMARY KEY AUTOINCREMENT, \"SERiNO\" VARCHAR(20), "
                       "\"HAVA\" DOUBLE, \"PRES\" DOUBLE)");
       },
       "Table1: Size mismatch for field 'SERiNO'"},
      {"legacy Paradox table", [](const QString& p, const QString&) { test::writeBytes(p, paradoxHeader()); },
       "Paradox"},
      {"damaged SQLite file",
       [](const QString& p, const QString& d) {
         Dataset::createTable(d, QStringLiteral("good.tkv"), recordFields());
         QByteArray b = test::fileBytes(d + QStringLiteral("/good.tkv"));
         for (int i = 100; i < b.size(); ++i) b[i] = char(0xA5);
         test::writeBytes(p, b);
       },
       "Cannot open"},
      {"unreadable file",
       [](const QString& p, const QString& d) {
         Dataset::createTable(d, QStringLiteral("locked.tkv"), recordFields());
         QFile::rename(d + QStringLiteral("/locked.tkv"), p);
         QFile::setPermissions(p, QFileDevice::Permissions());
       },
       "Cannot open", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.file(QString::fromLatin1(c.name).replace(u' ', u'_') + QStringLiteral(".tkv"));
    c.make(path, dir.path());
    const QByteArray before = test::fileBytes(path);
    Dataset table(QStringLiteral("Table1"));
    table.setFieldDefs(recordFields());
    table.setTableName(path);
    try {
      std::optional<test::UnprivilegedFileAccess> guard;
      if (c.unprivileged) guard.emplace();
      table.open();
      ADD_FAILURE() << "opened";
    } catch (const Error& e) {
      EXPECT_TRUE(e.text().contains(QString::fromLatin1(c.errorPart))) << e.what();
      EXPECT_TRUE(e.text().contains(path) || e.text().startsWith(QStringLiteral("Table1: "))) << e.what();
    }
    EXPECT_FALSE(table.active());
    EXPECT_EQ(test::fileBytes(path), before);
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral("-journal")));
  }
}

TEST(DatasetFiles, MissingFileAndDirectory) {
  test::OpenTempDir dir;
  Dataset table(QStringLiteral("Table1"));
  table.setDirectory(dir.file(QStringLiteral("nowhere")));
  table.setTableName(QStringLiteral("T09122026K.tkv"));
  EXPECT_THROW(table.open(), Error);
  EXPECT_FALSE(table.active());
  EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("nowhere/T09122026K.tkv"))));
  EXPECT_THROW(Dataset::createTable(dir.file(QStringLiteral("nowhere")), QStringLiteral("T.tkv"), recordFields()),
               Error);
}

TEST(DatasetFiles, ReadOnlyDirectory) {
  test::OpenTempDir dir;
  const QString ro = dir.file(QStringLiteral("ro"));
  ASSERT_TRUE(QDir().mkpath(ro));
  Dataset::createTable(ro, QStringLiteral("T09122026K.tkv"), recordFields());
  const QString path = ro + QStringLiteral("/T09122026K.tkv");
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther |
                                  QFileDevice::WriteOther);
  QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                QFileDevice::ExeOther);
  const QByteArray before = test::fileBytes(path);
  test::UnprivilegedFileAccess guard;

  EXPECT_THROW(Dataset::createTable(ro, QStringLiteral("T10122026K.tkv"), recordFields()), Error);
  EXPECT_FALSE(QFileInfo::exists(ro + QStringLiteral("/T10122026K.tkv")));

  // The file itself is writable but no journal can be made beside it: the append fails,
  // stores nothing and stays pending until dropped.
  Dataset table(QStringLiteral("Table1"));
  table.setFieldDefs(recordFields());
  table.setDirectory(ro);
  table.setTableName(QStringLiteral("T09122026K.tkv"));
  table.open();
  table.append();
  table.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("A"));
  EXPECT_THROW(table.post(), Error);
  table.cancel();
  EXPECT_EQ(table.recordCount(), 0);
  table.close();
  EXPECT_EQ(test::fileBytes(path), before);
}

TEST(DatasetFiles, ReadOnlyFileRefusesAppends) {
  test::OpenTempDir dir;
  Dataset::createTable(dir.path(), QStringLiteral("T09122026K.tkv"), recordFields());
  const QString path = dir.file(QStringLiteral("T09122026K.tkv"));
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadOther);
  const QByteArray before = test::fileBytes(path);
  test::UnprivilegedFileAccess guard;
  Dataset table(QStringLiteral("Table1"));
  table.setFieldDefs(recordFields());
  table.setTableName(path);
  table.open();
  table.append();
  table.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("A"));
  try {
    table.post();
    ADD_FAILURE() << "stored into a read-only file";
  } catch (const Error& e) {
    EXPECT_TRUE(e.text().contains(path)) << e.what();
  }
  table.close();
  EXPECT_EQ(test::fileBytes(path), before);
}
