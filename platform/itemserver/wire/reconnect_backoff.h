#pragma once
// Spacing of automatic reconnection attempts: after each failed attempt the next one
// waits twice as long, up to a cap; a success resets the delay. Not thread-safe (it
// belongs to one link).
#include <chrono>

namespace velta {

struct ReconnectSettings {
  std::chrono::milliseconds initial{100};  // delay after the first failed attempt
  std::chrono::milliseconds max{3000};     // cap of the doubling delay
};

class ReconnectBackoff {
 public:
  using Clock = std::chrono::steady_clock;
  using Settings = ReconnectSettings;

  explicit ReconnectBackoff(Settings settings = {}) : settings_(settings) {}
  bool mayTryNow(Clock::time_point now = Clock::now()) const { return now >= nextTry_; }
  void failed(Clock::time_point now = Clock::now());
  void succeeded();
  std::chrono::milliseconds currentDelay() const { return delay_; }

 private:
  Settings settings_;
  std::chrono::milliseconds delay_{0};
  Clock::time_point nextTry_{};
};

}  // namespace velta
