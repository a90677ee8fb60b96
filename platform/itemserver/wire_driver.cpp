#include "platform/itemserver/wire_driver.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/error.h"
#include "platform/station_log.h"
#include "platform/itemserver/wire/modbus_link.h"
#include "platform/itemserver/wire/native_link.h"

namespace velta {

namespace {

using RealClock = std::chrono::steady_clock;

// Modbus links run with both bases at 0, so an element is the Modbus address itself
// and any address of the project's [items] table can be read.
PlcElement modbusElement(const PlcAddress& a) {
  return a.area == PlcAddress::Area::Coil ? PlcElement::bit(a.index) : PlcElement::reg(a.index);
}

// The native protocol names M and R elements; the project's addresses are in the PLC's
// standard Modbus map (M<n> = coil 2000 + n, R<n> = register n).
PlcElement nativeElement(const PlcAddress& a) {
  if (a.area == PlcAddress::Area::Register && a.index <= 4167) return PlcElement::reg(a.index);
  if (a.area == PlcAddress::Area::Coil && a.index >= 2000 && a.index <= 3001)
    return PlcElement::bit(a.index - 2000);
  throw Error(QStringLiteral("%1 %2 has no element in the native protocol (M0 .. M1001 are "
                             "coils 2000 .. 3001, R0 .. R4167 registers 0 .. 4167)")
                  .arg(a.area == PlcAddress::Area::Coil ? QStringLiteral("coil") : QStringLiteral("register"))
                  .arg(a.index));
}

char parityChar(ServerProject::Parity p) {
  switch (p) {
    case ServerProject::Parity::None: return 'N';
    case ServerProject::Parity::Even: return 'E';
    case ServerProject::Parity::Odd: return 'O';
  }
  return 'E';
}

SerialSettings serialOf(const ServerProject& p) {
  return {p.serialDevice.toStdString(), p.baud, parityChar(p.parity), p.dataBits, p.stopBits};
}

// Writes that a released driver could not make, and the live drivers by link, so that
// a driver that replaces another on the same link makes them.
struct HandOver {
  std::mutex mutex;
  std::map<QString, std::vector<WireDriver*>> live;
  std::map<QString, std::vector<std::pair<PlcElement, qint64>>> orphaned;
};

HandOver& handOver() {
  static HandOver h;
  return h;
}

}  // namespace

WireDriver::WireDriver(std::unique_ptr<PlcLink> link, ElementOf toElement, WireTiming timing,
                       const SteadyClock& steady, const Clock* wall)
    : link_(std::move(link)), toElement_(toElement), timing_(timing), steady_(steady), wall_(wall),
      description_(link_->describe()) {}

WireDriver::~WireDriver() {
  if (!thread_.joinable()) return;  // never started
  HandOver& h = handOver();
  {
    // No other driver hands its writes to this one from here on.
    std::lock_guard lock(h.mutex);
    std::erase(h.live[description_], this);
  }
  {
    std::unique_lock lock(mutex_);
    // Writes still queued (an acknowledgement just written) get one response time-out to
    // go out while the link is up: lost at exit, a stored piece whose end bit never
    // reached the PLC would be stored again after the restart.
    written_.wait_for(lock, timing_.releaseGrace, [&] { return pending_.empty() || !up_ || !wanted_; });
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
  std::vector<std::pair<PlcElement, qint64>> left;
  for (const Write& w : pending_) left.emplace_back(w.element, w.raw);
  for (const Write& w : refused_) left.emplace_back(w.element, w.raw);
  if (left.empty()) return;
  std::lock_guard lock(h.mutex);
  auto& live = h.live[description_];
  if (!live.empty())
    live.front()->adopt(left);
  else
    h.orphaned[description_].insert(h.orphaned[description_].end(), left.begin(), left.end());
}

void WireDriver::adopt(const std::vector<std::pair<PlcElement, qint64>>& writes) {
  {
    std::lock_guard lock(mutex_);
    std::deque<Write> ahead;
    for (const auto& [element, raw] : writes) {
      std::size_t item = kNoItem;
      for (std::size_t i = 0; i < elements_.size(); ++i)
        if (elements_[i] == element) item = i;
      if (item != kNoItem) {
        kept_[item] = raw;
        lastWrite_[item] = ++writeCounter_;
        ++pendingPerItem_[item];
      }
      ahead.push_back({item, element, raw, 0});
    }
    // Behind a write in flight, which the refresh thread takes off the front when done.
    pending_.insert(pending_.begin() + (writing_ ? 1 : 0), ahead.begin(), ahead.end());
  }
  wake_.notify_one();
}

void WireDriver::start(const std::vector<DriverItem>& items) {
  items_ = items;
  elements_.clear();
  for (const auto& item : items_) elements_.push_back(toElement_(item.address));
  plan_ = link_->planReads(elements_);
  kept_.assign(items_.size(), 0);
  lastWrite_.assign(items_.size(), 0);
  pendingPerItem_.assign(items_.size(), 0);
  {
    HandOver& h = handOver();
    std::lock_guard lock(h.mutex);
    h.live[description_].push_back(this);
    auto it = h.orphaned.find(description_);
    if (it != h.orphaned.end()) {
      adopt(it->second);
      h.orphaned.erase(it);
    }
  }
  thread_ = std::thread([this] { run(); });
}

void WireDriver::connect() {
  if (up_.load(std::memory_order_relaxed) && wanted_.load(std::memory_order_relaxed)) return;
  {
    std::lock_guard lock(mutex_);
    wanted_ = true;
    nudged_ = true;
  }
  wake_.notify_one();
}

void WireDriver::disconnect() {
  {
    std::lock_guard lock(mutex_);
    wanted_ = false;
  }
  wake_.notify_one();
}

qint64 WireDriver::value(std::size_t item) {
  std::lock_guard lock(mutex_);
  return kept_.at(item);
}

void WireDriver::write(std::size_t item, qint64 raw) {
  std::unique_lock lock(mutex_);
  kept_.at(item) = raw;
  // A write the PLC refused is replaced by the newer one of the same item.
  const auto before = refused_.size();
  std::erase_if(refused_, [&](const Write& w) { return w.item == item; });
  pendingPerItem_.at(item) -= static_cast<int>(before - refused_.size());
  const unsigned long long number = ++writeCounter_;
  lastWrite_[item] = number;
  ++pendingPerItem_[item];
  pending_.push_back({item, elements_[item], raw, number});
  wake_.notify_one();
  if (!up_ || !wanted_) return;  // made when the link is back
  // Bounded: a write not confirmed in time stays queued and is made later.
  written_.wait_for(lock, timing_.writeTimeout, [&] {
    return confirmedUpTo_ >= number || lastRefused_ == number || !up_ || stop_;
  });
}

LinkState WireDriver::link() {
  LinkState s;
  long long lastGood;
  {
    std::lock_guard lock(mutex_);
    lastGood = lastGoodMs_;
    s.up = up_;
    s.lastGoodRefresh = lastGoodWall_;
    s.session = session_;
  }
  if (wall_ && lastGood >= 0) {
    const long long age = steady_.now().count() - lastGood;
    s.lastGoodRefresh = QDateTime(wall_->currentDate(), wall_->currentTime()).addMSecs(-std::max(0LL, age));
  }
  return s;
}

void WireDriver::setReportSink(std::function<void(const QString&)> sink) {
  std::lock_guard lock(mutex_);
  report_ = std::move(sink);
}

std::size_t WireDriver::pendingWrites() const {
  std::lock_guard lock(mutex_);
  return pending_.size() + refused_.size();
}

WireDriver::WriteResult WireDriver::makeWrite(const Write& w, QString* why) {
  const PlcElement e = w.element;
  try {
    if (e.area == PlcElement::Area::Bit)
      link_->writeBit(e.number, w.raw != 0);
    else
      link_->writeRegister(e.number, static_cast<std::uint16_t>(w.raw));
    return WriteResult::Made;
  } catch (const PlcLinkError& error) {
    *why = error.text();
    // The PLC answered in step and said no: the link is fine.
    if (error.kind() == PlcLinkErrorKind::ExceptionReply) return WriteResult::Refused;
    return WriteResult::Failed;  // a link fault: queued, the link recovers by itself
  } catch (const std::exception& error) {
    *why = QString::fromLocal8Bit(error.what());
    return WriteResult::Failed;
  }
}

void WireDriver::report(const QString& line) {
  if (report_) report_(line);
  else LogLine(line);
}

void WireDriver::reportLinkState(const QString& why) {
  const bool up = up_;
  if (reportedUp_ == (up ? 1 : 0)) return;
  const long long now = steady_.now().count();
  if (up) {
    report(downSinceMs_ < 0 ? QStringLiteral("PLC link up (%1)").arg(description_)
                            : QStringLiteral("PLC link up again after %1 ms (%2)").arg(now - downSinceMs_).arg(description_));
  } else {
    downSinceMs_ = now;
    report(QStringLiteral("PLC link down (%1): %2").arg(description_, why.isEmpty() ? QStringLiteral("no answer") : why));
  }
  reportedUp_ = up ? 1 : 0;
}

bool WireDriver::refresh(unsigned long long startedAt, QString* why) {
  PlcValues values;
  try {
    values = link_->read(plan_);
  } catch (const PlcLinkError& e) {
    *why = e.text();
    return false;
  } catch (const std::exception& e) {
    *why = QString::fromLocal8Bit(e.what());
    return false;
  }
  // Stamped here, off the UI thread: making a local date and time is not cheap.
  const QDateTime stamp = wall_ ? QDateTime() : QDateTime::currentDateTime();
  std::lock_guard lock(mutex_);
  // The first good refresh after a gap opens a new session, in the same locked step that
  // brings its values, so no caller sees new values under the old session.
  if (!up_) ++session_;
  up_ = true;
  lastGoodWall_ = stamp;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    // (a)/(c): a value read before the item's latest write is older than that write.
    if (lastWrite_[i] > startedAt || pendingPerItem_[i] > 0) continue;
    const auto it = values.find(elements_[i]);
    if (it != values.end()) kept_[i] = it->second;
  }
  // (f): a refused write whose value the PLC now holds is in effect (an earlier attempt
  // that timed out was made after all). Dropped now, it can never be made again later,
  // when the PLC has set the bit anew for the next piece and the old acknowledgement
  // would acknowledge a phase nobody captured.
  std::erase_if(refused_, [&](const Write& w) {
    if (w.item == kNoItem) return false;
    const auto it = values.find(w.element);
    if (it == values.end() || it->second != w.raw) return false;
    --pendingPerItem_[w.item];
    return true;
  });
  lastGoodMs_ = steady_.now().count();
  return true;
}

void WireDriver::run() {
  std::unique_lock lock(mutex_);
  bool linkOpen = false;
  auto nextRefresh = RealClock::now();
  bool healthy = true;  // the last operation went through: pending writes go at once
  while (!stop_) {
    if (!wanted_) {
      up_ = false;
      written_.notify_all();
      if (linkOpen) {
        lock.unlock();
        link_->close();
        lock.lock();
        linkOpen = false;
        continue;
      }
      wake_.wait(lock, [&] { return stop_ || wanted_; });
      nextRefresh = RealClock::now();
      continue;
    }
    const auto now = RealClock::now();
    // (f): refused writes whose time has come go back behind the queue.
    while (!refused_.empty() && now >= refused_.front().retryAt) {
      pending_.push_back(refused_.front());
      refused_.pop_front();
    }
    const bool due = nudged_ || now >= nextRefresh;
    if (!pending_.empty() && (healthy || due)) {
      // (b): the queue goes out, in order, before anything is read.
      const Write w = pending_.front();
      writing_ = true;
      lock.unlock();
      QString why;
      const WriteResult result = makeWrite(w, &why);
      lock.lock();
      writing_ = false;
      linkOpen = true;
      if (result == WriteResult::Made) {
        pending_.pop_front();
        if (w.item != kNoItem) --pendingPerItem_[w.item];
        if (w.number != 0) confirmedUpTo_ = std::max(confirmedUpTo_, w.number);
        healthy = true;
      } else if (result == WriteResult::Refused) {
        Write aside = pending_.front();
        pending_.pop_front();
        aside.retryAt = RealClock::now() + timing_.refusedRetry;
        if (!aside.refusalReported) {
          aside.refusalReported = true;
          const QString item = w.item != kNoItem ? items_[w.item].name : QStringLiteral("element %1").arg(w.element.number);
          const QString line = QStringLiteral("PLC refuses the write of %1 = %2 (%3); reading goes on, the write "
                                              "is made again every %4 ms")
                                   .arg(item).arg(w.raw).arg(why).arg(timing_.refusedRetry.count());
          report(line);
        }
        refused_.push_back(aside);
        if (w.number != 0) lastRefused_ = w.number;
        healthy = true;
      } else {
        up_ = false;
        healthy = false;
        nudged_ = false;
        nextRefresh = RealClock::now() + timing_.refreshPeriod;
        reportLinkState(why);
      }
      written_.notify_all();
      continue;
    }
    if (pending_.empty() && due) {
      nudged_ = false;
      nextRefresh += timing_.refreshPeriod;
      if (nextRefresh < now) nextRefresh = now + timing_.refreshPeriod;
      const unsigned long long startedAt = writeCounter_;
      lock.unlock();
      QString why;
      const bool ok = refresh(startedAt, &why);
      lock.lock();
      linkOpen = true;
      healthy = ok;
      if (ok) {
        ++goodRefreshes_;
      } else {
        nextRefresh = RealClock::now() + timing_.refreshPeriod;
      }
      // A refresh that raced a new write still counts for the link's state, not its values.
      up_ = ok;
      reportLinkState(why);
      written_.notify_all();
      continue;
    }
    wake_.wait_until(lock, nextRefresh, [&] {
      return stop_ || nudged_ || !wanted_ || (healthy && !pending_.empty());
    });
  }
  lock.unlock();
  link_->close();
}

std::unique_ptr<ItemDriver> makeWireDriver(const ServerProject& p, const SteadyClock& steady,
                                           const Clock* wall) {
  const bool native = p.driver.startsWith(u"native");
  const WireDriver::ElementOf elementOf = native ? &nativeElement : &modbusElement;
  for (const auto& [name, address] : p.items) {
    try {
      elementOf(address);
    } catch (const Error& e) {
      throw Error(QStringLiteral("PLC server project \"%1\": item %2: %3").arg(p.fileName, name, e.text()));
    }
  }
  const WireTiming timing{std::chrono::milliseconds(p.refreshPeriodMs),
                          std::chrono::milliseconds(p.writeTimeoutMs),
                          std::chrono::milliseconds(p.refusedWriteRetryMs),
                          std::chrono::milliseconds(p.responseTimeoutMs)};
  std::unique_ptr<PlcLink> link;
  if (native) {
    NativeSettings s;
    s.station = p.station;
    s.responseTimeout = std::chrono::milliseconds(p.responseTimeoutMs);
    s.connectTimeout = std::chrono::milliseconds(p.connectTimeoutMs);
    s.backoff = ReconnectSettings::forRefreshPeriod(timing.refreshPeriod);
    std::unique_ptr<ByteTransport> transport;
    if (p.driver == u"native-tcp")
      transport = std::make_unique<TcpTransport>(p.host.toStdString(), effectivePort(p));
    else
      transport = std::make_unique<SerialTransport>(serialOf(p));
    link = std::make_unique<NativeLink>(std::move(transport), s);
  } else {
    ModbusSettings s;
    s.mode = p.driver == u"modbus-tcp" ? ModbusSettings::Mode::Tcp : ModbusSettings::Mode::Rtu;
    s.host = p.host.toStdString();
    s.port = effectivePort(p);
    s.serial = serialOf(p);
    s.unitId = p.unitId;
    s.responseTimeout = std::chrono::milliseconds(p.responseTimeoutMs);
    s.coilBase = 0;
    s.registerBase = 0;
    s.backoff = ReconnectSettings::forRefreshPeriod(timing.refreshPeriod);
    link = std::make_unique<ModbusLink>(s);
  }
  return std::make_unique<WireDriver>(std::move(link), elementOf, timing, steady, wall);
}

}  // namespace velta
