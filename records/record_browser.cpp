#include "records/record_browser.h"

#include <QFileInfo>

#include "platform/error.h"
#include "records/daily_file.h"

namespace velta {

namespace {

// Nothing to delete was confirmed (the file was empty), but a record arrived meanwhile.
const QString kRecordAddedNothingDeleted =
    QStringLiteral("Onay beklenirken veri dosyasına yeni kayıt eklendi; hiçbir kayıt silinmedi.");

// The one file a path names, however it was spelled when the view was opened.
QString sameFileKey(const QString& path) {
  const QFileInfo fi(path);
  const QString canonical = fi.canonicalFilePath();
  return canonical.isEmpty() ? fi.absoluteFilePath() : canonical;
}

// The record the operator meant when pressing delete.
struct ConfirmedRecord {
  bool active = false;
  QString file;         // sameFileKey of the open file
  QByteArray bookmark;  // empty when there was no current record
};

ConfirmedRecord confirmedRecord(const Dataset& t) {
  if (!t.active()) return {};
  return {true, sameFileKey(t.filePath()), t.bookmark()};
}

// Deletes the confirmed record if it can still be told apart; false (after telling the
// operator) when a tick changed Table1 so that it cannot. Store errors are raised.
bool deleteConfirmed(const RecordBrowserContext& ctx, const ConfirmedRecord& target) {
  Dataset& t = ctx.Table1;
  const bool sameFile = t.active() == target.active && (!t.active() || sameFileKey(t.filePath()) == target.file);
  if (!sameFile) {
    ctx.dialogs.showMessage(kApplicationTitle, kFileChangedNothingDeleted);
    return false;
  }
  if (target.bookmark.isEmpty()) {
    if (t.active() && !t.isEmpty()) {
      ctx.dialogs.showMessage(kApplicationTitle, kRecordAddedNothingDeleted);
      return false;
    }
    t.deleteRecord();  // raises the closed- or empty-dataset error
    return true;
  }
  t.deleteBookmarked(target.bookmark);
  return true;
}

// The previous program's files are records of parts already shipped: never changed.
bool refusedAsReadOnly(const RecordBrowserContext& ctx) {
  if (!ctx.Table1.active() || !ctx.Table1.readOnly()) return false;
  ctx.dialogs.showMessage(kApplicationTitle, kLegacyFileReadOnly);
  return true;
}

}  // namespace

void ShowSelectedRecord(Dataset& Table1, FormState& form) {
  const auto& fields = DailyFileFields();  // SIRANO, SERiNO, HAVA .. BOY3
  const bool hasRecord = Table1.active() && Table1.recNo() >= 0;
  form.setText(ctl::Edit6, hasRecord ? Table1.fieldText(QStringLiteral("SERiNO")) : QString());
  for (int e = ctl::Edit9; e <= ctl::Edit24; ++e)
    form.setText(e, hasRecord ? Table1.fieldText(fields[static_cast<size_t>(e - ctl::Edit9 + 2)].name) : QString());
}

void SpeedButton5Click(const RecordBrowserContext& ctx) {
  if (ctx.form.text(ctl::Edit6) == u" ") {
    ctx.dialogs.showMessage(kApplicationTitle, kSelectRecord);
    return;
  }
  if (refusedAsReadOnly(ctx)) return;
  const ConfirmedRecord target = confirmedRecord(ctx.Table1);
  if (!ctx.dialogs.askYesNo(kDeleteCaption, kDeleteQuestion)) return;
  if (deleteConfirmed(ctx, target)) ctx.dialogs.showMessage(kApplicationTitle, kRecordDeleted);
}

void DBGrid1CtrlDelete(const RecordBrowserContext& ctx) {
  if (ctx.Table1.isEmpty()) return;  // closed or without records
  if (refusedAsReadOnly(ctx)) return;
  const ConfirmedRecord target = confirmedRecord(ctx.Table1);
  if (!ctx.dialogs.askOkCancel(kGridDeleteCaption, kGridDeleteQuestion)) return;
  deleteConfirmed(ctx, target);
}

}  // namespace velta
