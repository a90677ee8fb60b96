#include "platform/tablestore/sqlite_handle.h"

namespace velta::tablestore {

Db& Db::operator=(Db&& o) noexcept {
  if (this != &o) {
    close();
    db_ = o.db_;
    path_ = std::move(o.path_);
    o.db_ = nullptr;
  }
  return *this;
}

void Db::open(const QString& path, int flags, const QString& what) {
  close();
  path_ = path;
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    throw Error(QStringLiteral("Cannot %1 '%2': %3").arg(what, path, msg));
  }
  db_ = db;
  sqlite3_extended_result_codes(db_, 1);
  // Another program holding a lock briefly must not fail an append at once.
  sqlite3_busy_timeout(db_, 2000);
}

void Db::close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

void Db::exec(const char* sql, const QString& what) {
  char* msg = nullptr;
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &msg);
  if (rc != SQLITE_OK) {
    const QString text = msg ? QString::fromUtf8(msg) : QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_free(msg);
    throw Error(QStringLiteral("Cannot %1 '%2': %3").arg(what, path_, text));
  }
}

Error Db::error(const QString& what) const {
  return Error(QStringLiteral("Cannot %1 '%2': %3")
                   .arg(what, path_, QString::fromUtf8(sqlite3_errmsg(db_))));
}

Error Db::error(int rc, const QString& what) const {
  return Error(QStringLiteral("Cannot %1 '%2': %3")
                   .arg(what, path_, QString::fromUtf8(sqlite3_errstr(rc))));
}

Stmt::Stmt(const Db& db, const QByteArray& sql, const QString& what) : db_(db), what_(what) {
  if (sqlite3_prepare_v2(db.get(), sql.constData(), static_cast<int>(sql.size()), &st_, nullptr) !=
      SQLITE_OK)
    throw db.error(what);
}

Stmt::~Stmt() { sqlite3_finalize(st_); }

bool Stmt::step() {
  const int rc = sqlite3_step(st_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  const Error e = db_.error(what_);
  sqlite3_reset(st_);
  throw e;
}

void Stmt::reset() {
  sqlite3_reset(st_);
  sqlite3_clear_bindings(st_);
}

}  // namespace velta::tablestore
