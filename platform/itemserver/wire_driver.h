#pragma once
// The item server's driver for a real PLC link (Modbus TCP/RTU or the PLC's native
// protocol over TCP or a serial line), made from the project by makeWireDriver().
//
// One refresh thread per driver owns the one connection (the PlcLink): it makes the
// pending writes, then reads every mapped item with the link's read plan (the fewest
// requests the protocol allows: two for Modbus, one for the native protocol) once per
// refresh period, and keeps the values. The UI thread's calls take a short mutex and
// never wait on the wire, with one bounded exception: write() waits for its write at
// most the write timeout while the link is up. connect() costs one atomic load while
// the link is up; while it is down it only wakes the refresh thread for an early retry
// (the link's own back-off spaces the real attempts, so ticks never cause a storm).
// The destructor gives writes still queued one releaseGrace (the response time-out) to go
// out while the link is up, then stops and joins the thread (after at most the
// operation in progress, which the link's time-outs bound).
//
// Exactly once: an acknowledgement (a bit written 0) must neither be lost nor taken back,
// or a piece is stored twice or never. How each race is closed:
// (a) Stale read after a write. Every write takes a number from a counter and marks its
//     item with it; a refresh notes the counter when it begins and drops, item by item,
//     every value read for an item written after that (or with a write still pending).
//     A read that left before the acknowledgement reached the PLC can thus never put the
//     old 1 back into the kept values.
// (b) Write that fails or times out. The kept value takes the written value at once and
//     keeps it; the write stays queued until the PLC has confirmed it, is made again
//     (writes are idempotent: the same value to the same element) when the link is back,
//     and the queue is emptied, in order, before any read is made or trusted again. A
//     caller that gave up waiting (write timeout) leaves the write queued, not lost.
// (c) First refresh after a reconnect. Reads run only with the queue empty, and (a) drops
//     values of items written meanwhile, so nothing older than a pending write returns.
// (d) Late replies. The links close a TCP connection after a time-out or garbage and
//     flush a serial line, so a late reply is never taken for another request.
// (e) Server replaced (the connect button) or released with writes still queued. The
//     writes are handed to the live driver on the same link (same protocol, address and
//     unit), or kept for the next one made in this process, which queues them before
//     its own and trusts no read of those items before they are made.
// (f) A PLC that refuses a write (an exception reply: the link itself is fine) is not a
//     broken link: reading goes on, the write is set aside and made again every
//     refusedRetry, its item's kept value stays the written one (reads of that item are
//     dropped as in (a)), one line on stderr names the item and the PLC's reason, and a
//     newer write of the item replaces it. A refresh that finds the PLC holding the
//     written value drops it (an earlier attempt reached the PLC after all): made again
//     a second later, an acknowledgement could hit the bit set anew for the next piece.
// A failed refresh or write shows as Update 0 and never raises: link faults are not
// errors of value() or write().
#include <QDateTime>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/itemserver/item_driver.h"
#include "platform/itemserver/server_project.h"
#include "platform/itemserver/steady_clock.h"
#include "platform/itemserver/wire/plc_link.h"

namespace velta {

struct WireTiming {
  std::chrono::milliseconds refreshPeriod{100};
  std::chrono::milliseconds writeTimeout{500};
  std::chrono::milliseconds refusedRetry{1000};  // pace of a write the PLC refused
  std::chrono::milliseconds releaseGrace{500};   // queued writes may go out at release
};

class WireDriver : public ItemDriver {
 public:
  // toElement turns an item's address into the link's element (Error when it has none).
  using ElementOf = PlcElement (*)(const PlcAddress&);

  // Clocks outlive the driver. Without a wall clock the refresh thread stamps each good
  // refresh with the system's time; with one (a test clock, UI thread only) the steady
  // stamp is turned into wall time when link() is called. The link is used only by the
  // refresh thread.
  WireDriver(std::unique_ptr<PlcLink> link, ElementOf toElement, WireTiming timing,
             const SteadyClock& steady, const Clock* wall);
  ~WireDriver() override;
  WireDriver(const WireDriver&) = delete;
  WireDriver& operator=(const WireDriver&) = delete;

