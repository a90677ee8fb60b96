#include "platform/tablestore/dataset.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/tablestore/sqlite_handle.h"
#include "platform/tablestore/legacy/legacy_copy.h"
#include "platform/tablestore/legacy/paradox_table.h"
#include "platform/tablestore/table_file.h"

// The files of the store: names, creating a table file, the checks at opening, and
// moving a file aside.
namespace velta {

using tablestore::Db;
using tablestore::Stmt;

namespace {

const char* const kTable = tablestore::kRecordsTable;
using tablestore::quoted;
QByteArray columnType(const FieldDef& f) {
  switch (f.kind) {
    case FieldKind::Text: return "VARCHAR(" + QByteArray::number(f.size) + ")";
    case FieldKind::Float: return "DOUBLE";
    case FieldKind::Date: return "DATE";
    case FieldKind::Time: return "TIME";
    case FieldKind::AutoInc:
    case FieldKind::Integer: return "INTEGER";
  }
  return "BLOB";
}

// The kind of a stored column from its declared type; nullopt for a type this store
// never writes.
std::optional<FieldDef> fieldFromColumn(const QString& name, const QString& declared, bool primaryKey,
                                        bool autoIncrement) {
  const QString t = declared.trimmed().toUpper();
  if (t == u"DOUBLE") return FieldDef{name, FieldKind::Float, 0};
  if (t == u"DATE") return FieldDef{name, FieldKind::Date, 0};
  if (t == u"TIME") return FieldDef{name, FieldKind::Time, 0};
  if (t == u"INTEGER")
    return FieldDef{name, primaryKey && autoIncrement ? FieldKind::AutoInc : FieldKind::Integer, 0};
  if (t.startsWith(u"VARCHAR(") && t.endsWith(u')')) {
    bool ok = false;
    const int n = t.mid(8, t.size() - 9).toInt(&ok);
    if (ok && n > 0) return FieldDef{name, FieldKind::Text, n};
  }
  return std::nullopt;
}

void syncDirectory(const QString& dir) {
  const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

QString Dataset::filePath() const { return filePath(directory_, tableName_); }

QString Dataset::filePath(const QString& directory, const QString& tableName) {
  QString path = tableName;
  if (!QDir::isAbsolutePath(tableName)) {
    QString dir = directory.trimmed();
    if (dir.isEmpty()) dir = QStringLiteral(".");
    path = QDir::cleanPath(dir) + u'/' + tableName;
  }
  if (QFileInfo(tableName).suffix().isEmpty()) path += QStringLiteral(".db");
  return path;
}

bool Dataset::fileExists(const QString& hostPath) {
  const QFileInfo fi(hostPath);
  return fi.exists() && !fi.isDir();
}

bool Dataset::isOldProgramTable(const QString& hostPath) {
  QFile f(hostPath);
  if (!f.open(QIODevice::ReadOnly)) return false;
  return legacy::looksLikeParadox(f.read(100));
}

void Dataset::createTable(const QString& directory, const QString& tableName,
                          const std::vector<FieldDef>& fields, const std::optional<IndexDef>& primaryIndex) {
  const QString path = filePath(directory, tableName);
  const auto fail = [&path](const QString& why) {
    return Error(QStringLiteral("Cannot create table '%1': %2").arg(path, why));
  };
  if (fields.empty()) throw fail(QStringLiteral("no fields"));
  QStringList names;
  for (const FieldDef& f : fields) {
    if (f.name.isEmpty() || names.contains(f.name))
      throw fail(QStringLiteral("field name '%1' is empty or repeated").arg(f.name));
    if (f.kind == FieldKind::Text && f.size <= 0)
      throw fail(QStringLiteral("text field '%1' needs a maximum length").arg(f.name));
    names << f.name;
  }
  const int autoIncCount = static_cast<int>(
      std::count_if(fields.begin(), fields.end(), [](const FieldDef& f) { return f.kind == FieldKind::AutoInc; }));
  if (autoIncCount > 1) throw fail(QStringLiteral("more than one auto-increment field"));
  if (primaryIndex) {
    auto it = std::find_if(fields.begin(), fields.end(),
                           [&](const FieldDef& f) { return f.name == primaryIndex->field; });
    if (it == fields.end()) throw fail(QStringLiteral("index field '%1' not found").arg(primaryIndex->field));
    if (it->kind != FieldKind::AutoInc && it->kind != FieldKind::Integer)
      throw fail(QStringLiteral("the primary index must be over an integer field"));
    if (autoIncCount == 1 && it->kind != FieldKind::AutoInc)
      throw fail(QStringLiteral("the primary index must be over the auto-increment field"));
  }
  // Never replace a file: a data file holds records that cannot be made again.
  if (QFileInfo::exists(path)) throw fail(QStringLiteral("the file already exists"));
  const QString dir = QFileInfo(path).absolutePath();
  if (!QFileInfo(dir).isDir()) throw fail(QStringLiteral("the directory '%1' does not exist").arg(dir));

  QByteArray sql = QByteArray("CREATE TABLE ") + kTable + " (";
  for (size_t i = 0; i < fields.size(); ++i) {
    const FieldDef& f = fields[i];
    if (i) sql += ", ";
    sql += quoted(f.name) + ' ' + columnType(f);
    const bool indexed = primaryIndex && primaryIndex->field == f.name;
    if (indexed) sql += " CONSTRAINT " + quoted(primaryIndex->name) + " PRIMARY KEY";
    else if (f.kind == FieldKind::AutoInc) sql += " PRIMARY KEY";
    if (f.kind == FieldKind::AutoInc) sql += " AUTOINCREMENT";
  }
  sql += ")";

  // Build the table under a temporary name and give it its name only when complete, so
  // that a failure leaves no half-made file and an existing file is never replaced.
  QTemporaryFile tmp(dir + QStringLiteral("/.velta-create-XXXXXX"));
  if (!tmp.open()) throw fail(tmp.errorString());
  tmp.close();
  {
    Db db;
    db.open(tmp.fileName(), SQLITE_OPEN_READWRITE, QStringLiteral("create table"));
    db.exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;", QStringLiteral("create table"));
    db.exec(sql.constData(), QStringLiteral("create table"));
  }
  if (::link(QFile::encodeName(tmp.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
    const int err = errno;
    throw fail(err == EEXIST ? QStringLiteral("the file already exists") : QString::fromLocal8Bit(std::strerror(err)));
  }
  syncDirectory(dir);
}

void Dataset::renameFile(const QString& hostPath, const QString& newHostPath) {
  const QByteArray from = QFile::encodeName(hostPath);
  const QByteArray to = QFile::encodeName(newHostPath);
  // link() refuses an existing name, where rename() would replace it.
  if (::link(from.constData(), to.constData()) != 0 || ::unlink(from.constData()) != 0) {
    const int err = errno;
    throw Error(QStringLiteral("Cannot rename '%1' to '%2': %3")
                    .arg(hostPath, newHostPath,
                         err == EEXIST ? QStringLiteral("the new name is taken")
                                       : QString::fromLocal8Bit(std::strerror(err))));
  }
  syncDirectory(QFileInfo(hostPath).absolutePath());
}

void Dataset::validateFile(const QString& path) {
  const auto fail = [&path](const QString& why) {
    return Error(QStringLiteral("Cannot open '%1': %2").arg(path, why));
  };
  const auto foreign = [&path](const QString& why) {
    return ForeignFileError(QStringLiteral("Cannot open '%1': %2").arg(path, why));
  };
  const QFileInfo fi(path);
  if (!fi.exists()) throw fail(QStringLiteral("the file does not exist"));
  if (!fi.isFile()) throw fail(QStringLiteral("not a file"));
  QByteArray head;
  {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throw fail(f.errorString());
    head = f.read(100);
    if (head.isEmpty() && f.error() != QFileDevice::NoError) throw fail(f.errorString());
  }
  if (head.isEmpty()) throw foreign(QStringLiteral("the file is empty; it holds no table"));
  QString tablePath = path;
  if (!head.startsWith(QByteArray("SQLite format 3\0", 16))) {
    if (!legacy::looksLikeParadox(head)) throw foreign(QStringLiteral("it is not a data file of this station"));
    // The previous program's table: read whole into a scratch table file of ours, which
    // the view (and its snapshots) then read; the table itself is never written.
    auto scratch = std::make_unique<QTemporaryDir>();
    if (!scratch->isValid()) throw fail(QStringLiteral("no scratch folder for reading it: %1").arg(scratch->errorString()));
    const QString copy = scratch->filePath(QStringLiteral("copy.db"));
    legacy::LegacyCopy read;
    try {
      read = legacy::CopyLegacyTable(path, copy, declared_, std::nullopt, false);
    } catch (const ForeignFileError& e) {
      throw e.text().startsWith(QStringLiteral("Cannot ")) ? e : ForeignFileError(viewError(e.text()).text());
    }
    scratch_ = std::move(scratch);
    readOnly_ = true;
    readProblems_ = read.problems;
    tablePath = copy;
  }

  // Read-write without create: nothing is written until the checks below have passed.
  auto db = std::make_unique<Db>();
  db->open(tablePath, SQLITE_OPEN_READWRITE, QStringLiteral("open"));
  sqlite3_busy_timeout(db->get(), lockWaitMs_);
  QString tableSql;
  bool found = false;
  try {
    Stmt st(*db, QByteArray("SELECT sql FROM sqlite_master WHERE type='table' AND name='") + kTable + "'",
            QStringLiteral("open"));
    found = st.step();
    if (found) tableSql = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
  } catch (const Error& e) {
    // The first read of the schema is where a file with a table file's first bytes
    // but other content shows itself.
    if (sqlite3_errcode(db->get()) == SQLITE_NOTADB) throw ForeignFileError(e.text());
    throw;
  }
  if (!found) throw foreign(QStringLiteral("it holds no table of records"));
  const bool autoIncrement = tableSql.contains(QStringLiteral("AUTOINCREMENT"), Qt::CaseInsensitive);
  std::vector<FieldDef> fileFields;
  std::vector<bool> known;
  std::vector<QString> declaredTypes;
  {
    Stmt st(*db, QByteArray("PRAGMA table_info(") + kTable + ")", QStringLiteral("open"));
    while (st.step()) {
      const QString colName = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1)));
      const QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 2)));
      const bool pk = sqlite3_column_int(st.get(), 5) != 0;
      const auto f = fieldFromColumn(colName, type, pk, autoIncrement);
      fileFields.push_back(f ? *f : FieldDef{colName, FieldKind::Text, 0});
      known.push_back(f.has_value());
      declaredTypes.push_back(type);
    }
  }

  std::vector<FieldDef> viewFields = declared_;
  std::vector<int> columnOf;
  if (viewFields.empty()) {
    for (size_t i = 0; i < fileFields.size(); ++i) {
      if (!known[i])
        throw foreign(QStringLiteral("field '%1' has a kind this station does not know (%2)")
                       .arg(fileFields[i].name, declaredTypes[i]));
      columnOf.push_back(static_cast<int>(i));
    }
    viewFields = fileFields;
  } else {
    for (const FieldDef& d : viewFields) {
      auto it = std::find_if(fileFields.begin(), fileFields.end(), [&](const FieldDef& f) { return f.name == d.name; });
      if (it == fileFields.end())
        throw ForeignFileError(viewError(QStringLiteral("Field '%1' not found in '%2'").arg(d.name, path)).text());
      const size_t c = static_cast<size_t>(it - fileFields.begin());
      const bool kindOk = known[c] && (it->kind == d.kind || (d.kind == FieldKind::Integer && it->kind == FieldKind::AutoInc));
      if (!kindOk)
        throw ForeignFileError(viewError(QStringLiteral("Type mismatch for field '%1' in '%2', expecting: %3 actual: %4")
                            .arg(d.name, path, fieldKindName(d.kind),
                                 known[c] ? fieldKindName(it->kind) : declaredTypes[c])).text());
      if (d.kind == FieldKind::Text && it->size != d.size)
        throw ForeignFileError(viewError(QStringLiteral("Size mismatch for field '%1' in '%2', expecting: %3 actual: %4")
                            .arg(d.name, path)
                            .arg(d.size)
                            .arg(it->size)).text());
      columnOf.push_back(static_cast<int>(c));
    }
  }

  // The file is ours: make every commit durable. The page cache is kept small: a station
  // appends and shows a few pages, the system's file cache holds the rest, and a station
  // that runs for months must not grow with its day's file.
  db->exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=-512;", QStringLiteral("open"));

  fields_ = std::move(viewFields);
  columnOf_ = std::move(columnOf);
  fileColumns_.clear();
  for (const FieldDef& f : fileFields) fileColumns_.push_back(f.name);
  autoIncField_ = -1;
  for (size_t i = 0; i < fields_.size(); ++i)
    if (fileFields[static_cast<size_t>(columnOf_[i])].kind == FieldKind::AutoInc) autoIncField_ = static_cast<int>(i);
  db_ = std::move(db);
  openPath_ = tablePath;
}


}  // namespace velta
