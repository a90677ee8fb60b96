#include "plc/sequencer.h"

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

void checkDailyFile(const TestCycleContext& ctx) {
  const DailyFileContext& df = ctx.dailyFile;
  const QString today = DailyTableName(df.clock);
  const QString current = df.Table1.tableName();
  if (current == today) return;
  if (!openedByName(current)) {
    OpenDailyFile(df);  // a file chosen in the dialog: back to today's, panel cleared
    return;
  }
  // The date has changed since Table1 was opened: the station runs on into the new day.
  OpenDailyFileForNewDay(df);
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

  // 6. End of piece.
  if (is("M6", 1)) {
    if (!form.text(ctl::Edit25).isEmpty()) AppendTestRecord(ctx.dailyFile);
    acknowledge("M6");
    ClearPlcValues(form);
  }

  // 7. Transfer off.
  if (is("M0", 0)) ClearPlcValues(form);
}

}  // namespace velta
