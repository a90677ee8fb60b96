#include "plc/sequencer.h"

#include <QDateTime>
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

QString phaseNotJournaledText(const QString& file, const QString& cause, const QString& error) {
  return QStringLiteral("TEST PARÇASININ ÖLÇÜMLERİ DİSKE YAZILAMADI\n\nDosya: %1\n%2Hata: %3\n\n"
                        "PLC bu aşamada bekliyor; parça kaybolmadı. Sorun giderilince (diskte yer "
                        "açılınca, klasör yazılabilir olunca) test kendiliğinden devam eder.")
      .arg(file, cause.isEmpty() ? QString() : QStringLiteral("Neden: %1\n").arg(cause), error);
}

QString journalKeptAsideText(const QString& aside, const QString& why) {
  return QStringLiteral("YARIM KALAN TEST PARÇASI KAYDEDİLMEDİ\n\n%1\n\n"
                        "Parçanın program kapanmadan önce alınan ölçümleri veri dosyasına yazılmadı; "
                        "şu dosyada saklanıyor:\n%2")
      .arg(why, aside);
}

enum class Waiting { FileNotOpened, PieceNotStored, PhaseNotJournaled };

// A failed opening, store or journal write: one log line when the reason changes, one
// box per trouble.
void troubled(const TestCycleContext& ctx, const QString& file, const QString& error, Waiting waiting) {
  StoreTrouble& trouble = ctx.trouble;
  ++trouble.failures;
  if (error != trouble.lastReason) {
    trouble.lastReason = error;
    const char* what = waiting == Waiting::PieceNotStored      ? "a finished piece waits to be stored"
                       : waiting == Waiting::PhaseNotJournaled ? "the piece waits: the piece journal cannot be written"
                                                               : "today's data file cannot be opened";
    ctx.outlet.log(QStringLiteral("sequencer: %1 (%2)").arg(QLatin1StringView(what), error));
  }
  if (trouble.told) return;
  trouble.told = true;
  const QString cause = DescribeFileTrouble(file);
  switch (waiting) {
    case Waiting::PieceNotStored: ctx.outlet.tellOperatorAfterTick(pieceNotStoredText(file, cause, error)); break;
    case Waiting::PhaseNotJournaled: ctx.outlet.tellOperatorAfterTick(phaseNotJournaledText(file, cause, error)); break;
    case Waiting::FileNotOpened: ctx.outlet.tellOperatorAfterTick(fileNotOpenedText(file, cause, error)); break;
  }
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
    troubled(ctx, TodaysFilePath(df), e.text(), pieceWaiting ? Waiting::PieceNotStored : Waiting::FileNotOpened);
    return false;
  }
  if (ctx.trouble.failures > 0) troubleOver(ctx, QStringLiteral("today's data file is open again"));
  return true;
}

QDateTime now(const TestCycleContext& ctx) {
  return QDateTime(ctx.dailyFile.clock.currentDate(), ctx.dailyFile.clock.currentTime());
}

JournaledPiece panelPiece(const TestCycleContext& ctx, int phases) {
  const FormState& form = ctx.dailyFile.form;
  JournaledPiece p;
  p.serialNumber = form.text(ctl::Edit25);
  for (int i = 0; i < 16; ++i) p.values[static_cast<size_t>(i)] = form.text(ctl::Edit26 + i);
  p.phases = phases;
  p.written = now(ctx);
  return p;
}

// The highest SIRANO in Table1 (browsing order is SIRANO order), 0 for an empty file.
qint64 lastSirano(const Dataset& table) {
  const int n = table.recordCount();
  return n == 0 ? 0 : table.valueAt(n - 1, 0).toLongLong();
}

