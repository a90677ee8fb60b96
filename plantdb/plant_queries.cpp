#include "plantdb/plant_queries.h"

#include <xlsxwriter.h>

#include <QFile>

#include "plantdb/central_schema.h"
#include "platform/error.h"

namespace velta::plantdb {

namespace {

QByteArray selectColumns() {
  QByteArray c = "station, day_file, sirano, serino";
  for (const QString& v : valueColumns()) c += ", " + v.toLatin1();
  c += ", to_char(stored_at, 'YYYY-MM-DD HH24:MI'), to_char(deleted_at, 'YYYY-MM-DD HH24:MI:SS TZ')";
  return c;
}

QStringList headings() {
  QStringList h{QStringLiteral("station"), QStringLiteral("day file"), QStringLiteral("SIRANO"),
                QStringLiteral("SERiNO")};
  for (const QString& v : valueColumns()) h << v.toUpper();
  h << QStringLiteral("stored at") << QStringLiteral("deleted at");
  return h;
}

constexpr int kColumns = 22;
bool isNumberColumn(int c) { return c == 2 || (c >= 4 && c < 20); }

}  // namespace

int findSerial(PgLink& link, const QString& serial, QTextStream& out) {
  // The serino index answers this; ordered so that one piece tested twice reads in order.
  PgResult r = link.exec("SELECT " + selectColumns() +
                             " FROM test_records WHERE serino = $1 ORDER BY stored_at, station, day, sirano",
                         {serial.toUtf8()});
  out << headings().join(u'\t') << '\n';
  for (int i = 0; i < r.rows(); ++i) {
    QStringList cells;
    for (int c = 0; c < kColumns; ++c) cells << (r.isNull(i, c) ? QString() : QString::fromUtf8(r.value(i, c)));
    out << cells.join(u'\t') << '\n';
  }
  out.flush();
  return r.rows();
}

int exportDay(PgLink& link, const QDate& day, const QString& path) {
  PgResult r = link.exec("SELECT " + selectColumns() +
                             " FROM test_records WHERE day = $1::date ORDER BY station, day_file, sirano",
                         {day.toString(Qt::ISODate).toLatin1()});
  if (QFile::exists(path)) throw Error(QStringLiteral("workbook \"%1\" exists already; it is not replaced").arg(path));
  const QByteArray file = QFile::encodeName(path);
  lxw_workbook* wb = workbook_new(file.constData());
  if (!wb) throw Error(QStringLiteral("workbook \"%1\" cannot be made").arg(path));
  lxw_worksheet* ws = workbook_add_worksheet(wb, day.toString(Qt::ISODate).toUtf8().constData());
  const QStringList h = headings();
  for (int c = 0; c < kColumns; ++c) worksheet_write_string(ws, 0, lxw_col_t(c), h[c].toUtf8().constData(), nullptr);
  for (int i = 0; i < r.rows(); ++i) {
    const auto row = lxw_row_t(i + 1);
    for (int c = 0; c < kColumns; ++c) {
      if (r.isNull(i, c)) continue;
      const QByteArray v = r.value(i, c);
      if (isNumberColumn(c)) worksheet_write_number(ws, row, lxw_col_t(c), v.toDouble(), nullptr);
      else worksheet_write_string(ws, row, lxw_col_t(c), v.constData(), nullptr);
    }
  }
  const lxw_error e = workbook_close(wb);
  if (e != LXW_NO_ERROR)
    throw Error(QStringLiteral("workbook \"%1\" cannot be written: %2").arg(path, QString::fromUtf8(lxw_strerror(e))));
  return r.rows();
}

}  // namespace velta::plantdb
