#include "platform/tablestore/legacy/legacy_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "platform/error.h"
#include "platform/tablestore/dataset.h"
#include "platform/tablestore/legacy/paradox_table.h"
#include "platform/tablestore/sqlite_handle.h"
#include "platform/tablestore/table_file.h"

namespace velta::legacy {

namespace {

using tablestore::Db;
using tablestore::Stmt;

std::optional<FieldKind> storeKind(ParadoxKind k) {
  switch (k) {
    case ParadoxKind::Alpha: return FieldKind::Text;
    case ParadoxKind::Number: return FieldKind::Float;
    case ParadoxKind::Short:
    case ParadoxKind::Long: return FieldKind::Integer;
    case ParadoxKind::AutoInc: return FieldKind::AutoInc;
    case ParadoxKind::Date: return FieldKind::Date;
    case ParadoxKind::Time: return FieldKind::Time;
    case ParadoxKind::Logical:
    case ParadoxKind::Other: break;
  }
  return std::nullopt;
}

QString paradoxKindName(const ParadoxField& f) {
  if (const auto k = storeKind(f.kind)) return fieldKindName(*k);
  return QStringLiteral("Paradox type %1").arg(f.pxType);
}

// The column of the source that each wanted field reads, checked as opening checks.
std::vector<int> matchFields(const ParadoxTable& table, std::vector<FieldDef>& wanted, const QString& path) {
  std::vector<int> column;
  if (wanted.empty()) {
    for (size_t i = 0; i < table.fields.size(); ++i) {
      const ParadoxField& f = table.fields[i];
      const auto kind = storeKind(f.kind);
      if (!kind)
        throw ForeignFileError(QStringLiteral("Cannot open '%1': field '%2' has a kind this station does not know (%3)")
                                   .arg(path, f.name, paradoxKindName(f)));
      // Taken as the copy's own fields, a name must be usable as one; else the error
      // would name the scratch copy instead of the file the operator opened.
      const bool repeated = std::any_of(wanted.begin(), wanted.end(),
                                        [&](const FieldDef& w) { return w.name.compare(f.name, Qt::CaseInsensitive) == 0; });
      if (f.name.trimmed().isEmpty() || repeated)
        throw ForeignFileError(QStringLiteral("Cannot open '%1': field name '%2' is empty or repeated").arg(path, f.name));
      if (*kind == FieldKind::Text && f.size <= 0)
        throw ForeignFileError(QStringLiteral("Cannot open '%1': text field '%2' has no length").arg(path, f.name));
      wanted.push_back({f.name, *kind, *kind == FieldKind::Text ? f.size : 0});
      column.push_back(static_cast<int>(i));
    }
    return column;
  }
  for (const FieldDef& d : wanted) {
    const auto it = std::find_if(table.fields.begin(), table.fields.end(),
                                 [&](const ParadoxField& f) { return f.name == d.name; });
    if (it == table.fields.end())
      throw ForeignFileError(QStringLiteral("Field '%1' not found in '%2'").arg(d.name, path));
    const auto kind = storeKind(it->kind);
    const bool kindOk = kind && (*kind == d.kind || (d.kind == FieldKind::Integer && *kind == FieldKind::AutoInc));
    if (!kindOk)
      throw ForeignFileError(QStringLiteral("Type mismatch for field '%1' in '%2', expecting: %3 actual: %4")
                                 .arg(d.name, path, fieldKindName(d.kind), paradoxKindName(*it)));
    if (d.kind == FieldKind::Text && it->size != d.size)
      throw ForeignFileError(QStringLiteral("Size mismatch for field '%1' in '%2', expecting: %3 actual: %4")
                                 .arg(d.name, path)
                                 .arg(d.size)
                                 .arg(it->size));
    column.push_back(static_cast<int>(it - table.fields.begin()));
  }
  return column;
}

}  // namespace

LegacyCopy CopyLegacyTable(const QString& sourcePath, const QString& destPath, const std::vector<FieldDef>& fields,
                           const std::optional<IndexDef>& primaryIndex, bool durable) {
  ParadoxTable table = readParadoxTable(sourcePath);
  std::vector<FieldDef> wanted = fields;
  const std::vector<int> column = matchFields(table, wanted, sourcePath);
  LegacyCopy result;
  result.problems = table.problems;

  // Browsing order is the auto-increment field's: the blocks may hold records in any order.
  const auto autoInc = std::find_if(wanted.begin(), wanted.end(), [](const FieldDef& f) { return f.kind == FieldKind::AutoInc; });
  if (autoInc != wanted.end()) {
    const int key = column[static_cast<size_t>(autoInc - wanted.begin())];
    std::map<qlonglong, size_t> byKey;
    for (size_t r = 0; r < table.records.size(); ++r) {
      const QVariant& k = table.records[r][static_cast<size_t>(key)];
      if (!k.isValid()) {
        result.problems << QStringLiteral("record %1 in block order has no %2 and is left out").arg(r + 1).arg(autoInc->name);
        continue;
      }
      if (!byKey.emplace(k.toLongLong(), r).second)
        result.problems << QStringLiteral("%1 %2 is held twice; the second record is left out").arg(autoInc->name).arg(k.toLongLong());
    }
    std::vector<std::vector<QVariant>> ordered;
    ordered.reserve(byKey.size());
    for (const auto& [k, r] : byKey) ordered.push_back(std::move(table.records[r]));
    table.records = std::move(ordered);
  }

  const QFileInfo dest(destPath);
  const QString dir = dest.absolutePath();
  if (dest.exists()) throw Error(QStringLiteral("Cannot create table '%1': the file already exists").arg(destPath));
  const QString tmpName = QStringLiteral(".velta-legacy-%1.tmp").arg(QUuid::createUuid().toString(QUuid::Id128));
  Dataset::createTable(dir, tmpName, wanted, primaryIndex);
  const QString tmpPath = QDir(dir).filePath(tmpName);
  try {
    {
      Db db;
      db.open(tmpPath, SQLITE_OPEN_READWRITE, QStringLiteral("convert into"));
      db.exec(durable ? "PRAGMA synchronous=FULL;" : "PRAGMA synchronous=OFF; PRAGMA journal_mode=OFF;",
              QStringLiteral("convert into"));
      QByteArray sql = QByteArray("INSERT INTO ") + tablestore::kRecordsTable + " (";
      QByteArray params;
      for (size_t i = 0; i < wanted.size(); ++i) {
        sql += (i ? ", " : "") + tablestore::quoted(wanted[i].name);
        params += i ? ", ?" : "?";
      }
      sql += ") VALUES (" + params + ")";
      db.exec("BEGIN", QStringLiteral("convert into"));
      Stmt st(db, sql, QStringLiteral("convert into"));
      for (const auto& record : table.records) {
        st.reset();
        for (size_t i = 0; i < wanted.size(); ++i)
          tablestore::bindValue(st.get(), static_cast<int>(i) + 1, record[static_cast<size_t>(column[i])], wanted[i].kind);
        st.step();
        ++result.records;
      }
      db.exec("COMMIT", QStringLiteral("convert into"));
    }
    if (::link(QFile::encodeName(tmpPath).constData(), QFile::encodeName(destPath).constData()) != 0) {
      const int err = errno;
      throw Error(QStringLiteral("Cannot create table '%1': %2")
                      .arg(destPath, err == EEXIST ? QStringLiteral("the file already exists")
                                                   : QString::fromLocal8Bit(std::strerror(err))));
    }
  } catch (...) {
    QFile::remove(tmpPath);
    throw;
  }
  QFile::remove(tmpPath);
  if (durable) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
      ::fsync(fd);
      ::close(fd);
    }
  }
  return result;
}

}  // namespace velta::legacy
