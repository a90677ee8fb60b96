#pragma once
// Store-and-forward of the station's records to the plant database. A thread of its
// own (at a lower CPU priority, never the UI thread) walks the daily files of the data
// folder, sends in SIRANO order, in batches, every record the database has not
// confirmed, and marks as deleted (deleted_at) the records the database holds that a
// file no longer has. Rows are keyed by (station, day_file, sirano) and inserted with
// ON CONFLICT DO NOTHING, so a batch sent again after a lost acknowledgement never
// doubles a row; the position (position_store.h) advances only after the commit was
// confirmed. A position file that is missing, damaged or belongs to another database
// is mended by asking the server where each file stands.
//
// Every fault (server down, refused, slow, failing statements, files held by the
// station) is waited out with a growing pause (retryMinMs .. retryMaxMs); nothing is
// lost. The state (connected, records waiting, last error) goes to stateSink as one
// line when it changes and is kept in the position file for "velta-plantdb status".
// stop() (and the destructor) ends the thread within about 0.1 s.
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "plantdb/plant_config.h"

namespace velta::plantdb {

struct ForwarderSettings {
  PlantConfig config;
  QString dataDir;       // host path of the data folder
  QString positionPath;  // host path of the position file
  int batchSize = 2000;
  int idleMs = 1000;  // between passes once everything is forwarded
  int retryMinMs = 1000;
  int retryMaxMs = 30000;
  int connectTimeoutS = 5;
  int statementTimeoutMs = 15000;
  int fileLockWaitMs = 50;
  // Receives each changed state line; default: stderr. Called on the forwarder's thread.
  std::function<void(const QString&)> stateSink;
};

struct ForwarderState {
  bool connected = false;
  qint64 waiting = -1;  // records and deletion marks not yet confirmed; -1: not counted yet
  QString lastError;    // empty after a pass without faults
  qint64 passes = 0;    // complete passes without a fault
  QString line() const;
};

class PlantForwarder {
 public:
  explicit PlantForwarder(ForwarderSettings settings);
  ~PlantForwarder();
  PlantForwarder(const PlantForwarder&) = delete;
  PlantForwarder& operator=(const PlantForwarder&) = delete;

  void start();  // starts the thread
  void stop();   // ends it; safe to call twice
  // One pass on the calling thread (for the tool and tests; not while the thread runs).
  // True when it ended without a fault and nothing is waiting.
  bool runPass();
  ForwarderState state() const;

 private:
  class Pass;
  void loop();
  void publish(ForwarderState s);

  ForwarderSettings settings_;
  std::unique_ptr<Pass> pass_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  mutable std::mutex stateMutex_;
  ForwarderState state_;
  QString lastLine_;
};

}  // namespace velta::plantdb
