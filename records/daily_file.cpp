#include "records/daily_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

#include "records/date_code.h"

namespace velta {

namespace {

const QString kFileCreated = QStringLiteral("DOSYA OLUŞTURULDU");
const QString kFileExisted = QStringLiteral("BUGÜN İÇİN DOSYA OLUŞTURULMUŞ ");
// Less than this free on the data disk is as good as full: a record and its journal
// need a few pages.
constexpr qint64 kLowDiskBytes = 1 << 20;

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

QDateTime now(const Clock& clock) { return QDateTime(clock.currentDate(), clock.currentTime()); }

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

QString KeptAsideName(const QString& path, const QString& what, const QDateTime& when) {
  const QString base = path + u'.' + what + u'-' + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString candidate = base;
  for (int n = 2; QFileInfo::exists(candidate); ++n) candidate = base + u'-' + QString::number(n);
  return candidate;
}

QString TodaysFilePath(const DailyFileContext& ctx) {
  return Dataset::filePath(ctx.drives.toHost(kDataDirectory), DailyTableName(ctx.clock));
}

QString DescribeFileTrouble(const QString& hostFile) {
  const QFileInfo file(hostFile);
  const QString folder = file.absolutePath();
  // Effective ids and capabilities, as the store's own writes see them.
  const auto writable = [](const QString& path) {
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0;
  };
  if (!QFileInfo(folder).isDir()) return QStringLiteral("veri klasörü yok");
  if (!writable(folder)) return QStringLiteral("veri klasörüne yazılamıyor (salt okunur)");
  if (file.exists() && !writable(hostFile)) return QStringLiteral("dosya salt okunur");
  const QStorageInfo disk(folder);
  if (disk.isValid() && disk.bytesAvailable() < kLowDiskBytes) return QStringLiteral("diskte yer kalmadı");
  return {};
}

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

std::optional<KeptAside> OpenDailyFileKeepingPanel(const DailyFileContext& ctx) {
  const QString name = DailyTableName(ctx.clock);
  const QString directory = ctx.drives.toHost(kDataDirectory);
  const QString path = Dataset::filePath(directory, name);
  if (!Dataset::fileExists(path)) Dataset::createTable(directory, name, DailyFileFields(), DailyFileIndex());
  std::optional<KeptAside> kept;
  try {
    openToday(ctx, kDataDirectory + u'\\', name);
    if (!ctx.Table1.readOnly()) return std::nullopt;
    // The previous program's table under today's name: read, but never written to.
    ctx.Table1.close();
    kept = KeptAside{path, KeptAsideName(path, QStringLiteral("old-station-file"), now(ctx.clock)),
                     QStringLiteral("it is a table of the previous station program, which is only read")};
  } catch (const ForeignFileError& e) {
    kept = KeptAside{path, KeptAsideName(path, QStringLiteral("not-a-station-data-file"), now(ctx.clock)), e.text()};
  }
  Dataset::renameFile(path, kept->aside);
  Dataset::createTable(directory, name, DailyFileFields(), DailyFileIndex());
  openToday(ctx, kDataDirectory + u'\\', name);
  return kept;
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
  // A damaged old file opens with what could be read; the operator must know it is not whole.
  const QStringList& problems = ctx.Table1.readProblems();
  if (!problems.isEmpty()) {
    constexpr int kShown = 5;
    QString text = QStringLiteral("ESKİ DOSYA EKSİK OKUNDU\n\nDosya: %1\nOkunan kayıt: %2\nSorun sayısı: %3\n")
                       .arg(ctx.Table1.filePath())
                       .arg(ctx.Table1.recordCount())
                       .arg(problems.size());
    for (int i = 0; i < std::min<int>(kShown, static_cast<int>(problems.size())); ++i) text += u'\n' + problems[i];
    if (problems.size() > kShown) text += QStringLiteral("\n... (%1 sorun daha)").arg(problems.size() - kShown);
    ctx.dialogs.showError(kApplicationTitle, text);
  }
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
  } catch (...) {
    // A half-filled record must not stay pending: the next append or move would post it.
    t.cancel();
    throw;
  }
  try {
    if (followNewest)
      t.post();
    else
      t.postKeepingCurrent();
  } catch (const Error& e) {
    t.cancel();
    throw RecordNotStored(e.text());
  } catch (...) {
    t.cancel();
    throw;
  }
}

}  // namespace velta
