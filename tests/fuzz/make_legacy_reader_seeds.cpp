// Writes the legacy reader's seed corpus with pxlib's own writer: small daily tables
// (a few records, 1 KiB blocks, gaps, empty fields, Turkish text) and one damaged copy.
//   make_legacy_reader_seeds FOLDER
#include <QDir>
#include <QFile>
#include <cstdio>

#include "tests/platform/legacy/paradox_fixture.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_legacy_reader_seeds FOLDER\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  using namespace velta::test;
  for (const int rows : {0, 3, 12}) {
    FixtureTable t;
    t.fields = dailyFields();
    t.rows = dailyRows(rows);
    t.blockKiB = 1;
    if (rows == 12) t.deletions = {2, 5};
    writeParadox(out.filePath(QStringLiteral("daily-%1.tkv").arg(rows)), t);
  }
  QFile whole(out.filePath(QStringLiteral("daily-12.tkv")));
  if (!whole.open(QIODevice::ReadOnly)) return 1;
  QByteArray cut = whole.readAll();
  cut.truncate(cut.size() - 700);  // the last block cut short, as an old disk leaves it
  QFile damaged(out.filePath(QStringLiteral("daily-12-cut.tkv")));
  if (!damaged.open(QIODevice::WriteOnly)) return 1;
  damaged.write(cut);
  return 0;
}
