#include "platform/itemserver/wire/sim/plc_memory.h"

#include <modbus/modbus.h>

#include <new>

namespace velta {

PlcMemory::PlcMemory(int bits, int registers, int coilBase)
    : bits_(bits), registers_(registers), coilBase_(coilBase),
      map_(modbus_mapping_new_start_address(static_cast<unsigned>(coilBase), static_cast<unsigned>(bits),
                                            0, 0, 0, static_cast<unsigned>(registers), 0, 0)) {
  if (!map_) throw std::bad_alloc();
}

PlcMemory::~PlcMemory() { modbus_mapping_free(map_); }

bool PlcMemory::bit(int m) const {
  std::lock_guard lock(mutex_);
  return hasBit(m) && map_->tab_bits[m] != 0;
}

void PlcMemory::setBit(int m, bool v) {
  std::lock_guard lock(mutex_);
  if (hasBit(m)) map_->tab_bits[m] = v ? 1 : 0;
}

std::uint16_t PlcMemory::reg(int r) const {
  std::lock_guard lock(mutex_);
  return hasRegister(r) ? map_->tab_registers[r] : 0;
}

void PlcMemory::setReg(int r, std::uint16_t v) {
  std::lock_guard lock(mutex_);
  if (hasRegister(r)) map_->tab_registers[r] = v;
}

void PlcMemory::withMapping(const std::function<void(_modbus_mapping_t*)>& f) {
  std::lock_guard lock(mutex_);
  f(map_);
}

}  // namespace velta
