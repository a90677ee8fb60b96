#include "plc/sequencer.h"

#include <optional>

#include "plc/item_value.h"
#include "records/date_code.h"

namespace velta {

namespace {

const QString kGroup = QString::fromLatin1(kItemGroup);

// Edit boxes of each phase: first box of its four (air pressure, load, width, length).
constexpr struct {
  const char* bit;
  int firstBox;
} kPhases[] = {{"M2", 26}, {"M3", 30}, {"M4", 34}, {"M5", 38}};

bool openedByName(const QString& tableName) {
  return !tableName.contains(u'/') && !tableName.contains(u'\\');
}

QString pieceNotStoredText(const QString& file, const QString& cause, const QString& error) {
  return QStringLiteral("TEST KAYDI VERİ DOSYASINA YAZILAMADI\n\nDosya: %1\n%2Hata: %3\n\n"
                        "Parça kaybolmadı: değerleri panelde duruyor, PLC parça sonunda bekliyor. "
                        "Sorun giderilince (diskte yer açılınca, klasör yazılabilir olunca) parça "
                        "kendiliğinden kaydedilir.")
      .arg(file, cause.isEmpty() ? QString() : QStringLiteral("Neden: %1\n").arg(cause), error);
}

QString fileNotOpenedText(const QString& file, const QString& cause, const QString& error) {
  return QStringLiteral("BUGÜNÜN VERİ DOSYASI AÇILAMADI\n\nDosya: %1\n%2Hata: %3\n\n"
                        "İstasyon çalışmaya devam ediyor: biten parça panelde bekletilir ve dosya "
                        "kullanılabilir olunca kaydedilir.")
      .arg(file, cause.isEmpty() ? QString() : QStringLiteral("Neden: %1\n").arg(cause), error);
}

QString keptAsideText(const KeptAside& kept) {
  return QStringLiteral("BUGÜNÜN VERİ DOSYASI BU İSTASYONUN VERİ DOSYASI DEĞİL\n\nDosya: %1\nHata: %2\n\n"
                        "Dosya silinmedi, şu adla kenara alındı:\n%3\n\n"
                        "Yerine yeni veri dosyası oluşturuldu:\n%1")
      .arg(kept.file, kept.reason, kept.aside);
}

// A failed opening or store: one log line when the reason changes, one box per trouble.
void troubled(const TestCycleContext& ctx, const QString& file, const QString& error, bool pieceWaiting) {
  StoreTrouble& trouble = ctx.trouble;
  ++trouble.failures;
  if (error != trouble.lastReason) {
    trouble.lastReason = error;
    ctx.outlet.log(QStringLiteral("sequencer: %1 (%2)")
                       .arg(pieceWaiting ? QStringLiteral("a finished piece waits to be stored")
                                         : QStringLiteral("today's data file cannot be opened"),
                            error));
  }
  if (trouble.told) return;
  trouble.told = true;
  const QString cause = DescribeFileTrouble(file);
  ctx.outlet.tellOperatorAfterTick(pieceWaiting ? pieceNotStoredText(file, cause, error)
                                                : fileNotOpenedText(file, cause, error));
}

void troubleOver(const TestCycleContext& ctx, const QString& what) {
  StoreTrouble& trouble = ctx.trouble;
  if (trouble.failures == 0 && !trouble.told) return;
  ctx.outlet.log(QStringLiteral("sequencer: %1 after %2 failed attempts").arg(what).arg(trouble.failures));
  trouble = StoreTrouble{};
}

// While a trouble lasts, every tick tries again: a file that another program keeps
// locked must fail such a try at once, not hold the tick for the store's lock wait.
class LockWaitDuringTrouble {
 public:
  LockWaitDuringTrouble(Dataset& table, const StoreTrouble& trouble) : table_(table), retrying_(trouble.failures > 0) {
    if (retrying_) table_.setLockWaitMs(0);
  }
  ~LockWaitDuringTrouble() {
    if (retrying_) table_.setLockWaitMs(kUsualLockWaitMs);
  }
  LockWaitDuringTrouble(const LockWaitDuringTrouble&) = delete;
  LockWaitDuringTrouble& operator=(const LockWaitDuringTrouble&) = delete;

