#include "platform/tablestore/table_file.h"

#include <QDate>
#include <QTime>

namespace velta::tablestore {

QByteArray quoted(const QString& identifier) {
  QString q = identifier;
  q.replace(u'"', QStringLiteral("\"\""));
  return (u'"' + q + u'"').toUtf8();
}

QVariant columnValue(sqlite3_stmt* st, int col, FieldKind kind) {
  if (sqlite3_column_type(st, col) == SQLITE_NULL) return {};
  switch (kind) {
    case FieldKind::Text:
      return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)),
                               sqlite3_column_bytes(st, col));
    case FieldKind::Float: return sqlite3_column_double(st, col);
    case FieldKind::AutoInc:
    case FieldKind::Integer: return qlonglong(sqlite3_column_int64(st, col));
    case FieldKind::Date:
      return QDate::fromString(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col))),
                               Qt::ISODate);
    case FieldKind::Time:
      return QTime::fromString(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col))),
                               Qt::ISODateWithMs);
  }
  return {};
}

void bindValue(sqlite3_stmt* st, int param, const QVariant& v, FieldKind kind) {
  if (!v.isValid()) {
    sqlite3_bind_null(st, param);
    return;
  }
  switch (kind) {
    case FieldKind::Float: sqlite3_bind_double(st, param, v.toDouble()); return;
    case FieldKind::AutoInc:
    case FieldKind::Integer: sqlite3_bind_int64(st, param, v.toLongLong()); return;
    case FieldKind::Text:
    case FieldKind::Date:
    case FieldKind::Time: {
      QString s;
      if (kind == FieldKind::Text) s = v.toString();
      else if (kind == FieldKind::Date) s = v.toDate().toString(Qt::ISODate);
      else s = v.toTime().toString(Qt::ISODateWithMs);
      const QByteArray u = s.toUtf8();
      sqlite3_bind_text(st, param, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
      return;
    }
  }
}

}  // namespace velta::tablestore
