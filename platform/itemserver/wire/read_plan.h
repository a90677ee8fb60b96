#pragma once
// Planning the fewest read requests for a set of mapped elements.
#include <vector>

#include "platform/itemserver/wire/plc_element.h"

namespace velta {

struct ReadRequest {
  enum class Kind { Bits, Registers, Mixed };
  Kind kind = Kind::Bits;
  int first = 0;  // Bits/Registers: first element number of the block
  int count = 0;  // Bits/Registers: elements in the block (gaps included)
  std::vector<PlcElement> elements;  // Mixed: the elements, in request order
};

struct ReadPlan {
  std::vector<ReadRequest> requests;
  std::vector<PlcElement> elements;  // every element the plan covers, sorted, no duplicates
};

struct BlockLimits {
  int maxBits = 2000;      // Modbus FC1 limit per request
  int maxRegisters = 125;  // Modbus FC3 limit per request
  int bitGap = 64;         // unmapped bits a block may span to save a request
  int registerGap = 16;    // unmapped registers a block may span
};

// Contiguous or near runs of bits and of registers, one block request each.
ReadPlan planBlockReads(std::vector<PlcElement> elements, const BlockLimits& limits = {});

// One mixed request per maxPerRequest elements (bits and registers together).
ReadPlan planMixedReads(std::vector<PlcElement> elements, int maxPerRequest = 64);

}  // namespace velta
