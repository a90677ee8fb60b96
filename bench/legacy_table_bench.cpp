// The previous program's daily files:
// - opening a 20,000-record old file (read whole into a scratch table file) until the grid
//   model gives its first rows (goal < 150 ms);
// - converting it into a kept new-format file (records per second).
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/tablestore/legacy/legacy_copy.h"
#include "records/daily_file.h"
#include "records/record_table_model.h"
#include "tests/platform/legacy/paradox_fixture.h"

using namespace velta;

namespace {

constexpr int kRecords = 20000;

QTemporaryDir& benchDir() {
  static QTemporaryDir dir(QStringLiteral("velta-bench-XXXXXX"));  // in the working folder, on disk
  return dir;
}

QString oldFile() {
  const QString path = benchDir().filePath(QStringLiteral("T09032019K.tkv"));
  if (!QFile::exists(path)) {
    test::FixtureTable t;
    t.fields = test::dailyFields();
    t.rows = test::dailyRows(kRecords);
    test::writeParadox(path, t);
  }
  return path;
}

void BM_OldFileOpenUntilFirstRows(benchmark::State& state) {
  const QString path = oldFile();
  for (auto _ : state) {
    Dataset t(QStringLiteral("Table1"));
    t.setFieldDefs(DailyFileFields());
    t.setTableName(path);
    t.open();
    RecordTableModel model(t);
    for (int r = 0; r < 20; ++r)
      for (int c = 0; c < 6; ++c) benchmark::DoNotOptimize(model.data(model.index(r, c)));
    if (t.recordCount() != kRecords) state.SkipWithError("not every record was read");
  }
  state.counters["records"] = kRecords;
}
BENCHMARK(BM_OldFileOpenUntilFirstRows)->Unit(benchmark::kMillisecond);

void BM_OldFileConversion(benchmark::State& state) {
  const QString path = oldFile();
  int n = 0;
  for (auto _ : state) {
    const QString dest = benchDir().filePath(QStringLiteral("converted-%1.tkv").arg(n++));
    const legacy::LegacyCopy copy = legacy::CopyLegacyTable(path, dest, DailyFileFields(), DailyFileIndex(), true);
    if (copy.records != kRecords) state.SkipWithError("not every record was converted");
    state.PauseTiming();
    QFile::remove(dest);
    state.ResumeTiming();
  }
  state.counters["records_per_s"] = benchmark::Counter(double(kRecords) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OldFileConversion)->Unit(benchmark::kMillisecond);

}  // namespace
