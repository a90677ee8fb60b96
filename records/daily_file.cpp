#include "records/daily_file.h"

#include "records/date_code.h"

namespace velta {

namespace {

const QString kFileCreated = QStringLiteral("DOSYA OLUŞTURULDU");
const QString kFileExisted = QStringLiteral("BUGÜN İÇİN DOSYA OLUŞTURULMUŞ ");

void openToday(const DailyFileContext& ctx, const QString& windowsDirectory, const QString& name) {
  ctx.Table1.close();
  ctx.Table1.setDirectory(ctx.drives.toHost(windowsDirectory));
  ctx.Table1.setTableName(name);
  ctx.Table1.open();
  ctx.form.setCaption(DailyFileCaption(ctx.Table1.tableName()));
}

void openToday(const DailyFileContext& ctx, const QString& windowsDirectory) {
  openToday(ctx, windowsDirectory, DailyTableName(ctx.clock));
  ClearPlcValues(ctx.form);
}

}  // namespace

const std::vector<FieldDef>& DailyFileFields() {
  static const std::vector<FieldDef> fields = [] {
    std::vector<FieldDef> f{{QStringLiteral("SIRANO"), FieldKind::AutoInc, 0},
                            {QStringLiteral("SERiNO"), FieldKind::Text, 15}};
    for (const char* suffix : {"", "1", "2", "3"})
      for (const char* quantity : {"HAVA", "PRES", "EN", "BOY"})
        f.push_back({QString::fromLatin1(quantity) + QString::fromLatin1(suffix), FieldKind::Float, 0});
    return f;
  }();
  return fields;
}

IndexDef DailyFileIndex() { return {QStringLiteral("siraindex"), QStringLiteral("SIRANO")}; }

QString DailyTableName(const Clock& clock) { return MakeDateCode(clock) + QStringLiteral(".tkv"); }

QString DailyFileCaption(const QString& tableName) { return kCaptionPrefix + tableName.right(14); }

void CreateDailyFile(const DailyFileContext& ctx) {
  const QString name = DailyTableName(ctx.clock);
  const QString path = ctx.drives.toHost(kDataDirectory + u'\\' + name);
  if (Dataset::fileExists(path)) {
    ctx.dialogs.showMessage(kApplicationTitle, kFileExisted);
    return;
  }
  Dataset::createTable(ctx.drives.toHost(kDataDirectory), name, DailyFileFields(), DailyFileIndex());
  ctx.dialogs.showMessage(kApplicationTitle, kFileCreated);
}

void OpenDailyFile(const DailyFileContext& ctx) { openToday(ctx, kDataDirectory + u'\\'); }

void OpenDailyFileForNewDay(const DailyFileContext& ctx) {
  const QString name = DailyTableName(ctx.clock);
  const QString directory = ctx.drives.toHost(kDataDirectory);
  if (!Dataset::fileExists(Dataset::filePath(directory, name)))
    Dataset::createTable(directory, name, DailyFileFields(), DailyFileIndex());
  openToday(ctx, kDataDirectory + u'\\', name);
}

void OpenDailyFileAtStartUp(const DailyFileContext& ctx) { openToday(ctx, kDataDirectory); }

void SpeedButton1Click(const DailyFileContext& ctx) {
  OpenFileRequest request;
  request.title = QStringLiteral(" VERİ DOSYASI SEÇ");
  request.initialDirectory = ctx.drives.toHost(kDataDirectory);
  request.defaultExtension = QStringLiteral("tkv");
  request.filter = QStringLiteral("Velta Data Files (*.tkv)|*.tkv");
  const std::optional<QString> chosen = ctx.dialogs.chooseFile(request);
  if (!chosen) return;
  ctx.Table1.close();
  ctx.Table1.setTableName(*chosen);
  ctx.Table1.open();
  ctx.form.setCaption(DailyFileCaption(ctx.Table1.tableName()));
}

void AppendTestRecord(const DailyFileContext& ctx) {
  Dataset& t = ctx.Table1;
  // The record the operator is on stays current and the grid stays where it is; only an
  // operator on the last record (or on none) follows the newest one.
  const bool followNewest = t.isEmpty() || t.recNo() < 0 || t.recNo() == t.recordCount() - 1;
  t.append();
  try {
    t.setFieldText(QStringLiteral("SERiNO"), ctx.form.text(ctl::Edit25));
    const auto& fields = DailyFileFields();
    for (int e = ctl::Edit26; e <= ctl::Edit41; ++e)
      t.setFieldText(fields[static_cast<size_t>(e - ctl::Edit26 + 2)].name, ctx.form.text(e));
    if (followNewest)
      t.post();
    else
      t.postKeepingCurrent();
  } catch (...) {
    // A half-filled record must not stay pending: the next append or move would post it.
    t.cancel();
    throw;
  }
}

}  // namespace velta