  void start(const std::vector<DriverItem>& items) override;
  void connect() override;
  void disconnect() override;
  qint64 value(std::size_t item) override;
  void write(std::size_t item, qint64 raw) override;
  LinkState link() override;

  // For tests and benchmarks.
  std::size_t plannedRequests() const { return plan_.requests.size(); }
  long long goodRefreshes() const { return goodRefreshes_.load(); }
  std::size_t pendingWrites() const;  // queued and set aside
  // Where the lines for the engineer's log go (default: the station's log on stderr): a
  // refused write, the link going down (with the reason) and coming up again. Called on
  // the refresh thread.
  void setReportSink(std::function<void(const QString&)> sink);
  QString describe() const { return description_; }

 private:
  struct Write {
    std::size_t item;  // kNoItem: handed over for an element this table lacks
    PlcElement element;
    qint64 raw;
    unsigned long long number;  // 0: handed over, nobody waits for it
    std::chrono::steady_clock::time_point retryAt{};  // refused: made again from then
    bool refusalReported = false;
  };
  enum class WriteResult { Made, Refused, Failed };
  static constexpr std::size_t kNoItem = static_cast<std::size_t>(-1);
  // Takes over writes another driver on the same link could not make, ahead of its own.
  void adopt(const std::vector<std::pair<PlcElement, qint64>>& writes);
  void run();
  WriteResult makeWrite(const Write& w, QString* why);
  // false: the refresh failed (why says why). startedAt: the write counter when the read began.
  bool refresh(unsigned long long startedAt, QString* why);
  // One line when the link's state differs from the last one reported; mutex_ held.
  void reportLinkState(const QString& why);
  void report(const QString& line);  // mutex_ held

  std::unique_ptr<PlcLink> link_;
  ElementOf toElement_;
  WireTiming timing_;
  const SteadyClock& steady_;
  const Clock* wall_;
  QString description_;

  std::vector<DriverItem> items_;
  std::vector<PlcElement> elements_;  // per item
  ReadPlan plan_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;      // the refresh thread waits on it
  std::condition_variable written_;   // write() waits on it
  std::vector<qint64> kept_;
  std::vector<unsigned long long> lastWrite_;  // per item: number of its last write
  std::vector<int> pendingPerItem_;
  std::deque<Write> pending_;
  std::deque<Write> refused_;  // set aside after an exception reply, in order of retry
  unsigned long long lastRefused_ = 0;  // number of the last write refused (its waiter returns)
  std::function<void(const QString&)> report_;
  unsigned long long writeCounter_ = 0;
  unsigned long long confirmedUpTo_ = 0;  // writes are confirmed in order
  long long lastGoodMs_ = -1;             // steady time of the last good refresh
  QDateTime lastGoodWall_;                // its system time (without a wall clock)
  bool writing_ = false;  // the front of pending_ is on the wire
  bool nudged_ = false;
  bool stop_ = false;
  std::atomic<bool> wanted_{false};  // connect() asked for the link, disconnect() not since
  std::atomic<bool> up_{false};
  quint64 session_ = 0;  // guarded by mutex_
  int reportedUp_ = -1;      // the link state last reported (-1: none yet); mutex_
  long long downSinceMs_ = -1;  // steady time the link was reported down; mutex_
  std::atomic<long long> goodRefreshes_{0};
  std::thread thread_;
};

// A wire driver for project.driver (modbus-tcp, modbus-rtu, native-tcp, native-serial);
// Error naming the project file for an item the protocol cannot address.
std::unique_ptr<ItemDriver> makeWireDriver(const ServerProject& project, const SteadyClock& steady,
                                           const Clock* wall);

}  // namespace velta
