#include "plantdb/position_store.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include "platform/error.h"

namespace velta::plantdb {

struct PositionStore::Db {
  sqlite3* db = nullptr;
  ~Db() { sqlite3_close(db); }
};

namespace {

Error fail(sqlite3* db, const QString& path, const QString& what) {
  return Error(QStringLiteral("plant database position file \"%1\": %2: %3")
                   .arg(path, what, QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory")));
}

class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql, const QString& path) : db_(db), path_(path) {
    if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK) throw fail(db, path, QStringLiteral("prepare"));
  }
  ~Stmt() { sqlite3_finalize(st_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
  void text(int i, const QString& v) {
    const QByteArray b = v.toUtf8();
    sqlite3_bind_text(st_, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
  }
  void integer(int i, qint64 v) { sqlite3_bind_int64(st_, i, v); }
  bool step() {
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw fail(db_, path_, QStringLiteral("step"));
  }
  QString columnText(int c) const {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st_, c));
    return t ? QString::fromUtf8(t) : QString();
  }
  qint64 columnInt(int c) const { return sqlite3_column_int64(st_, c); }

 private:
  sqlite3* db_;
  QString path_;
  sqlite3_stmt* st_ = nullptr;
};

void exec(sqlite3* db, const char* sql, const QString& path) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw fail(db, path, QStringLiteral("write"));
}

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS positions (day_file TEXT PRIMARY KEY, sirano INTEGER NOT NULL,"
    " live INTEGER NOT NULL, signature TEXT NOT NULL);";

QString metaValue(sqlite3* db, const QString& path, const char* key) {
  Stmt st(db, "SELECT value FROM meta WHERE key = ?1", path);
  st.text(1, QString::fromLatin1(key));
  return st.step() ? st.columnText(0) : QString();
}

void setMeta(sqlite3* db, const QString& path, const char* key, const QString& value) {
  Stmt st(db, "INSERT INTO meta (key, value) VALUES (?1, ?2) ON CONFLICT(key) DO UPDATE SET value = excluded.value",
          path);
  st.text(1, QString::fromLatin1(key));
  st.text(2, value);
  st.step();
}

}  // namespace

PositionStore::PositionStore(const QString& hostPath) : path_(hostPath) {
  try {
    openOrMake();
  } catch (const Error&) {
    // Damaged (or not a position file at all): keep it for a look, start afresh.
    db_.reset();
    const QString aside = path_ + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(path_, aside)) QFile::remove(path_);
    QFile::remove(path_ + QStringLiteral("-journal"));
    afresh_ = true;
    openOrMake();
  }
}

PositionStore::~PositionStore() = default;

void PositionStore::openOrMake() {
  if (!QFileInfo::exists(path_)) afresh_ = true;
  db_ = std::make_unique<Db>();
  if (sqlite3_open_v2(QFile::encodeName(path_).constData(), &db_->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      nullptr) != SQLITE_OK)
    throw fail(db_->db, path_, QStringLiteral("open"));
  sqlite3_busy_timeout(db_->db, 1000);
  // A lost write costs a resend, never a gap: positions follow the server's commits.
  exec(db_->db, "PRAGMA synchronous=NORMAL", path_);
  exec(db_->db, kSchema, path_);
  Stmt check(db_->db, "PRAGMA quick_check", path_);
  if (!check.step() || check.columnText(0) != u"ok") throw fail(db_->db, path_, QStringLiteral("damaged"));
}

QString PositionStore::databaseId() const { return metaValue(db_->db, path_, "database"); }

void PositionStore::setDatabaseId(const QString& id) {
  if (id == databaseId()) return;
  exec(db_->db, "BEGIN", path_);
  exec(db_->db, "DELETE FROM positions", path_);
  setMeta(db_->db, path_, "database", id);
  exec(db_->db, "COMMIT", path_);
}

std::optional<FilePosition> PositionStore::position(const QString& dayFile) const {
  Stmt st(db_->db, "SELECT sirano, live, signature FROM positions WHERE day_file = ?1", path_);
  st.text(1, dayFile);
  if (!st.step()) return std::nullopt;
  return FilePosition{st.columnInt(0), st.columnInt(1), st.columnText(2)};
}

void PositionStore::setPosition(const QString& dayFile, const FilePosition& p) {
  Stmt st(db_->db,
          "INSERT INTO positions (day_file, sirano, live, signature) VALUES (?1, ?2, ?3, ?4)"
          " ON CONFLICT(day_file) DO UPDATE SET sirano = excluded.sirano, live = excluded.live,"
          " signature = excluded.signature",
          path_);
  st.text(1, dayFile);
  st.integer(2, p.sirano);
  st.integer(3, p.live);
  st.text(4, p.signature);
  st.step();
}

void PositionStore::forget(const QString& dayFile) {
  Stmt st(db_->db, "DELETE FROM positions WHERE day_file = ?1", path_);
  st.text(1, dayFile);
  st.step();
}

void PositionStore::setStateLine(const QString& line) { setMeta(db_->db, path_, "state", line); }

std::optional<QString> PositionStore::readStateLine(const QString& hostPath) {
  if (!QFileInfo::exists(hostPath)) return std::nullopt;
  sqlite3* db = nullptr;
  std::optional<QString> line;
  if (sqlite3_open_v2(QFile::encodeName(hostPath).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 1000);
    try {
      const QString v = metaValue(db, hostPath, "state");
      if (!v.isEmpty()) line = v;
    } catch (const Error&) {
    }
  }
  sqlite3_close(db);
  return line;
}

}  // namespace velta::plantdb