// A journal's piece is never stored: the file is renamed, the engineer and the operator told.
void keepJournalAside(const TestCycleContext& ctx, const QString& why) {
  PieceInProgress& piece = ctx.piece;
  piece = PieceInProgress{true, false, 0, false, {}, -1};
  QString aside;
  try {
    aside = ctx.journal.keepAside(now(ctx));
  } catch (const Error& e) {
    // Renaming failed: removing it would lose the readings, keeping it would restore
    // them again; it stays and the next start-up looks at it again.
    ctx.outlet.log(QStringLiteral("sequencer: the piece journal is not stored (%1) and cannot be kept aside: %2")
                       .arg(why, e.text()));
    return;
  }
  ctx.outlet.log(QStringLiteral("sequencer: the piece journal is not stored (%1); kept aside as '%2'").arg(why, aside));
  ctx.outlet.tellOperatorAfterTick(journalKeptAsideText(aside, why));
}

// The first tick after start-up: the piece the last run left in the journal, into the panel.
void restorePiece(const TestCycleContext& ctx) {
  PieceInProgress& piece = ctx.piece;
  piece.journalLookedAt = true;
  std::optional<JournaledPiece> journaled;
  try {
    journaled = ctx.journal.read();
  } catch (const Error& e) {
    keepJournalAside(ctx, e.text());
    return;
  }
  if (!journaled) return;
  // A piece whose first phase came shortly before midnight is still this run's piece.
  constexpr qint64 kAcrossMidnightSecs = 10 * 60;
  const QDateTime t = now(ctx);
  if (journaled->written.date() != t.date() && journaled->written.secsTo(t) > kAcrossMidnightSecs) {
    keepJournalAside(ctx, QStringLiteral("the piece journal was written on %1, another day")
                              .arg(journaled->written.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))));
    return;
  }
  FormState& form = ctx.dailyFile.form;
  form.setText(ctl::Edit25, journaled->serialNumber);
  for (int i = 0; i < 16; ++i) form.setText(ctl::Edit26 + i, journaled->values[static_cast<size_t>(i)]);
  piece.restored = true;
  piece.restoredPhases = journaled->phases;
  piece.journaled = true;
  piece.storingInto = journaled->storingInto;
  piece.lastSiranoBefore = journaled->lastSiranoBefore;
  ctx.outlet.log(QStringLiteral("sequencer: restored the piece in progress %1 (%2 of 4 phases) from '%3'")
                     .arg(journaled->serialNumber)
                     .arg(journaled->phases)
                     .arg(ctx.journal.path()));
}

// The PLC's first handshake bit after a restore (phase 1..4, 5 for M6, 0 for transfer
// off) says whether it goes on with the restored piece; when it does not, the journal is
// kept aside and the panel cleared, and the bit is taken as usual.
void confirmRestored(const TestCycleContext& ctx, int step) {
  PieceInProgress& piece = ctx.piece;
  if (!piece.restored) return;
  const int had = piece.restoredPhases;
  const bool goesOn = step <= 4 ? (step == had || step == had + 1) : had == 4;
  if (goesOn) {
    piece.restored = false;
    return;
  }
  const QString asked = step == 0   ? QStringLiteral("turned data transfer off")
                        : step <= 4 ? QStringLiteral("asked for phase %1").arg(step)
                                    : QStringLiteral("asked for the end of the piece");
  keepJournalAside(ctx, QStringLiteral("the PLC %1 where the restored piece %2 had %3 of 4 phases")
                            .arg(asked, ctx.dailyFile.form.text(ctl::Edit25))
                            .arg(had));
  ClearPlcValues(ctx.dailyFile.form);
}

// The phase just copied into the panel, durable before its acknowledgement; false
// (trouble told) when it cannot be: the PLC waits and a later tick tries again.
bool journalPhase(const TestCycleContext& ctx, int phase) {
  try {
    ctx.journal.write(panelPiece(ctx, phase));
  } catch (const Error& e) {
    troubled(ctx, ctx.journal.path(), e.text(), Waiting::PhaseNotJournaled);
    return false;
  }
  ctx.piece.journaled = true;
  if (ctx.trouble.failures > 0) troubleOver(ctx, QStringLiteral("the piece journal is written again"));
  return true;
}

