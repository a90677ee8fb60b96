// Fuzz target: the reader of the previous program's daily files (Paradox tables) on any
// bytes. The reader takes a path, so the input goes to a scratch file first. A finding is
// a crash, a sanitizer report, or a partial read that breaks the reader's own promises
// (records as wide as the field list, problems listed for what was lost).
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "platform/error.h"
#include "platform/tablestore/legacy/paradox_table.h"

namespace {

const QString& scratchPath() {
  static const QString path = QStringLiteral("/tmp/velta-legacy-fuzz-%1.tkv").arg(::getpid());
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    QFile f(scratchPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  try {
    const velta::legacy::ParadoxTable table = velta::legacy::readParadoxTable(scratchPath());
    for (const auto& record : table.records)
      if (record.size() != table.fields.size()) std::abort();  // a record of another width is a wrong value
  } catch (const velta::Error& e) {
    if (!e.text().contains(scratchPath())) std::abort();  // every error names the file
  }
  return 0;
}
