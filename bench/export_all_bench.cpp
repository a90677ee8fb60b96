// The all-records export of 100,000 records through the station's spreadsheet
// application, against libxlsxwriter writing the same cells straight from the same
// field texts (number recognition included) in the same run. peak_MB is the
// process's peak resident memory during the benchmark (reset before it starts).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <string>
#include <xlsxwriter.h>

#include "output/export_all.h"
#include "records/number_text.h"
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

BENCHMARK(BM_ExportAll100k)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DirectLibxlsxwriter100k)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace velta

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
