#pragma once
// One addressable PLC element: a bit (M item) or a 16-bit register (R item).
#include <QString>
#include <compare>
#include <cstdint>
#include <map>

namespace velta {

struct PlcElement {
  enum class Area : std::uint8_t { Bit, Register };
  Area area = Area::Bit;
  int number = 0;  // M or R number, from 0

  static PlcElement bit(int m) { return {Area::Bit, m}; }
  static PlcElement reg(int r) { return {Area::Register, r}; }
  // "M0", "m12", "R5" -> element; anything else raises velta::Error naming the text.
  static PlcElement parse(const QString& item);
  QString name() const;  // "M0", "R5"

  friend auto operator<=>(const PlcElement&, const PlcElement&) = default;
};

// Values read from the PLC: bits as 0/1, registers as their 16-bit value.
using PlcValues = std::map<PlcElement, std::uint16_t>;

}  // namespace velta
