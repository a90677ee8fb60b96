#pragma once
// One connection to the plant's PostgreSQL through libpq, driven without blocking so
// that every wait is bounded and a stop request ends it within 0.1 s: connecting gives
// up after connectTimeoutS, a statement after statementTimeoutMs on the server
// (statement_timeout) and, should the server or the network not answer at all, after
// that time plus a margin on this side; TCP keepalives and tcp_user_timeout find a
// dead peer. Settings in the connection string take precedence over these defaults.
//
// Errors: PgError. A connection that broke, timed out or was stopped is closed
// (connected() false); an error of a statement leaves the connection usable, with an
// aborted transaction rolled back. One owner thread; not thread-safe.
#include <libpq-fe.h>

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "platform/error.h"

namespace velta::plantdb {

class PgError : public Error {
 public:
  PgError(QString text, bool connectionLost, QByteArray sqlState = {})
      : Error(std::move(text)), connectionLost_(connectionLost), sqlState_(std::move(sqlState)) {}
  bool connectionLost() const { return connectionLost_; }
  const QByteArray& sqlState() const { return sqlState_; }  // five characters, empty when none

 private:
  bool connectionLost_;
  QByteArray sqlState_;
};

// A query's result; owns the PGresult.
class PgResult {
 public:
  explicit PgResult(PGresult* r = nullptr) : r_(r) {}
  ~PgResult() { PQclear(r_); }
  PgResult(PgResult&& o) noexcept : r_(o.r_) { o.r_ = nullptr; }
  PgResult& operator=(PgResult&& o) noexcept;
  PgResult(const PgResult&) = delete;
  PgResult& operator=(const PgResult&) = delete;

  int rows() const { return r_ ? PQntuples(r_) : 0; }
  bool isNull(int row, int col) const { return PQgetisnull(r_, row, col) != 0; }
  QByteArray value(int row, int col) const { return QByteArray(PQgetvalue(r_, row, col)); }
  qint64 integer(int row, int col) const { return value(row, col).toLongLong(); }
  qint64 affected() const;  // rows a command touched

 private:
  PGresult* r_;
};

using PgParams = std::vector<std::optional<QByteArray>>;  // text parameters; nullopt is NULL

class PgLink {
 public:
  struct Options {
    QString connection;
    int connectTimeoutS = 5;
    int statementTimeoutMs = 15000;
    std::function<bool()> stopRequested;  // polled while waiting; may be empty
  };
  explicit PgLink(Options options);
  ~PgLink();
  PgLink(const PgLink&) = delete;
  PgLink& operator=(const PgLink&) = delete;

  void connect();
  void close();
  bool connected() const { return conn_ != nullptr; }

  // Without params the text may hold several statements; the last one's result.
  PgResult exec(const QByteArray& sql, const PgParams& params = {});
  // COPY ... FROM STDIN with data in COPY's text format.
  void copyIn(const QByteArray& copySql, const QByteArray& data);

 private:
  [[noreturn]] void lost(const QString& why);
  void waitSocket(bool forWrite, qint64 deadlineMs);
  void flushAll(qint64 deadlineMs);
  PgResult collect(qint64 deadlineMs, bool stopAtCopyIn);
  qint64 statementDeadline() const;

  Options options_;
  PGconn* conn_ = nullptr;
};

}  // namespace velta::plantdb
