#pragma once
// The memory image of a simulated PLC: M bits and R registers, guarded by one mutex so
// that the machine loop and the protocol peers can share it. The Modbus peer serves it
// through libmodbus directly (coils from coilBase, holding registers from 0).
#include <cstdint>
#include <functional>
#include <mutex>

struct _modbus_mapping_t;

namespace velta {

class PlcMemory {
 public:
  explicit PlcMemory(int bits = 256, int registers = 256, int coilBase = 2000);
  ~PlcMemory();
  PlcMemory(const PlcMemory&) = delete;
  PlcMemory& operator=(const PlcMemory&) = delete;

  int bitCount() const { return bits_; }
  int registerCount() const { return registers_; }
  int coilBase() const { return coilBase_; }

  // Out-of-range numbers read as 0 / are ignored on write; use has*() to check.
  bool hasBit(int m) const { return m >= 0 && m < bits_; }
  bool hasRegister(int r) const { return r >= 0 && r < registers_; }
  bool bit(int m) const;
  void setBit(int m, bool v);
  std::uint16_t reg(int r) const;
  void setReg(int r, std::uint16_t v);

  // Runs f with the mapping under the lock (for modbus_reply).
  void withMapping(const std::function<void(_modbus_mapping_t*)>& f);

 private:
  mutable std::mutex mutex_;
  int bits_, registers_, coilBase_;
  _modbus_mapping_t* map_;
};

}  // namespace velta
