#include "plantdb/pg_link.h"

#include <poll.h>

#include <QDateTime>

namespace velta::plantdb {

namespace {

qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

// Beyond the server's own statement_timeout: the time a reply may take to come back.
constexpr qint64 kReplyMarginMs = 5000;

QString connError(PGconn* c) { return QString::fromUtf8(PQerrorMessage(c)).trimmed(); }

}  // namespace

PgResult& PgResult::operator=(PgResult&& o) noexcept {
  if (this != &o) {
    PQclear(r_);
    r_ = o.r_;
    o.r_ = nullptr;
  }
  return *this;
}

qint64 PgResult::affected() const {
  const char* n = r_ ? PQcmdTuples(r_) : "";
  return n && *n ? QByteArray(n).toLongLong() : 0;
}

PgLink::PgLink(Options options) : options_(std::move(options)) {}

PgLink::~PgLink() { close(); }

void PgLink::close() {
  if (conn_) PQfinish(conn_);
  conn_ = nullptr;
}

void PgLink::lost(const QString& why) {
  close();
  throw PgError(why, true);
}

void PgLink::connect() {
  close();
  const QByteArray timeout = QByteArray::number(options_.connectTimeoutS);
  const QByteArray userTimeout = QByteArray::number(options_.statementTimeoutMs);
  const QByteArray dsn = options_.connection.toUtf8();
  // Ours first: the expanded connection string that follows overrides any of them.
  const char* keys[] = {"connect_timeout", "keepalives", "keepalives_idle", "keepalives_interval",
                        "keepalives_count", "tcp_user_timeout", "application_name", "dbname", nullptr};
  const char* values[] = {timeout.constData(), "1", "10", "5", "3", userTimeout.constData(),
                          "velta-plantdb", dsn.constData(), nullptr};
  conn_ = PQconnectStartParams(keys, values, 1);
  if (!conn_) throw PgError(QStringLiteral("out of memory for a connection"), true);
  if (PQstatus(conn_) == CONNECTION_BAD) lost(connError(conn_));
  // libpq's connect_timeout only bounds its blocking connect; this loop bounds ours.
  const qint64 deadline = nowMs() + qint64(options_.connectTimeoutS) * 1000;
  PostgresPollingStatusType st = PGRES_POLLING_WRITING;
  while (st != PGRES_POLLING_OK) {
    if (st == PGRES_POLLING_FAILED) lost(connError(conn_));
    waitSocket(st == PGRES_POLLING_WRITING, deadline);
    st = PQconnectPoll(conn_);
  }
  if (PQsetnonblocking(conn_, 1) != 0) lost(connError(conn_));
  // The server's notices ("already exists, skipping") are no news for the station's stderr.
  PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
  exec("SET statement_timeout = " + QByteArray::number(options_.statementTimeoutMs));
}

void PgLink::waitSocket(bool forWrite, qint64 deadlineMs) {
  for (;;) {
    if (options_.stopRequested && options_.stopRequested()) lost(QStringLiteral("stopped"));
    const qint64 left = deadlineMs - nowMs();
    if (left <= 0) lost(QStringLiteral("the database server did not answer in time"));
    pollfd p{PQsocket(conn_), short(forWrite ? POLLOUT : POLLIN), 0};
    if (p.fd < 0) lost(QStringLiteral("the connection has no socket"));
    const int n = ::poll(&p, 1, int(std::min<qint64>(left, 100)));
    if (n > 0) return;
  }
}

void PgLink::flushAll(qint64 deadlineMs) {
  for (;;) {
    const int f = PQflush(conn_);
    if (f == 0) return;
    if (f < 0) lost(connError(conn_));
    waitSocket(true, deadlineMs);
    if (!PQconsumeInput(conn_)) lost(connError(conn_));
  }
}

qint64 PgLink::statementDeadline() const { return nowMs() + options_.statementTimeoutMs + kReplyMarginMs; }

PgResult PgLink::collect(qint64 deadlineMs, bool stopAtCopyIn) {
  flushAll(deadlineMs);
  PgResult last;
  QString failure;
  QByteArray state;
  for (;;) {
    if (!PQconsumeInput(conn_)) lost(connError(conn_));
    while (!PQisBusy(conn_)) {
      PGresult* r = PQgetResult(conn_);
      if (!r) {
        if (!failure.isEmpty()) {
          if (PQtransactionStatus(conn_) == PQTRANS_INERROR) {
            if (!PQsendQuery(conn_, "ROLLBACK")) lost(connError(conn_));
            collect(statementDeadline(), false);
          }
          throw PgError(failure, false, state);
        }
        return last;
      }
      const ExecStatusType s = PQresultStatus(r);
      if (s == PGRES_COPY_IN && stopAtCopyIn) return PgResult(r);
      if (s == PGRES_FATAL_ERROR || s == PGRES_BAD_RESPONSE || s == PGRES_NONFATAL_ERROR) {
        if (failure.isEmpty()) {
          failure = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
          const char* code = PQresultErrorField(r, PG_DIAG_SQLSTATE);
          state = code ? QByteArray(code) : QByteArray();
        }
        PQclear(r);
        if (PQstatus(conn_) == CONNECTION_BAD) lost(failure);
        continue;
      }
      last = PgResult(r);
    }
    if (PQstatus(conn_) == CONNECTION_BAD) lost(connError(conn_));
    waitSocket(false, deadlineMs);
  }
}

PgResult PgLink::exec(const QByteArray& sql, const PgParams& params) {
  if (!conn_) throw PgError(QStringLiteral("not connected"), true);
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p ? p->constData() : nullptr);
  // Without parameters the simple protocol, which takes several statements at once.
  const int sent = params.empty() ? PQsendQuery(conn_, sql.constData())
                                  : PQsendQueryParams(conn_, sql.constData(), int(values.size()), nullptr,
                                                      values.data(), nullptr, nullptr, 0);
  if (!sent) lost(connError(conn_));
  return collect(statementDeadline(), false);
}

void PgLink::copyIn(const QByteArray& copySql, const QByteArray& data) {
  if (!conn_) throw PgError(QStringLiteral("not connected"), true);
  if (!PQsendQuery(conn_, copySql.constData())) lost(connError(conn_));
  const qint64 deadline = statementDeadline();
  collect(deadline, true);
  constexpr qsizetype kChunk = 64 * 1024;
  for (qsizetype at = 0; at < data.size();) {
    const int n = int(std::min(kChunk, data.size() - at));
    const int r = PQputCopyData(conn_, data.constData() + at, n);
    if (r < 0) lost(connError(conn_));
    if (r == 0) {
      waitSocket(true, deadline);
      flushAll(deadline);
      continue;
    }
    at += n;
  }
  for (;;) {
    const int r = PQputCopyEnd(conn_, nullptr);
    if (r < 0) lost(connError(conn_));
    if (r == 1) break;
    waitSocket(true, deadline);
  }
  collect(deadline, false);
}

}  // namespace velta::plantdb
