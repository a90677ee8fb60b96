#include "platform/itemserver/wire/read_plan.h"

#include <algorithm>

namespace velta {

namespace {

void sortUnique(std::vector<PlcElement>& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

// Greedy runs over sorted numbers: a run grows while the next number is within gap+1
// of the run's end and the run stays within maxCount.
void planRuns(const std::vector<int>& numbers, ReadRequest::Kind kind, int maxCount, int gap,
              std::vector<ReadRequest>& out) {
  std::size_t i = 0;
  while (i < numbers.size()) {
    const int first = numbers[i];
    int last = first;
    std::size_t j = i + 1;
    while (j < numbers.size() && numbers[j] - last - 1 <= gap && numbers[j] - first + 1 <= maxCount) {
      last = numbers[j];
      ++j;
    }
    out.push_back(ReadRequest{kind, first, last - first + 1, {}});
    i = j;
  }
}

}  // namespace

ReadPlan planBlockReads(std::vector<PlcElement> elements, const BlockLimits& limits) {
  sortUnique(elements);
  std::vector<int> bits, regs;
  for (const auto& e : elements) (e.area == PlcElement::Area::Bit ? bits : regs).push_back(e.number);
  ReadPlan plan;
  planRuns(bits, ReadRequest::Kind::Bits, std::max(1, limits.maxBits), std::max(0, limits.bitGap),
           plan.requests);
  planRuns(regs, ReadRequest::Kind::Registers, std::max(1, limits.maxRegisters),
           std::max(0, limits.registerGap), plan.requests);
  plan.elements = std::move(elements);
  return plan;
}

ReadPlan planMixedReads(std::vector<PlcElement> elements, int maxPerRequest) {
  sortUnique(elements);
  const std::size_t step = static_cast<std::size_t>(std::max(1, maxPerRequest));
  ReadPlan plan;
  for (std::size_t i = 0; i < elements.size(); i += step) {
    ReadRequest r;
    r.kind = ReadRequest::Kind::Mixed;
    r.elements.assign(elements.begin() + static_cast<std::ptrdiff_t>(i),
                      elements.begin() + static_cast<std::ptrdiff_t>(std::min(elements.size(), i + step)));
    r.count = static_cast<int>(r.elements.size());
    plan.requests.push_back(std::move(r));
  }
  plan.elements = std::move(elements);
  return plan;
}

}  // namespace velta
