#include "plantdb/plant_forwarder.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDateTime>
#include <algorithm>
#include <cstdio>
#include <set>

#include "plantdb/central_schema.h"
#include "plantdb/day_files.h"
#include "plantdb/pg_link.h"
#include "plantdb/position_store.h"
#include "platform/station_log.h"
#include "records/date_code.h"

namespace velta::plantdb {

namespace {

// COPY's text format: backslash escapes, \N for NULL.
void appendCopyText(QByteArray& out, const QString& text) {
  for (const char c : text.toUtf8()) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
}

// When the piece was stored, as its serial number tells (the station's wall clock).
QByteArray storedAt(const std::optional<QString>& serino) {
  if (!serino) return "\\N";
  const SerialCut cut = cutSerialNumber(*serino);
  const QDateTime t = QDateTime::fromString(cut.date + u' ' + cut.time, QStringLiteral("dd.MM.yyyy HH:mm"));
  return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:00")).toLatin1() : QByteArray("\\N");
}

QByteArray copyRows(const std::vector<SourceRecord>& batch) {
  QByteArray out;
  out.reserve(qsizetype(batch.size()) * 200);
  for (const SourceRecord& r : batch) {
    out += QByteArray::number(r.sirano);
    out += '\t';
    if (r.serino) appendCopyText(out, *r.serino);
    else out += "\\N";
    for (const auto& v : r.values) {
      out += '\t';
      out += v ? QByteArray::number(*v, 'g', 17) : QByteArray("\\N");
    }
    out += '\t';
    out += storedAt(r.serino);
    out += '\n';
  }
  return out;
}

QByteArray columnList() {
  QByteArray c;
  for (const QString& v : valueColumns()) c += ", " + v.toLatin1();
  return c;
}

QByteArray dayText(const QDate& d) { return d.toString(Qt::ISODate).toLatin1(); }

void lowerThreadPriority() {
  // Linux nice values are per thread: the station's tick keeps the CPU it needs.
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
}

}  // namespace

QString ForwarderState::line() const {
  QString s = QStringLiteral("plant database: ") + (connected ? QStringLiteral("connected") : QStringLiteral("not connected"));
  s += waiting < 0 ? QStringLiteral(", records waiting: not counted yet")
                   : QStringLiteral(", %1 records waiting").arg(waiting);
  if (!lastError.isEmpty()) s += QStringLiteral(", last error: ") + lastError;
  return s;
}

// One forwarder's connection, reader and positions; used by one thread at a time.
class PlantForwarder::Pass {
 public:
  Pass(const ForwarderSettings& s, const std::atomic<bool>& stopping)
      : s_(s),
        link_({s.config.connection, s.connectTimeoutS, s.statementTimeoutMs, [&stopping] { return stopping.load(); }}),
        reader_(s.fileLockWaitMs) {}

  // One walk over the data folder. Throws on a fault of the link or the server;
  // returns the records still waiting (files held by the station are counted as waiting).
  qint64 run(ForwarderState& st, const std::function<void()>& progress) {
    if (!store_) store_ = std::make_unique<PositionStore>(s_.positionPath);
    st.connected = link_.connected();
    if (!link_.connected()) {
      st.waiting = countWaiting();
      connect();
      st.connected = true;
      progress();
    }
    qint64 waiting = 0;
    for (const DayFile& f : listDayFiles(s_.dataDir, s_.config.firstDay)) {
      try {
        waiting += forwardFile(f, st, progress);
      } catch (const FileBusy&) {
        ++waiting;  // the station is writing it; next pass
      } catch (const PgError&) {
        throw;
      } catch (const Error& e) {
        // A file that is no daily file is left out until it changes; the station's own
        // checks tell the operator about it.
        fileErrors_ = e.text();
      }
    }
    return waiting;
  }

  void disconnect() { link_.close(); }
  void saveStateLine(const QString& line) {
    if (!store_) store_ = std::make_unique<PositionStore>(s_.positionPath);
    store_->setStateLine(line);
  }
  const QString& fileErrors() const { return fileErrors_; }
  void clearFileErrors() { fileErrors_.clear(); }

