#pragma once
// Monotonic time for the item server's drivers: refresh periods, timeouts and the
// simulated machine's schedule. Tests replace it with ManualSteadyClock. Any thread.
#include <atomic>
#include <chrono>

namespace velta {

class SteadyClock {
 public:
  using Ms = std::chrono::milliseconds;
  virtual ~SteadyClock() = default;
  virtual Ms now() const = 0;  // since an arbitrary fixed origin
};

class SystemSteadyClock : public SteadyClock {
 public:
  Ms now() const override {
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now().time_since_epoch());
  }
};

// Stands still until advanced.
class ManualSteadyClock : public SteadyClock {
 public:
  Ms now() const override { return Ms(ms_.load()); }
  void advance(Ms by) { ms_ += by.count(); }
  void set(Ms at) { ms_ = at.count(); }

 private:
  std::atomic<long long> ms_{0};
};

}  // namespace velta
