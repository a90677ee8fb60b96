#pragma once
// The layout of a table file that the view and its snapshots share: the one SQLite
// table "records", its columns named after the fields, values stored by kind.
// Internal to the table store.
#include <sqlite3.h>

#include <QByteArray>
#include <QString>
#include <QVariant>

#include "platform/tablestore/field_def.h"

namespace velta::tablestore {

inline constexpr const char* kRecordsTable = "records";

// An identifier in double quotes, inner quotes doubled.
QByteArray quoted(const QString& identifier);

// The value of column col of the current row as the field's kind gives it (qlonglong,
// double, QString, QDate, QTime); an invalid QVariant for SQL NULL.
QVariant columnValue(sqlite3_stmt* st, int col, FieldKind kind);

// Binds a value of the field's kind (an invalid QVariant binds NULL); dates as
// yyyy-MM-dd, times as hh:mm:ss[.zzz].
void bindValue(sqlite3_stmt* st, int param, const QVariant& v, FieldKind kind);

}  // namespace velta::tablestore