 private:
  void connect() {
    partitions_.clear();
    link_.connect();
    const QString id = ensureSchema(link_);
    // Positions belong to one database and one station name: another of either starts afresh.
    store_->setDatabaseId(id + u' ' + s_.config.station);
    link_.exec("CREATE TEMP TABLE plantdb_staging (sirano bigint, serino text" +
               [] {
                 QByteArray c;
                 for (const QString& v : valueColumns()) c += ", " + v.toLatin1() + " double precision";
                 return c;
               }() +
               ", stored_at timestamp) ON COMMIT DELETE ROWS");
  }

  // Records not confirmed, from the positions alone (no server needed).
  qint64 countWaiting() {
    qint64 n = 0;
    for (const DayFile& f : listDayFiles(s_.dataDir, s_.config.firstDay)) {
      const auto p = store_->position(f.name);
      if (p && p->signature == f.signature) continue;
      try {
        n += reader_.countAfter(f, p ? p->sirano : 0);
      } catch (const Error&) {
      }
    }
    return n;
  }

  PgParams key(const DayFile& f) const { return {s_.config.station.toUtf8(), f.name.toUtf8(), dayText(f.day)}; }

  // Where the database stands for a file: its highest SIRANO and its live rows.
  FilePosition askServer(const DayFile& f) {
    PgResult r = link_.exec(
        "SELECT coalesce(max(sirano), 0), count(*) FILTER (WHERE deleted_at IS NULL) FROM test_records"
        " WHERE station = $1 AND day_file = $2 AND day = $3::date",
        key(f));
    return FilePosition{r.integer(0, 0), r.integer(0, 1), QString()};
  }

  qint64 forwardFile(const DayFile& f, ForwarderState& st, const std::function<void()>& progress) {
    std::optional<FilePosition> known = store_->position(f.name);
    if (known && known->signature == f.signature) return 0;
    FilePosition p = known ? *known : askServer(f);
    if (!known) store_->setPosition(f.name, {p.sirano, p.live, QString()});
    for (;;) {
      const std::vector<SourceRecord> batch = reader_.read(f, p.sirano, s_.batchSize);
      if (batch.empty()) break;
      send(f, batch);
      p.sirano = batch.back().sirano;
      store_->setPosition(f.name, {p.sirano, p.live, QString()});
      if (st.waiting > 0) st.waiting = std::max<qint64>(0, st.waiting - qint64(batch.size()));
      progress();
    }
    markDeletions(f, p);
    p.signature = f.signature;
    store_->setPosition(f.name, p);
    return 0;
  }

  void send(const DayFile& f, const std::vector<SourceRecord>& batch) {
    const QString month = partitionName(f.day);
    if (!partitions_.count(month)) {
      ensurePartition(link_, f.day);
      partitions_.insert(month);
    }
    link_.exec("BEGIN");
    link_.copyIn("COPY plantdb_staging FROM STDIN", copyRows(batch));
    link_.exec("INSERT INTO test_records (station, day_file, day, sirano, serino" + columnList() +
                   ", stored_at) SELECT $1, $2, $3::date, sirano, serino" + columnList() +
                   ", stored_at FROM plantdb_staging ON CONFLICT DO NOTHING",
               key(f));
    link_.exec("COMMIT");
  }

