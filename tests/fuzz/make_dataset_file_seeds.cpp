// Writes the seed corpus of dataset_file_fuzz: day files as the station writes them
// (0, 1 and 20 records, values with and without decimals, empty fields) and a file of
// another table, into the folder given. Run it when the file format changes:
//   build/tests/fuzz/make_dataset_file_seeds tests/fuzz/corpus/dataset_file
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

#include "platform/tablestore/dataset.h"
#include "records/daily_file.h"

using namespace velta;

namespace {

void dayFile(const QString& dir, const QString& name, int records) {
  Dataset::createTable(dir, name, DailyFileFields(), DailyFileIndex());
  Dataset ds(QStringLiteral("Table1"));
  ds.setRegional(RegionalSettings::turkish());
  ds.setFieldDefs(DailyFileFields());
  ds.setDirectory(dir);
  ds.setTableName(name);
  ds.open();
  for (int i = 0; i < records; ++i) {
    ds.append();
    ds.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("2026-%1").arg(i, 4, 10, QChar(u'0')));
    int k = 0;
    for (const FieldDef& f : DailyFileFields()) {
      if (f.kind != FieldKind::Float) continue;
      if ((i + k) % 7 != 3)  // some fields of a piece stay empty (a phase not run)
        ds.setFieldText(f.name, QString::number(0.125 * (i + 1) * (k + 1) - 3, 'f', 3).replace(u'.', u','));
      ++k;
    }
    ds.post();
  }
  ds.close();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_dataset_file_seeds <folder>\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  try {
    dayFile(dir, QStringLiteral("daily-0.tkv"), 0);
    dayFile(dir, QStringLiteral("daily-1.tkv"), 1);
    dayFile(dir, QStringLiteral("daily-20.tkv"), 20);
    Dataset::createTable(dir, QStringLiteral("other-fields.tkv"),
                         {{QStringLiteral("NO"), FieldKind::AutoInc, 0},
                          {QStringLiteral("AD"), FieldKind::Text, 30},
                          {QStringLiteral("TARIH"), FieldKind::Date, 0},
                          {QStringLiteral("SAAT"), FieldKind::Time, 0}},
                         IndexDef{QStringLiteral("noindex"), QStringLiteral("NO")});
  } catch (const Error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
