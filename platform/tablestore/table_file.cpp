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

}  // namespace velta::tablestore
