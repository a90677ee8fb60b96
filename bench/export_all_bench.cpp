// The all-records export of 100,000 records through the station's spreadsheet
// application, against libxlsxwriter writing the same cells directly, in the same run:
// - ExportAll100k: generated field texts; the direct writer starts from the same texts
//   (number recognition included).
// - ExportAllDataset100k: a real daily data file open in a Dataset (Table1), read by
//   DatasetRecordSource; the direct writer writes the same values as number and text
//   cells from memory (no file, no texts).
// peak_MB is the process's peak resident memory during the benchmark (reset before it
// starts).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <string>
#include <xlsxwriter.h>

#include <sqlite3.h>

#include "output/dataset_record_source.h"
#include "output/export_all.h"
#include "records/daily_file.h"
#include "platform/number_text.h"
#include "platform/spreadsheet/spreadsheet_application.h"

namespace velta {
namespace {

constexpr int kRecords = 100000;

const QStringList& fieldNames() {
  static const QStringList names = {"SIRANO", "SERiNO", "HAVA", "PRES", "EN", "BOY", "HAVA1", "PRES1", "EN1",
                                    "BOY1", "HAVA2", "PRES2", "EN2", "BOY2", "HAVA3", "PRES3", "EN3", "BOY3"};
  return names;
}

// The texts of record r (1-based), as the table gives them under Turkish settings.
void recordTexts(int r, QStringList& t) {
  static const QStringList values = [] {
    QStringList v;
    for (int i = 0; i < 97; ++i) v << QString::number(0.37 * i + 1.5, 'g', 6).replace(u'.', u',');
    v << QString() << QStringLiteral("1E-5") << QStringLiteral("0");
    return v;
  }();
  t.clear();
  t << QString::number(r) << QStringLiteral("T09032026K1405V");
  for (int f = 0; f < 16; ++f) t << values[(r * 7 + f) % values.size()];
}

// Streams generated records: nothing is held but the current one.
class GeneratedRecords : public RecordSource {
 public:
  QString tableName() const override { return QStringLiteral("T09032026K.tkv"); }
  QStringList fieldNames() const override { return velta::fieldNames(); }
  std::unique_ptr<RecordWalk> snapshot() override {
    struct Walk : RecordWalk {
      int r = 0;
      qint64 count() const override { return kRecords; }
      bool next(QStringList& t) override {
        if (r == kRecords) return false;
        recordTexts(++r, t);
        return true;
      }
    };
    return std::make_unique<Walk>();
  }
};

class NoDialogs : public OperatorDialogs {
 public:
  void showMessage(const QString&, const QString&) override {}
  void showError(const QString&, const QString& text) override { qFatal("%s", qPrintable(text)); }
  bool askYesNo(const QString&, const QString&) override { return false; }
  bool askOkCancel(const QString&, const QString&) override { return false; }
  std::optional<QString> chooseFile(const OpenFileRequest&) override { return std::nullopt; }
};

class DeletingOpener : public DesktopOpener {
 public:
  void open(const QString& path) override { QFile::remove(path); }
};

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double peakMegabytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

void BM_ExportAll100k(benchmark::State& state) {
  QTemporaryDir root;
  NoDialogs dialogs;
  DeletingOpener opener;
  ObjectRegistry registry;
  registerSpreadsheetApplication(registry, {dialogs, opener, RegionalSettings::turkish(),
                                            unsavedWorkbooksFolder(root.path()), QStringLiteral("VELTA")});
  SpreadsheetConnection connection(registry);
  GeneratedRecords records;
  SilentProgress progress;
  resetPeak();
  for (auto _ : state) SpeedButton4Click(connection, records, progress);
  state.counters["peak_MB"] = peakMegabytes();
  state.counters["records"] = kRecords;
}

void BM_DirectLibxlsxwriter100k(benchmark::State& state) {
  QTemporaryDir root;
  const QByteArray path = QDir(root.path()).filePath(QStringLiteral("direct.xlsx")).toUtf8();
  const QChar sep = RegionalSettings::turkish().decimalSeparator;
  resetPeak();
  for (auto _ : state) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path.constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    auto put = [&](lxw_row_t row, lxw_col_t col, const QString& text) {
      if (auto n = NumberFromText(text, sep)) worksheet_write_number(sheet, row, col, *n, nullptr);
      else if (!text.isEmpty()) worksheet_write_string(sheet, row, col, text.toUtf8().constData(), nullptr);
    };
    for (int c = 0; c < fieldNames().size(); ++c) put(0, static_cast<lxw_col_t>(c), fieldNames()[c]);
    QStringList t;
    for (int r = 1; r <= kRecords; ++r) {
      recordTexts(r, t);
      for (int c = 0; c < t.size(); ++c) put(static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), t[c]);
    }
    lxw_doc_properties props{};
    char title[] = "T09032026K.tkv";
    props.title = title;
    workbook_set_properties(book, &props);
    if (workbook_close(book) != LXW_NO_ERROR) state.SkipWithError("workbook_close failed");
  }
  state.counters["peak_MB"] = peakMegabytes();
  state.counters["records"] = kRecords;
}

