#pragma once
// The item server's link to one PLC: a driver keeps the latest value of every item of
// the project's table and reports the state of the link. The server (ItemServer) turns
// item names into table indices and the driver's state into "Update"/"UpdateTime".
//
// Contract for every driver:
// - Ownership: the server creates the driver with its project and owns it; the driver
//   is destroyed before the server. start() is called once, before any other call.
// - Thread: the server calls the driver only from its own (the UI) thread. A wire driver
//   refreshes every item on a background thread of its own, once per refresh period,
//   in as few requests as the protocol allows; it guards what that thread shares with a
//   mutex held only to copy values, never across a wire exchange, and joins the thread
//   in its destructor.
// - value() never waits on the wire: it returns the value kept from the last good
//   refresh (or the last write); before the first refresh every value is 0.
// - write() updates the kept value at once and, while the link is up, writes to the PLC
//   within the project's write timeout. A write that cannot be made (link down, timeout,
//   exception reply) marks the link down and stays pending; pending writes are made in
//   their order, before the next refresh, as soon as the link is back, and a refresh
//   never overwrites a kept value whose write is still pending. So an acknowledgement
//   is neither lost nor taken back while the link is down. Link faults are never errors
//   of value() or write(); both throw Error only for a value the item cannot hold.
// - connect() asks for the link to be made (again) and returns at once; a wire driver
//   also reconnects by itself after a fault. disconnect() drops the link.
// - link() tells whether the last refresh succeeded and when the last good one was, and
//   numbers the link's sessions: session changes (grows) every time the link comes up
//   again after a gap, before any value of the new session can be read, so a caller can
//   tell values kept from before a gap from values read after it.
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <vector>

namespace velta {

// A PLC address in Modbus terms: a coil (one bit) or a holding register (16 bits).
struct PlcAddress {
  enum class Area { Coil, Register };
  Area area = Area::Coil;
  int index = 0;  // 0-based protocol address, 0 .. 65535
  bool operator==(const PlcAddress&) const = default;
};

struct DriverItem {
  QString name;  // upper case, e.g. "M2", for messages
  PlcAddress address;
};

struct LinkState {
  bool up = false;
  QDateTime lastGoodRefresh;  // invalid until the first good refresh
  quint64 session = 0;        // 0 until the link first came up; +1 at every new up
};

class ItemDriver {
 public:
  virtual ~ItemDriver() = default;

  // The table the server will address by index; called once.
  virtual void start(const std::vector<DriverItem>& items) = 0;
  virtual void connect() = 0;
  virtual void disconnect() = 0;

  // Coils hold 0 or 1; registers their unsigned 16-bit value 0 .. 65535.
  virtual qint64 value(std::size_t item) = 0;
  // raw is 0 or 1 for a coil, 0 .. 65535 for a register (the server checks the range).
  virtual void write(std::size_t item, qint64 raw) = 0;

  virtual LinkState link() = 0;
};

}  // namespace velta
