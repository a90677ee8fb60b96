// Fuzz target: the read planner (Modbus block reads and native mixed reads) and the
// register -> value mapping of PlcLink::read. Our Modbus code parses no frames (libmodbus
// does); what is ours is which blocks we ask for and where each answered value lands.
// Properties, against a PLC memory image the input fills:
//   - the plan covers exactly the elements asked for (sorted, no duplicates);
//   - every block keeps to its limits, starts and ends on an element asked for, and
//     spans no gap wider than allowed; every mixed request holds 1..max elements;
//   - every value PlcLink::read returns for an element is what the memory held there.
#include <QString>
#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "platform/itemserver/wire/plc_link.h"
#include "platform/itemserver/wire/read_plan.h"
#include "tests/fuzz/fuzz_input.h"

namespace velta {
namespace {

using fuzz::broken;

// A PLC whose every element holds a value derived from its number and a seed; reads
// check they keep to the limits a request may have.
class MemoryLink : public PlcLink {
 public:
  MemoryLink(std::uint32_t seed, const BlockLimits& limits) : seed_(seed), limits_(limits) {}
  std::uint16_t held(const PlcElement& e) const {
    const std::uint32_t h = (static_cast<std::uint32_t>(e.number) * 2654435761u) ^ seed_ ^
                            (e.area == PlcElement::Area::Bit ? 0x9E37u : 0u);
    return e.area == PlcElement::Area::Bit ? (h >> 7) & 1 : static_cast<std::uint16_t>(h >> 9);
  }
  void connect() override {}
  void close() override {}
  bool isOpen() const override { return true; }
  std::vector<bool> readBits(int first, int count) override {
    if (count < 1 || count > std::max(1, limits_.maxBits) || first < 0) broken("bit block out of limits");
    std::vector<bool> v;
    for (int i = 0; i < count; ++i) v.push_back(held(PlcElement::bit(first + i)));
    return v;
  }
  std::vector<std::uint16_t> readRegisters(int first, int count) override {
    if (count < 1 || count > std::max(1, limits_.maxRegisters) || first < 0)
      broken("register block out of limits");
    std::vector<std::uint16_t> v;
    for (int i = 0; i < count; ++i) v.push_back(held(PlcElement::reg(first + i)));
    return v;
  }
  void writeBit(int, bool) override {}
  void writeRegister(int, std::uint16_t) override {}
  ReadPlan planReads(const std::vector<PlcElement>& elements) const override {
    return planBlockReads(elements, limits_);
  }
  QString describe() const override { return QStringLiteral("memory"); }

 private:
  std::uint32_t seed_;
  BlockLimits limits_;
};

void checkBlocks(const ReadPlan& plan, const std::set<PlcElement>& asked, const BlockLimits& limits) {
  for (const auto& r : plan.requests) {
    const bool bits = r.kind == ReadRequest::Kind::Bits;
    if (r.kind == ReadRequest::Kind::Mixed) broken("block plan holds a mixed request");
    const int max = std::max(1, bits ? limits.maxBits : limits.maxRegisters);
    const int gap = std::max(0, bits ? limits.bitGap : limits.registerGap);
    if (r.count < 1 || r.count > max) broken("block longer than its limit");
    auto make = [&](int n) { return bits ? PlcElement::bit(n) : PlcElement::reg(n); };
    if (!asked.count(make(r.first)) || !asked.count(make(r.first + r.count - 1)))
      broken("block starts or ends on an element nobody asked for");
    int last = r.first;
    for (int n = r.first + 1; n < r.first + r.count; ++n) {
      if (!asked.count(make(n))) continue;
      if (n - last - 1 > gap) broken("block spans a gap wider than allowed");
      last = n;
    }
  }
  for (const auto& e : asked) {
    const bool covered = std::any_of(plan.requests.begin(), plan.requests.end(), [&](const ReadRequest& r) {
      return (r.kind == ReadRequest::Kind::Bits) == (e.area == PlcElement::Area::Bit) &&
             e.number >= r.first && e.number < r.first + r.count;
    });
    if (!covered) broken("element left out of the block plan", e.name());
  }
}

void checkMixed(const ReadPlan& plan, const std::set<PlcElement>& asked, int maxPerRequest) {
  std::vector<PlcElement> all;
  for (const auto& r : plan.requests) {
    if (r.kind != ReadRequest::Kind::Mixed) broken("mixed plan holds a block");
    if (r.elements.empty() || r.elements.size() > static_cast<std::size_t>(std::max(1, maxPerRequest)) ||
        r.count != static_cast<int>(r.elements.size()))
      broken("mixed request of a wrong size");
    all.insert(all.end(), r.elements.begin(), r.elements.end());
  }
  if (all != std::vector<PlcElement>(asked.begin(), asked.end())) broken("mixed plan differs from the elements");
}

void checkValues(MemoryLink& link, const ReadPlan& plan) {
  const PlcValues values = link.read(plan);
  for (const auto& e : plan.elements) {
    const auto it = values.find(e);
    if (it == values.end()) broken("element missing from what read() returned", e.name());
    if (it->second != link.held(e)) broken("value landed on the wrong element", e.name());
  }
  for (const auto& [e, v] : values)
    if (v != link.held(e)) broken("gap element with a wrong value", e.name());
}

}  // namespace
}  // namespace velta

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velta;
  fuzz::FuzzInput in(data, size);
  BlockLimits limits;
  limits.maxBits = static_cast<int>(in.inRange(-1, 2000));
  limits.maxRegisters = static_cast<int>(in.inRange(-1, 125));
  limits.bitGap = static_cast<int>(in.inRange(-1, 200));
  limits.registerGap = static_cast<int>(in.inRange(-1, 200));
  const int maxMixed = static_cast<int>(in.inRange(-1, 64));
  const auto seed = static_cast<std::uint32_t>(in.bits64());
  std::vector<PlcElement> elements;
  std::set<PlcElement> asked;
  // Element numbers as offsets from the one before, so that runs, gaps and repeats are
  // all one byte away.
  int bit = 0, reg = 0;
  while (!in.empty() && elements.size() < 4096) {
    const std::uint8_t b = in.byte();
    int& n = b & 1 ? reg : bit;
    n = b & 0x80 ? static_cast<int>(in.inRange(0, 65535)) : n + (b >> 1 & 0x3F);
    const PlcElement e = b & 1 ? PlcElement::reg(n) : PlcElement::bit(n);
    elements.push_back(e);
    asked.insert(e);
  }
  const ReadPlan blocks = planBlockReads(elements, limits);
  if (blocks.elements != std::vector<PlcElement>(asked.begin(), asked.end()))
    broken("block plan's element list");
  checkBlocks(blocks, asked, limits);
  MemoryLink link(seed, limits);
  checkValues(link, blocks);

  const ReadPlan mixed = planMixedReads(elements, maxMixed);
  checkMixed(mixed, asked, maxMixed);
  checkValues(link, mixed);
  return 0;
}
