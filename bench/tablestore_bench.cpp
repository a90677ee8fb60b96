// Table store figures:
// - one durable append through the dataset against a bare SQLite insert of the same
//   record with the same journal and synchronous settings (AppendRatio interleaves the
//   two so that disk noise hits both alike; goal: ratio <= 1.2);
// - opening a 100,000-record daily file until the grid model gives its first rows
//   (goal < 200 ms), and the process memory that takes beyond an empty file (goal < 50 MB).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <string>

#include "records/daily_file.h"
#include "records/record_table_model.h"

using namespace velta;

namespace {

QTemporaryDir& benchDir() {
  static QTemporaryDir dir(QStringLiteral("velta-bench-XXXXXX"));  // in the working folder, on disk
  return dir;
}

QString makeDailyFile(const QString& name) {
  const QString path = benchDir().filePath(name);
  QFile::remove(path);
  Dataset::createTable(benchDir().path(), name, DailyFileFields(), DailyFileIndex());
  return path;
}

QString fileWithRecords(int count) {
  const QString name = QStringLiteral("big-%1.tkv").arg(count);
  const QString path = benchDir().filePath(name);
  if (QFile::exists(path)) return path;
  makeDailyFile(name);
  sqlite3* db = nullptr;
  sqlite3_open(path.toUtf8().constData(), &db);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO records(SERiNO,HAVA,PRES,EN,BOY,HAVA1,PRES1,EN1,BOY1,HAVA2,PRES2,EN2,BOY2,"
                     "HAVA3,PRES3,EN3,BOY3) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                     -1, &st, nullptr);
  for (int i = 0; i < count; ++i) {
    sqlite3_bind_text(st, 1, "T09122026K1405V", -1, SQLITE_STATIC);
    for (int f = 2; f <= 17; ++f) sqlite3_bind_double(st, f, i * 0.25 + f);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return path;
}

long rssKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

const char* const kValues[16] = {"2.5",  "1000", "12.25", "30", "2.75", "1010", "12.5", "30.5",
                                 "3",    "1020", "12.75", "31", "3.25", "1030", "13",   "31.5"};

void appendThroughDataset(Dataset& t) {
  t.append();
  t.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("T09122026K1405V"));
  for (int f = 0; f < 16; ++f)
    t.setFieldText(DailyFileFields()[static_cast<size_t>(f + 2)].name, QString::fromLatin1(kValues[f]));
  t.post();
}

struct BareInsert {
  sqlite3* db = nullptr;
  sqlite3_stmt* st = nullptr;
  explicit BareInsert(const QString& path) {
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO records(SERiNO,HAVA,PRES,EN,BOY,HAVA1,PRES1,EN1,BOY1,HAVA2,PRES2,EN2,BOY2,"
                       "HAVA3,PRES3,EN3,BOY3) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                       -1, &st, nullptr);
  }
  ~BareInsert() {
    sqlite3_finalize(st);
    sqlite3_close(db);
  }
  void run() {
    sqlite3_bind_text(st, 1, "T09122026K1405V", -1, SQLITE_STATIC);
    for (int f = 0; f < 16; ++f) sqlite3_bind_double(st, f + 2, std::atof(kValues[f]));
    if (sqlite3_step(st) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
    sqlite3_reset(st);
  }
};

void BM_DatasetAppend(benchmark::State& state) {
  Dataset t(QStringLiteral("Table1"));
  t.setFieldDefs(DailyFileFields());
  t.setTableName(makeDailyFile(QStringLiteral("append.tkv")));
  t.open();
  for (auto _ : state) appendThroughDataset(t);
}
BENCHMARK(BM_DatasetAppend)->Unit(benchmark::kMillisecond)->Iterations(300);

void BM_BareSqliteInsert(benchmark::State& state) {
  BareInsert bare(makeDailyFile(QStringLiteral("bare.tkv")));
  for (auto _ : state) bare.run();
}
BENCHMARK(BM_BareSqliteInsert)->Unit(benchmark::kMillisecond)->Iterations(300);

// Both kinds of insert, alternating, into two files of their own; the counter "ratio" is
// the dataset's total time over the bare inserts' total time.
void BM_AppendRatio(benchmark::State& state) {
  Dataset t(QStringLiteral("Table1"));
  t.setFieldDefs(DailyFileFields());
  t.setTableName(makeDailyFile(QStringLiteral("ratio-dataset.tkv")));
  t.open();
  BareInsert bare(makeDailyFile(QStringLiteral("ratio-bare.tkv")));
  using Clock = std::chrono::steady_clock;
  Clock::duration datasetTime{}, bareTime{};
  for (auto _ : state) {
    auto a = Clock::now();
    bare.run();
    auto b = Clock::now();
    appendThroughDataset(t);
    auto c = Clock::now();
    bareTime += b - a;
    datasetTime += c - b;
  }
  state.counters["ratio"] = double(datasetTime.count()) / double(bareTime.count());
  state.counters["dataset_ms"] = std::chrono::duration<double, std::milli>(datasetTime).count() / double(state.iterations());
  state.counters["bare_ms"] = std::chrono::duration<double, std::milli>(bareTime).count() / double(state.iterations());
}
BENCHMARK(BM_AppendRatio)->Unit(benchmark::kMillisecond)->Iterations(300);

// Opening a file until the model has given the first screen of rows.
void BM_OpenUntilFirstRows(benchmark::State& state) {
  const QString path = fileWithRecords(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Dataset t(QStringLiteral("Table1"));
    t.setRegional(RegionalSettings::turkish());
    t.setFieldDefs(DailyFileFields());
    t.setTableName(path);
    RecordTableModel model(t);
    t.open();
    for (int r = 0; r < std::min(30, model.rowCount()); ++r)
      for (int c = 0; c < 6; ++c) benchmark::DoNotOptimize(model.data(model.index(r, c)));
    benchmark::DoNotOptimize(model.rowCount());
  }
}
BENCHMARK(BM_OpenUntilFirstRows)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond);

// Resident memory after opening and showing the first rows, beyond what opening an
// empty file takes (counter "extra_MB"), with the view still open.
void BM_OpenMemory(benchmark::State& state) {
  const QString empty = fileWithRecords(0);
  const QString big = fileWithRecords(100000);
  double extra = 0;
  for (auto _ : state) {
    const auto measure = [](const QString& path) {
      const long before = rssKiB();
      Dataset t(QStringLiteral("Table1"));
      t.setFieldDefs(DailyFileFields());
      t.setTableName(path);
      RecordTableModel model(t);
      t.open();
      for (int r = 0; r < std::min(30, model.rowCount()); ++r)
        for (int c = 0; c < 18; ++c) benchmark::DoNotOptimize(model.data(model.index(r, c)));
      // Scroll to the end too: the cache stays small.
      for (int r = std::max(0, model.rowCount() - 30); r < model.rowCount(); ++r)
        benchmark::DoNotOptimize(model.data(model.index(r, 1)));
      return rssKiB() - before;
    };
    const long emptyKiB = measure(empty);
    const long bigKiB = measure(big);
    extra = double(bigKiB - emptyKiB) / 1024.0;
  }
  state.counters["extra_MB"] = extra;
}
BENCHMARK(BM_OpenMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