// The values of record r (1-based), field f of HAVA .. BOY3 (0 .. 15) in the real file:
// measured-looking numbers, some tiny ones, some fields without a value.
std::optional<double> fileValue(int r, int f) {
  const int k = (r * 7 + f) % 101;
  if (k == 100) return std::nullopt;
  if (k == 99) return 1e-5;
  return 0.37 * k + 1.5;
}

// A daily data file of kRecords records, made once per run (one transaction).
QString dailyFile(const QString& dir) {
  Dataset::createTable(dir, QStringLiteral("T09032026K.tkv"), DailyFileFields(), DailyFileIndex());
  const QString path = QDir(dir).filePath(QStringLiteral("T09032026K.tkv"));
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  QByteArray sql = "INSERT INTO records (SERiNO";
  for (size_t i = 2; i < DailyFileFields().size(); ++i) sql += ", " + DailyFileFields()[i].name.toUtf8();
  sql += ") VALUES (?" + QByteArray(", ?").repeated(16) + ")";
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
  for (int r = 1; r <= kRecords; ++r) {
    sqlite3_bind_text(st, 1, "T09032026K1405V", -1, SQLITE_STATIC);
    for (int f = 0; f < 16; ++f) {
      if (auto v = fileValue(r, f)) sqlite3_bind_double(st, f + 2, *v);
      else sqlite3_bind_null(st, f + 2);
    }
    if (sqlite3_step(st) != SQLITE_DONE) qFatal("cannot fill %s", qPrintable(path));
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) qFatal("cannot fill %s", qPrintable(path));
  sqlite3_close(db);
  return path;
}

// Table1 open on a filled daily data file in folder, as the station holds it.
void openDailyFile(Dataset& table1, const QString& folder) {
  dailyFile(folder);
  table1.setRegional(RegionalSettings::turkish());
  table1.setFieldDefs(DailyFileFields());
  table1.setDirectory(folder);
  table1.setTableName(QStringLiteral("T09032026K.tkv"));
  table1.open();
}

void BM_ExportAllDataset100k(benchmark::State& state) {
  QTemporaryDir root;
  Dataset table1(QStringLiteral("Table1"));
  openDailyFile(table1, root.path());
  NoDialogs dialogs;
  DeletingOpener opener;
  ObjectRegistry registry;
  registerSpreadsheetApplication(registry, {dialogs, opener, RegionalSettings::turkish(),
                                            unsavedWorkbooksFolder(root.path()), QStringLiteral("VELTA")});
  SpreadsheetConnection connection(registry);
  DatasetRecordSource records(table1);
  SilentProgress progress;
  resetPeak();
  for (auto _ : state) SpeedButton4Click(connection, records, progress);
  state.counters["peak_MB"] = peakMegabytes();
  state.counters["records"] = table1.recordCount();
}

// The share of the export that reads the file: the walk alone, texts made, no cells.
void BM_DatasetWalk100k(benchmark::State& state) {
  QTemporaryDir root;
  Dataset table1(QStringLiteral("Table1"));
  openDailyFile(table1, root.path());
  DatasetRecordSource records(table1);
  qint64 chars = 0;
  for (auto _ : state) {
    const auto walk = records.snapshot();
    QStringList texts;
    while (walk->next(texts))
      for (const QString& t : texts) chars += t.size();
  }
  benchmark::DoNotOptimize(chars);
}

void BM_DirectLibxlsxwriterDataset100k(benchmark::State& state) {
  QTemporaryDir root;
  const QByteArray path = QDir(root.path()).filePath(QStringLiteral("direct.xlsx")).toUtf8();
  resetPeak();
  for (auto _ : state) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path.constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    for (int c = 0; c < fieldNames().size(); ++c)
      worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), fieldNames()[c].toUtf8().constData(), nullptr);
    for (int r = 1; r <= kRecords; ++r) {
      const auto row = static_cast<lxw_row_t>(r);
      worksheet_write_number(sheet, row, 0, r, nullptr);
      worksheet_write_string(sheet, row, 1, "T09032026K1405V", nullptr);
      for (int f = 0; f < 16; ++f)
        if (auto v = fileValue(r, f)) worksheet_write_number(sheet, row, static_cast<lxw_col_t>(f + 2), *v, nullptr);
    }
    lxw_doc_properties props{};
    char title[] = "T09032026K.tkv";
    props.title = title;
    workbook_set_properties(book, &props);
    if (workbook_close(book) != LXW_NO_ERROR) state.SkipWithError("workbook_close failed");
  }
  state.counters["peak_MB"] = peakMegabytes();
  state.counters["records"] = kRecords;
}

BENCHMARK(BM_ExportAll100k)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DirectLibxlsxwriter100k)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportAllDataset100k)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DirectLibxlsxwriterDataset100k)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DatasetWalk100k)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace velta
