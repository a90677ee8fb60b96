#include "platform/itemserver/wire/plc_link.h"

namespace velta {

std::vector<std::uint16_t> PlcLink::readMixed(const std::vector<PlcElement>& elements) {
  std::vector<std::uint16_t> values;
  values.reserve(elements.size());
  for (const auto& e : elements) {
    if (e.area == PlcElement::Area::Bit)
      values.push_back(readBits(e.number, 1).at(0) ? 1 : 0);
    else
      values.push_back(readRegisters(e.number, 1).at(0));
  }
  return values;
}

void PlcLink::writeBits(int first, const std::vector<bool>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) writeBit(first + static_cast<int>(i), values[i]);
}

void PlcLink::writeRegisters(int first, const std::vector<std::uint16_t>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) writeRegister(first + static_cast<int>(i), values[i]);
}

PlcValues PlcLink::read(const ReadPlan& plan) {
  PlcValues values;
  for (const auto& req : plan.requests) {
    switch (req.kind) {
      case ReadRequest::Kind::Bits: {
        const auto bits = readBits(req.first, req.count);
        for (int i = 0; i < req.count; ++i) values[PlcElement::bit(req.first + i)] = bits[i] ? 1 : 0;
        break;
      }
      case ReadRequest::Kind::Registers: {
        const auto regs = readRegisters(req.first, req.count);
        for (int i = 0; i < req.count; ++i) values[PlcElement::reg(req.first + i)] = regs[i];
        break;
      }
      case ReadRequest::Kind::Mixed: {
        const auto v = readMixed(req.elements);
        for (std::size_t i = 0; i < req.elements.size(); ++i) values[req.elements[i]] = v[i];
        break;
      }
    }
  }
  refreshSucceeded();
  return values;
}

}  // namespace velta
