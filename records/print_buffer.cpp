#include "records/print_buffer.h"
#include "platform/station_log.h"

#include <QDateTime>
#include <cstdio>

#include "records/daily_file.h"
#include "records/date_code.h"

namespace velta {

const std::vector<FieldDef>& PrintBufferFields() {
  static const std::vector<FieldDef> fields = [] {
    std::vector<FieldDef> f{{QStringLiteral("SERiNO"), FieldKind::Text, 15},
                            {QStringLiteral("TARiH"), FieldKind::Date, 0},
                            {QStringLiteral("SAAT"), FieldKind::Time, 0},
                            {QStringLiteral("SONUC"), FieldKind::Text, 10}};
    const auto& daily = DailyFileFields();  // SIRANO, SERiNO, HAVA .. BOY3
    f.insert(f.end(), daily.begin() + 2, daily.end());
    return f;
  }();
  return fields;
}

namespace {
const RegionalSettings kSerialForm{u'.', u'.', RegionalSettings::DateOrder::DayMonthYear, u':'};
}  // namespace

void PreparePrintBuffer(const PrintBufferContext& ctx) {
  const QString path = ctx.drives.toHost(kPrintBufferFile);
  if (Dataset::isOldProgramTable(path)) {
    // The previous program's print buffer, left in the system folder: ours takes its
    // place, and the old one is kept under a name that says what it is.
    const QString aside = KeptAsideName(path, QStringLiteral("old-station-file"), QDateTime::currentDateTime());
    ctx.Table2.close();
    Dataset::renameFile(path, aside);
    LogLine(QStringLiteral("the previous program's print buffer %1 is kept as %2; a new one is made").arg(path, aside));
  }
  if (!Dataset::fileExists(path))
    Dataset::createTable(ctx.drives.toHost(kSystemDirectory), kPrintBufferTable, PrintBufferFields());
  FillPrintBuffer(ctx);
}

void FillPrintBuffer(const PrintBufferContext& ctx) {
  const QString serial = ctx.form.text(ctl::Edit6);
  const SerialCut cut = cutSerialNumber(serial);

  Dataset& t = ctx.Table2;
  t.close();
  t.setTableName(ctx.drives.toHost(kPrintBufferFile));
  t.open();
  t.edit();  // on an empty table this starts the one record
  try {
    t.setFieldText(QStringLiteral("SERiNO"), serial);
    // The serial number's date and time are the program's own day.month.year and
    // hour:minute on every locale: read by that form, not by the regional one.
    t.setFieldDate(QStringLiteral("TARiH"), Dataset::parseDate(cut.date, kSerialForm));
    t.setFieldTime(QStringLiteral("SAAT"), Dataset::parseTime(cut.time, kSerialForm));
    t.setFieldText(QStringLiteral("SONUC"), kPrintBufferResult);
    const auto& fields = PrintBufferFields();
    for (int e = ctl::Edit9; e <= ctl::Edit24; ++e)
      t.setFieldText(fields[static_cast<size_t>(e - ctl::Edit9 + 4)].name, ctx.form.text(e));
    t.post();
  } catch (...) {
    // Nothing half-filled may stay pending where the report engine could read it.
    t.cancel();
    throw;
  }
  ctx.dialogs.showMessage(kApplicationTitle, kPrintBufferFilled);
}

}  // namespace velta
