#pragma once
// A link to one PLC station. Element numbers are PLC numbers (M0, R5 -> 0, 5); each
// link maps them onto its protocol's addresses. Every operation is bounded by the
// link's time-outs and raises PlcLinkError on failure.
//
// Recovery is the link's own business: after a connection error, a time-out or garbage
// the link drops or resynchronises its connection, and the next operation reconnects
// by itself, no sooner than its reconnect back-off allows (an operation refused by the
// back-off raises ConnectionLost at once, without touching the wire). connect() opens at
// once, ignoring the back-off.
//
// Thread contract: a link is used by one thread at a time (it may move between threads).
#include <QString>
#include <cstdint>
#include <vector>

#include "platform/itemserver/wire/plc_element.h"
#include "platform/itemserver/wire/plc_link_error.h"
#include "platform/itemserver/wire/read_plan.h"

namespace velta {

class PlcLink {
 public:
  virtual ~PlcLink() = default;

  virtual void connect() = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  // count >= 1 elements from first; bits come back as 0/1.
  virtual std::vector<bool> readBits(int first, int count) = 0;
  virtual std::vector<std::uint16_t> readRegisters(int first, int count) = 0;
  // Any elements in one go where the protocol allows it; by default one request each.
  virtual std::vector<std::uint16_t> readMixed(const std::vector<PlcElement>& elements);

  virtual void writeBit(int m, bool value) = 0;
  virtual void writeRegister(int r, std::uint16_t value) = 0;
  // Consecutive elements from first in one request where the protocol allows it
  // (Modbus 15/16, native 45/47); by default one request each.
  virtual void writeBits(int first, const std::vector<bool>& values);
  virtual void writeRegisters(int first, const std::vector<std::uint16_t>& values);

  // The fewest requests this protocol needs to read all of elements.
  virtual ReadPlan planReads(const std::vector<PlcElement>& elements) const = 0;
  // Runs every request of plan; the result holds every element read (a block brings
  // its unmapped gap elements along). The first failing request raises.
  PlcValues read(const ReadPlan& plan);

  // "modbus-tcp 127.0.0.1:502 unit 1" and the like, for logs and messages.
  virtual QString describe() const = 0;

 protected:
  // Called when every request of a read plan went through: the link is healthy again.
  virtual void refreshSucceeded() {}
};

}  // namespace velta
