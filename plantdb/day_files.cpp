#include "plantdb/day_files.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "platform/tablestore/legacy/paradox_table.h"

namespace velta::plantdb {

namespace {

const char* const kValueFields[16] = {"HAVA",  "PRES",  "EN",  "BOY",  "HAVA1", "PRES1", "EN1", "BOY1",
                                      "HAVA2", "PRES2", "EN2", "BOY2", "HAVA3", "PRES3", "EN3", "BOY3"};

bool isBusy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

// One brief read-only look at a station file.
class ReadOnlyFile {
 public:
  ReadOnlyFile(const DayFile& file, int lockWaitMs) : file_(file) {
    // Without this check SQLite would take a Paradox table or another file for an empty database.
    QFile f(file.path);
    if (!f.open(QIODevice::ReadOnly)) throw Error(QStringLiteral("%1: %2").arg(file.path, f.errorString()));
    if (!f.read(16).startsWith(QByteArray("SQLite format 3\0", 16)))
      throw Error(QStringLiteral("%1: not a data file of this station").arg(file.path));
    const int rc = sqlite3_open_v2(QFile::encodeName(file.path).constData(), &db_, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) fail(rc);
    sqlite3_busy_timeout(db_, lockWaitMs);
  }
  ~ReadOnlyFile() {
    if (st_) sqlite3_finalize(st_);
    sqlite3_close(db_);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  [[noreturn]] void fail(int rc) {
    const QString why = QString::fromUtf8(db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
    if (isBusy(rc)) throw FileBusy(QStringLiteral("%1: %2").arg(file_.path, why));
    throw Error(QStringLiteral("%1: %2").arg(file_.path, why));
  }
  void prepare(const QByteArray& sql) {
    const int rc = sqlite3_prepare_v2(db_, sql.constData(), int(sql.size()), &st_, nullptr);
    if (rc != SQLITE_OK) fail(rc);
  }
  bool step() {
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail(rc);
  }
  sqlite3_stmt* st() const { return st_; }

 private:
  const DayFile& file_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* st_ = nullptr;
};

QByteArray recordColumns() {
  QByteArray c = "\"SIRANO\", \"SERiNO\"";
  for (const char* f : kValueFields) c += QByteArray(", \"") + f + '"';
  return c;
}

}  // namespace

struct DayFileReader::Legacy {
  QString path;
  QString signature;
  std::vector<SourceRecord> records;  // SIRANO order
};

QDate dayOfFileName(const QString& name) {
  static const QRegularExpression re(QStringLiteral("^T(\\d{2})(\\d{2})(\\d{4})K\\.tkv$"),
                                     QRegularExpression::CaseInsensitiveOption);
  const auto m = re.match(name);
  if (!m.hasMatch()) return {};
  return QDate(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
}

std::vector<DayFile> listDayFiles(const QString& dataDir, const QDate& firstDay) {
  std::vector<DayFile> files;
  const QFileInfoList entries = QDir(dataDir).entryInfoList(QDir::Files, QDir::Name);
  for (const QFileInfo& fi : entries) {
    const QDate day = dayOfFileName(fi.fileName());
    if (!day.isValid() || (firstDay.isValid() && day < firstDay)) continue;
    // Size and time miss commits within one page and one clock tick: SQLite's file change
    // counter (header bytes 24..27, counted up at every commit) does not.
    QFile f(fi.absoluteFilePath());
    const QByteArray head = f.open(QIODevice::ReadOnly) ? f.read(28) : QByteArray();
    files.push_back({fi.fileName(), fi.absoluteFilePath(), day,
                     QStringLiteral("%1/%2/%3")
                         .arg(fi.size())
                         .arg(fi.lastModified().toMSecsSinceEpoch())
                         .arg(QString::fromLatin1(head.mid(24, 4).toHex()))});
  }
  std::stable_sort(files.begin(), files.end(), [](const DayFile& a, const DayFile& b) { return a.day < b.day; });
  return files;
}

DayFileReader::DayFileReader(int lockWaitMs) : lockWaitMs_(lockWaitMs) {}
DayFileReader::~DayFileReader() = default;

const DayFileReader::Legacy& DayFileReader::legacy(const DayFile& file) {
  if (legacy_ && legacy_->path == file.path && legacy_->signature == file.signature) return *legacy_;
  legacy_.reset();
  const legacy::ParadoxTable table = legacy::readParadoxTable(file.path);
  const auto column = [&table, &file](const char* name) {
    for (size_t i = 0; i < table.fields.size(); ++i)
      if (table.fields[i].name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return int(i);
    throw Error(QStringLiteral("%1: field %2 not found; not a daily file").arg(file.path, QLatin1String(name)));
  };
  const int sirano = column("SIRANO");
  const int serino = column("SERiNO");
  int values[16];
  for (int i = 0; i < 16; ++i) values[i] = column(kValueFields[i]);
  auto l = std::make_unique<Legacy>();
  l->path = file.path;
  l->signature = file.signature;
  for (const auto& row : table.records) {
    const QVariant& key = row[size_t(sirano)];
    if (!key.isValid()) continue;  // the reader reports such damage; a record without a number cannot be kept apart
    SourceRecord r;
    r.sirano = key.toLongLong();
    if (row[size_t(serino)].isValid()) r.serino = row[size_t(serino)].toString();
    for (int i = 0; i < 16; ++i)
      if (row[size_t(values[i])].isValid()) r.values[size_t(i)] = row[size_t(values[i])].toDouble();
    l->records.push_back(std::move(r));
  }
  std::stable_sort(l->records.begin(), l->records.end(),
                   [](const SourceRecord& a, const SourceRecord& b) { return a.sirano < b.sirano; });
  // A number held twice: the first one read stands, as when the file is converted.
  l->records.erase(std::unique(l->records.begin(), l->records.end(),
                               [](const SourceRecord& a, const SourceRecord& b) { return a.sirano == b.sirano; }),
                   l->records.end());
  legacy_ = std::move(l);
  return *legacy_;
}

std::vector<SourceRecord> DayFileReader::read(const DayFile& file, qint64 after, int limit) {
  std::vector<SourceRecord> out;
  QFile probe(file.path);
  if (probe.open(QIODevice::ReadOnly) && legacy::looksLikeParadox(probe.read(100))) {
    const auto& recs = legacy(file).records;
    auto it = std::upper_bound(recs.begin(), recs.end(), after,
                               [](qint64 a, const SourceRecord& r) { return a < r.sirano; });
    for (; it != recs.end() && int(out.size()) < limit; ++it) out.push_back(*it);
    return out;
  }
  ReadOnlyFile db(file, lockWaitMs_);
  db.prepare("SELECT " + recordColumns() + " FROM records WHERE \"SIRANO\" > ?1 ORDER BY \"SIRANO\" LIMIT ?2");
  sqlite3_bind_int64(db.st(), 1, after);
  sqlite3_bind_int(db.st(), 2, limit);
  while (db.step()) {
    SourceRecord r;
    r.sirano = sqlite3_column_int64(db.st(), 0);
    if (sqlite3_column_type(db.st(), 1) != SQLITE_NULL)
      r.serino = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(db.st(), 1)));
    for (int i = 0; i < 16; ++i)
      if (sqlite3_column_type(db.st(), i + 2) != SQLITE_NULL) r.values[size_t(i)] = sqlite3_column_double(db.st(), i + 2);
    out.push_back(std::move(r));
  }
  return out;
}

std::vector<qint64> DayFileReader::sironos(const DayFile& file, qint64 upTo) {
  std::vector<qint64> out;
  QFile probe(file.path);
  if (probe.open(QIODevice::ReadOnly) && legacy::looksLikeParadox(probe.read(100))) {
    for (const auto& r : legacy(file).records)
      if (r.sirano <= upTo) out.push_back(r.sirano);
    return out;
  }
  ReadOnlyFile db(file, lockWaitMs_);
  db.prepare("SELECT \"SIRANO\" FROM records WHERE \"SIRANO\" <= ?1 ORDER BY \"SIRANO\"");
  sqlite3_bind_int64(db.st(), 1, upTo);
  while (db.step()) out.push_back(sqlite3_column_int64(db.st(), 0));
  return out;
}

qint64 DayFileReader::countAfter(const DayFile& file, qint64 after) {
  QFile probe(file.path);
  if (probe.open(QIODevice::ReadOnly) && legacy::looksLikeParadox(probe.read(100))) {
    const auto& recs = legacy(file).records;
    return recs.end() - std::upper_bound(recs.begin(), recs.end(), after,
                                         [](qint64 a, const SourceRecord& r) { return a < r.sirano; });
  }
  ReadOnlyFile db(file, lockWaitMs_);
  db.prepare("SELECT count(*) FROM records WHERE \"SIRANO\" > ?1");
  sqlite3_bind_int64(db.st(), 1, after);
  return db.step() ? sqlite3_column_int64(db.st(), 0) : 0;
}

}  // namespace velta::plantdb
