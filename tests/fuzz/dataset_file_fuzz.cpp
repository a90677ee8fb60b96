// Fuzz target: opening arbitrary bytes as a day's data file (T09122026K.tkv) the way the
// station does (the daily fields declared), and once more taking the file's own fields,
// then reading every record's values and texts. Properties:
//   - a refusal is a velta::Error naming the file, and the file is left byte for byte
//     as it was (a file that fails the checks at opening is never written to);
//   - an opened view has the declared fields and as many records as it says, each as
//     wide as the field list; a value is of its field's kind.
// The file sits in a scratch folder of its own, made afresh for every input.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QVariant>

#include "platform/error.h"
#include "platform/tablestore/dataset.h"
#include "records/daily_file.h"
#include "tests/fuzz/fuzz_input.h"

namespace velta {
namespace {

using fuzz::broken;

const QString kTable = QStringLiteral("T09122026K.tkv");

bool kindFits(FieldKind kind, const QVariant& v) {
  if (!v.isValid()) return true;
  switch (kind) {
    case FieldKind::Text: return v.typeId() == QMetaType::QString;
    case FieldKind::Float: return v.typeId() == QMetaType::Double;
    case FieldKind::Date: return v.typeId() == QMetaType::QDate;
    case FieldKind::Time: return v.typeId() == QMetaType::QTime;
    case FieldKind::AutoInc:
    case FieldKind::Integer: return v.typeId() == QMetaType::LongLong;
  }
  return false;
}

void openAndRead(const QString& dir, const QByteArray& bytes, bool declared) {
  const QString path = Dataset::filePath(dir, kTable);
  Dataset ds(QStringLiteral("Table1"));
  ds.setRegional(RegionalSettings::turkish());
  if (declared) ds.setFieldDefs(DailyFileFields());
  ds.setDirectory(dir);
  ds.setTableName(kTable);
  try {
    ds.open();
  } catch (const Error& e) {
    if (!e.text().contains(kTable)) broken("refusal does not name the file", e.text());
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.readAll() != bytes) broken("a refused file was changed");
    return;
  }
  if (declared && ds.fieldCount() != static_cast<int>(DailyFileFields().size()))
    broken("opened with other fields than declared");
  try {
    const int n = ds.recordCount();
    for (int i = 0; i < n; ++i) {
      const auto row = ds.recordAt(i);
      if (static_cast<int>(row.size()) != ds.fieldCount()) broken("record not as wide as the fields");
      for (int f = 0; f < ds.fieldCount(); ++f) {
        if (!kindFits(ds.field(f).kind, row[static_cast<size_t>(f)])) broken("value not of its field's kind");
        ds.valueText(f, row[static_cast<size_t>(f)]);
      }
    }
    for (ds.first(); !ds.eof(); ds.next())
      for (int f = 0; f < ds.fieldCount(); ++f) ds.fieldText(ds.field(f).name);
  } catch (const Error&) {
    // A file damaged past its header may fail a later read; that is an Error, not a crash.
  }
  ds.close();
}

}  // namespace
}  // namespace velta

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velta;
  static int argc = 1;
  static char name[] = "dataset_file_fuzz";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
  (void)app;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  for (bool declared : {true, false}) {
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/velta-dataset-fuzz-XXXXXX"));
    if (!dir.isValid()) return 0;
    {
      QFile f(Dataset::filePath(dir.path(), kTable));
      if (!f.open(QIODevice::WriteOnly)) return 0;
      f.write(bytes);
    }
    Dataset::isOldProgramTable(Dataset::filePath(dir.path(), kTable));
    openAndRead(dir.path(), bytes, declared);
  }
  return 0;
}