void dropJournal(const TestCycleContext& ctx) {
  PieceInProgress& piece = ctx.piece;
  if (!piece.journaled) return;
  try {
    ctx.journal.remove();
  } catch (const Error& e) {
    // The next piece's first phase replaces it; a restart would find it of a piece the
    // PLC no longer holds and keep it aside.
    ctx.outlet.log(QStringLiteral("sequencer: %1").arg(e.text()));
  }
  piece = PieceInProgress{true, false, 0, false, {}, -1};
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
      troubled(ctx, TodaysFilePath(df), e.text(), Waiting::FileNotOpened);
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
  const QString file = df.Table1.filePath();
  const QString serial = df.form.text(ctl::Edit25);
  PieceInProgress& piece = ctx.piece;
  if (piece.storingInto == file && piece.lastSiranoBefore >= 0) {
    // Restored from a journal written just before an append: was the append made?
    for (int i = df.Table1.recordCount() - 1; i >= 0; --i) {
      const std::vector<QVariant> r = df.Table1.recordAt(i);
      if (r.at(0).toLongLong() <= piece.lastSiranoBefore) break;
      if (r.at(1).toString() == serial) {
        ctx.outlet.log(QStringLiteral("sequencer: the restored piece %1 was stored in '%2' as SIRANO %3 before the "
                                      "restart; not stored again")
                           .arg(serial, file)
                           .arg(r.at(0).toLongLong()));
        return true;
      }
    }
  }
  if (piece.journaled) {
    JournaledPiece storing = panelPiece(ctx, 4);
    storing.storingInto = file;
    storing.lastSiranoBefore = lastSirano(df.Table1);
    try {
      ctx.journal.write(storing);
    } catch (const Error& e) {
      troubled(ctx, ctx.journal.path(), e.text(), Waiting::PhaseNotJournaled);
      return false;
    }
  }
  try {
    AppendTestRecord(df);
  } catch (const RecordNotStored& e) {
    troubled(ctx, file, e.text(), Waiting::PieceNotStored);
    return false;
  }
  ctx.outlet.log(QStringLiteral("stored piece %1 in '%2' as SIRANO %3").arg(serial, file).arg(lastSirano(df.Table1)));
  troubleOver(ctx, QStringLiteral("the waiting piece is stored in '%1'").arg(file));
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

  // The piece the last run left unfinished, back into the panel.
  if (!ctx.piece.journalLookedAt) restorePiece(ctx);

  // 1. Daily file check.
  if (is("M0", 1)) checkDailyFile(ctx);

  // 2-5. Phases: copy the readouts as they stand (the previous tick's readings), make
  // them durable, then acknowledge.
  for (int p = 0; p < 4; ++p) {
    const auto& phase = kPhases[p];
    if (!is(phase.bit, 1)) continue;
    if (!ctx.readoutsCapturable) continue;  // stays waiting, captured with fresh readings
    confirmRestored(ctx, p + 1);
    if (phase.firstBox == 26) form.setText(ctl::Edit25, MakeSerialNumber(ctx.dailyFile.clock));
    for (int i = 0; i < 4; ++i) form.setText(phase.firstBox + i, form.text(ctl::Edit2 + i));
    if (!journalPhase(ctx, p + 1)) return;
    acknowledge(phase.bit);
  }

  // 6. End of piece: acknowledged once the piece is stored; a piece the file cannot
  // take keeps the panel, and M6 waits for a later tick.
  if (is("M6", 1)) {
    if (ctx.piece.restored && !ctx.readoutsCapturable) return;  // the PLC's word first
    confirmRestored(ctx, 5);
    if (!form.text(ctl::Edit25).isEmpty() && !storePiece(ctx)) return;
    dropJournal(ctx);
    acknowledge("M6");
    ClearPlcValues(form);
  }

  // 7. Transfer off. A restored piece waits for a transfer off the PLC really sent.
  if (is("M0", 0)) {
    if (ctx.piece.restored) {
      if (!ctx.readoutsCapturable) return;
      confirmRestored(ctx, 0);
    }
    ClearPlcValues(form);
    dropJournal(ctx);
  }
}

}  // namespace velta