  // The database's live rows of the file against the file's records: a record the
  // station deleted is marked. The count is the server's own, never one kept here: a
  // batch whose acknowledgement was lost may hold records deleted since.
  void markDeletions(const DayFile& f, FilePosition& p) {
    const std::vector<qint64> inFile = reader_.sironos(f, p.sirano);
    const PgParams upTo{s_.config.station.toUtf8(), f.name.toUtf8(), dayText(f.day), QByteArray::number(p.sirano)};
    const qint64 live = link_.exec(
        "SELECT count(*) FROM test_records WHERE station = $1 AND day_file = $2 AND day = $3::date"
        " AND deleted_at IS NULL AND sirano <= $4", upTo).integer(0, 0);
    p.live = live;
    if (qint64(inFile.size()) == live) return;
    PgResult r = link_.exec(
        "SELECT sirano FROM test_records WHERE station = $1 AND day_file = $2 AND day = $3::date"
        " AND deleted_at IS NULL AND sirano <= $4 ORDER BY sirano", upTo);
    QByteArray gone = "{";
    qint64 goneCount = 0;
    size_t j = 0;
    for (int i = 0; i < r.rows(); ++i) {
      const qint64 n = r.integer(i, 0);
      while (j < inFile.size() && inFile[j] < n) ++j;
      if (j < inFile.size() && inFile[j] == n) continue;
      if (goneCount++) gone += ',';
      gone += QByteArray::number(n);
    }
    gone += '}';
    if (goneCount) {
      PgParams params = upTo;
      params[3] = gone;
      link_.exec(
          "UPDATE test_records SET deleted_at = now() WHERE station = $1 AND day_file = $2 AND day = $3::date"
          " AND sirano = ANY($4::bigint[]) AND deleted_at IS NULL", params);
    }
    p.live = r.rows() - goneCount;
  }

  const ForwarderSettings& s_;
  PgLink link_;
  DayFileReader reader_;
  std::unique_ptr<PositionStore> store_;
  std::set<QString> partitions_;
  QString fileErrors_;
};

PlantForwarder::PlantForwarder(ForwarderSettings settings)
    : settings_(std::move(settings)), pass_(std::make_unique<Pass>(settings_, stopping_)) {
  if (!settings_.stateSink)
    settings_.stateSink = [](const QString& line) { LogLine(line); };
}

PlantForwarder::~PlantForwarder() { stop(); }

void PlantForwarder::start() {
  if (thread_.joinable()) return;
  stopping_ = false;
  thread_ = std::thread([this] {
    lowerThreadPriority();
    loop();
  });
}

void PlantForwarder::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

ForwarderState PlantForwarder::state() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return state_;
}

void PlantForwarder::publish(ForwarderState s) {
  // A line when connected or the error changes, or the backlog empties or starts: not
  // one for every record while draining.
  const bool backlog = s.waiting >= settings_.batchSize || s.waiting < 0;
  const QString key = QStringLiteral("%1|%2|%3").arg(s.connected).arg(backlog).arg(s.lastError);
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    state_ = s;
  }
  if (key == lastLine_) return;
  lastLine_ = key;
  settings_.stateSink(s.line());
}

bool PlantForwarder::runPass() {
  ForwarderState st = state();
  bool ok = false;
  const auto progress = [&] { publish(st); };
  try {
    st.waiting = pass_->run(st, progress);
    st.connected = true;
    st.lastError = pass_->fileErrors();
    pass_->clearFileErrors();
    ++st.passes;
    ok = st.waiting == 0 && st.lastError.isEmpty();
  } catch (const PgError& e) {
    if (e.connectionLost()) pass_->disconnect();
    st.connected = !e.connectionLost() && st.connected;
    st.lastError = e.text().section(u'\n', 0, 0);
  } catch (const Error& e) {
    st.lastError = e.text();
  }
  publish(st);
  try {
    // The same line for "velta-plantdb status" (the position file is this thread's).
    pass_->saveStateLine(st.line() + QStringLiteral(" (at %1)").arg(
        QDateTime::currentDateTime().toString(Qt::ISODate)));
  } catch (const Error&) {
  }
  return ok;
}

void PlantForwarder::loop() {
  int pause = settings_.retryMinMs;
  while (!stopping_) {
    const bool clean = runPass();
    const ForwarderState st = state();
    int wait = settings_.idleMs;
    if (!st.lastError.isEmpty() && st.lastError != u"stopped") {
      wait = pause;
      pause = std::min(settings_.retryMaxMs, pause * 2);
    } else {
      pause = settings_.retryMinMs;
      if (!clean && st.waiting > 0) wait = std::min(wait, 100);  // files held by the station
    }
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(wait), [this] { return stopping_.load(); });
  }
}

}  // namespace velta::plantdb