 private:
  static constexpr int kUsualLockWaitMs = 2000;
  Dataset& table_;
  bool retrying_;
};

// Table1 on today's file, keeping the panel; false (trouble told) when it cannot be.
bool openTodaysFile(const TestCycleContext& ctx, bool pieceWaiting) {
  const DailyFileContext& df = ctx.dailyFile;
  const LockWaitDuringTrouble lockWait(df.Table1, ctx.trouble);
  try {
    if (const std::optional<KeptAside> kept = OpenDailyFileKeepingPanel(df)) {
      ctx.outlet.log(QStringLiteral("sequencer: '%1' is not a data file of this station (%2); kept aside as '%3', "
                                    "a new one made")
                         .arg(kept->file, kept->reason, kept->aside));
      ctx.outlet.tellOperatorAfterTick(keptAsideText(*kept));
    }
  } catch (const Error& e) {
    troubled(ctx, TodaysFilePath(df), e.text(), pieceWaiting);
    return false;
  }
  if (ctx.trouble.failures > 0) troubleOver(ctx, QStringLiteral("today's data file is open again"));
  return true;
}

void checkDailyFile(const TestCycleContext& ctx) {
  const DailyFileContext& df = ctx.dailyFile;
  const QString today = DailyTableName(df.clock);
  const QString current = df.Table1.tableName();
  if (current == today && df.Table1.active() && !df.Table1.readOnly()) return;
  if (current != today && !openedByName(current)) {
    // A file chosen in the dialog: back to today's, panel cleared.
    try {
      OpenDailyFile(df);
    } catch (const Error& e) {
      troubled(ctx, TodaysFilePath(df), e.text(), false);
    }
    return;
  }
  // The date has changed since Table1 was opened (the station runs on into the new
  // day), or today's file could not be opened before.
  openTodaysFile(ctx, false);
}

// The panel's piece into today's file; false when the file could not take it.
bool storePiece(const TestCycleContext& ctx) {
  const DailyFileContext& df = ctx.dailyFile;
  // A closed Table1, or one on a file that is only read: today's own file first.
  if ((!df.Table1.active() || df.Table1.readOnly()) && !openTodaysFile(ctx, true)) return false;
  const LockWaitDuringTrouble lockWait(df.Table1, ctx.trouble);
  try {
    AppendTestRecord(df);
  } catch (const RecordNotStored& e) {
    troubled(ctx, df.Table1.filePath(), e.text(), true);
    return false;
  }
  troubleOver(ctx, QStringLiteral("the waiting piece is stored in '%1'").arg(df.Table1.filePath()));
  return true;
}

}  // namespace

void RunTestCycle(const TestCycleContext& ctx) {
  PlcItemServer& server = requireServer(ctx.PlcServer);
  FormState& form = ctx.dailyFile.form;
  auto read = [&](const char* item) { return server.GetItem(kGroup, QString::fromLatin1(item)); };
  auto is = [&](const char* item, int v) {
    return itemIs(QString::fromLatin1(item), read(item), v, ctx.regional.decimalSeparator);
  };
  auto acknowledge = [&](const char* bit) {
    server.SetItem(kGroup, QString::fromLatin1(bit), Variant(0));
  };

  // 1. Daily file check.
  if (is("M0", 1)) checkDailyFile(ctx);

  // 2-5. Phases: copy the readouts as they stand (the previous tick's readings).
  for (const auto& phase : kPhases) {
    if (!is(phase.bit, 1)) continue;
    if (!ctx.readoutsCapturable) continue;  // stays waiting, captured with fresh readings
    if (phase.firstBox == 26) form.setText(ctl::Edit25, MakeSerialNumber(ctx.dailyFile.clock));
    for (int i = 0; i < 4; ++i) form.setText(phase.firstBox + i, form.text(ctl::Edit2 + i));
    acknowledge(phase.bit);
  }

  // 6. End of piece: acknowledged once the piece is stored; a piece the file cannot
  // take keeps the panel, and M6 waits for a later tick.
  if (is("M6", 1)) {
    if (!form.text(ctl::Edit25).isEmpty() && !storePiece(ctx)) return;
    acknowledge("M6");
    ClearPlcValues(form);
  }

  // 7. Transfer off.
  if (is("M0", 0)) ClearPlcValues(form);
}

}  // namespace velta
