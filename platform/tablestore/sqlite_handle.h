#pragma once
// Thin RAII wrappers over the SQLite C API for the table store. Every failure raises
// velta::Error with SQLite's message and the file's path. Not thread-safe; one owner.
#include <sqlite3.h>

#include <QByteArray>
#include <QString>

#include "platform/error.h"

namespace velta::tablestore {

class Db {
 public:
  Db() = default;
  ~Db() { close(); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;
  Db(Db&& o) noexcept : db_(o.db_), path_(std::move(o.path_)) { o.db_ = nullptr; }
  Db& operator=(Db&& o) noexcept;

  // flags: SQLITE_OPEN_* ; "what" names the action in the error ("open", "create").
  void open(const QString& path, int flags, const QString& what);
  void close();
  bool isOpen() const { return db_ != nullptr; }
  sqlite3* get() const { return db_; }
  const QString& path() const { return path_; }

  void exec(const char* sql, const QString& what);
  // The error of the last failed call on this connection, naming the file.
  Error error(const QString& what) const;
  Error error(int rc, const QString& what) const;

 private:
  sqlite3* db_ = nullptr;
  QString path_;
};

class Stmt {
 public:
  Stmt(const Db& db, const QByteArray& sql, const QString& what);
  ~Stmt();
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  sqlite3_stmt* get() const { return st_; }
  // true while a row is ready; raises on an error.
  bool step();
  void reset();

 private:
  const Db& db_;
  sqlite3_stmt* st_ = nullptr;
  QString what_;
};

}  // namespace velta::tablestore
