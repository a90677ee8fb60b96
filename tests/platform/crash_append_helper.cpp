// Test helper: appends records to the table file given as the first argument until
// killed, writing each posted record's SIRANO to stdout (one line each, flushed) only
// after the post has returned.
#include <cstdio>

#include "platform/tablestore/dataset.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  velta::Dataset table(QStringLiteral("Table1"));
  table.setTableName(QString::fromLocal8Bit(argv[1]));
  try {
    table.open();
    for (long n = 0;; ++n) {
      table.append();
      table.setFieldText(QStringLiteral("SERiNO"), QStringLiteral("P%1").arg(n));
      table.setFieldText(QStringLiteral("HAVA"), QString::number(n));
      table.post();
      std::printf("%s\n", table.fieldText(QStringLiteral("SIRANO")).toUtf8().constData());
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
