#include "output/export_all.h"

#include <algorithm>

#include "platform/error.h"

namespace velta {

namespace {

// How often the progress box hears of the walk; often enough to look live, rare
// enough to cost nothing next to the cells.
constexpr qint64 kProgressEvery = 1000;

// Runs a clean-up on every way out of a scope.
template <class F>
class Finally {
 public:
  explicit Finally(F f) : f_(std::move(f)) {}
  ~Finally() { f_(); }
  Finally(const Finally&) = delete;

 private:
  F f_;
};

}  // namespace

QString exportWindowCaption(const QString& tableName) { return tableName.right(14); }

QString exportLeftOutText(const ExportAllResult& result) {
  if (result.leftOut == 0) return {};
  return QStringLiteral("ÇALIŞMA SAYFASI DOLDU\n\nBir çalışma sayfası başlık satırıyla birlikte en fazla %1 satır "
                        "alır. Dosyanın %2 kaydından ilk %3 kayıt aktarıldı; son %4 kayıt (%5. kayıttan "
                        "itibaren) çalışma kitabında yok.")
      .arg(kSheetLastRow)
      .arg(result.exported + result.leftOut)
      .arg(result.exported)
      .arg(result.leftOut)
      .arg(result.exported + 1);
}

ExportAllResult SpeedButton4Click(SpreadsheetConnection& ExcelApplication1, RecordSource& Table1,
                                  ProgressReporter& progress) {
  SpreadsheetApplication& excel = ExcelApplication1.application();
  // Whatever happens below, the workbook made here goes to the operator.
  Finally handOver([&excel] { excel.HandOverWorkbooks(); });

  excel.putVisible(true);
  excel.Workbooks()->Add(1);
  excel.ActiveWindow()->putCaption(exportWindowCaption(Table1.tableName()));

  const QStringList fields = Table1.fieldNames();
  {
    auto cell = excel.ActiveCell();
    for (const QString& name : fields) {
      cell->putValue2(name);
      cell = cell->Next();
    }
  }

  const std::unique_ptr<RecordWalk> walk = Table1.snapshot();
  const qint64 total = walk->count();
  progress.begin(QStringLiteral("Kayıtlar aktarılıyor (%1 kayıt)").arg(total), total);
  Finally endProgress([&progress] { progress.end(); });

  QStringList texts;
  qint64 n = 2;
  for (; n <= kSheetLastRow && walk->next(texts); ++n) {
    if (texts.size() != fields.size())
      throw Error(QStringLiteral("Kayıt %1: %2 alan bekleniyordu, %3 geldi").arg(n - 1).arg(fields.size()).arg(texts.size()));
    const QString name = QStringLiteral("A%1").arg(n);
    auto cell = excel.Range(name, name);
    for (const QString& text : texts) {
      cell->putValue2(text);
      cell = cell->Next();
    }
    if ((n - 1) % kProgressEvery == 0) progress.advance(n - 1);
  }
  progress.advance(n - 2);
  ExportAllResult result;
  result.exported = n - 2;
  result.leftOut = std::max<qint64>(0, total - result.exported);
  return result;
}

}  // namespace velta
