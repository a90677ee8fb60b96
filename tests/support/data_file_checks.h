#pragma once
// Checks of a data file from outside the station: SQLite's own integrity check and the
// record numbers in file order.
#include <sqlite3.h>

#include <QString>
#include <vector>

#include "platform/tablestore/dataset.h"

namespace velta::test {

// "ok" for a sound file, else SQLite's first complaint (or "<cannot open>").
inline QString integrityCheck(const QString& path) {
  sqlite3* db = nullptr;
  QString result = QStringLiteral("<cannot open>");
  if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return result;
}

// SIRANO of every record, in browsing order.
inline std::vector<qint64> storedSiranos(const QString& path) {
  Dataset t(QStringLiteral("Check"));
  t.setTableName(path);
  t.open();
  std::vector<qint64> out;
  for (int i = 0; i < t.recordCount(); ++i) out.push_back(t.valueAt(i, 0).toLongLong());
  return out;
}

}  // namespace velta::test
