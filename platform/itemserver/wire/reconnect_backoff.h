#pragma once
// Spacing of automatic reconnection attempts.
// - The first failed exchange after a good refresh is retried at once (a connection
//   that worked and broke); every further failed exchange (a time-out, a garbled or
//   out-of-step reply, a connection lost in the middle) waits the initial delay, then
//   twice as long each time up to a cap, so a PLC that answers badly is never
//   reconnected at every refresh.
// - A connection attempt that fails (refused, unreachable) is a cheap check that loads
//   neither the PLC nor the station: it is repeated at the initial delay without
//   growing the wait, so a PLC that comes back is found within that delay.
// - Only a run of steadyRefreshes whole good refreshes in a row resets it: a peer that
//   answers now and then and breaks the connection in between (junk after its replies)
//   keeps a growing wait.
// Not thread-safe (it belongs to one link).
#include <algorithm>
#include <chrono>

namespace velta {

struct ReconnectSettings {
  std::chrono::milliseconds initial{100};  // delay after the first failed attempt
  std::chrono::milliseconds max{3000};     // cap of the doubling delay
  int steadyRefreshes = 10;                // good refreshes in a row that reset it

  // The delays in proportion to the link's refresh period: half a period and fifteen
  // periods (100 ms and 3 s at the PLC's usual 200 ms).
  static ReconnectSettings forRefreshPeriod(std::chrono::milliseconds period) {
    ReconnectSettings s;
    s.initial = std::max(std::chrono::milliseconds{5}, period / 2);
    s.max = std::max(s.initial, period * 15);
    return s;
  }
};

class ReconnectBackoff {
 public:
  using Clock = std::chrono::steady_clock;
  using Settings = ReconnectSettings;

  explicit ReconnectBackoff(Settings settings = {}) : settings_(settings) {}
  bool mayTryNow(Clock::time_point now = Clock::now()) const { return now >= nextTry_; }
  // A failed exchange on an open connection: the wait doubles.
  void failed(Clock::time_point now = Clock::now());
  // A connection attempt that failed: the wait stays (at least the initial delay).
  void connectFailed(Clock::time_point now = Clock::now());
  // A whole refresh went through.
  void succeeded();
  std::chrono::milliseconds currentDelay() const { return delay_; }

 private:
  Settings settings_;
  int failures_ = 0;     // failed exchanges and attempts since the last reset
  int goodInRow_ = 0;    // whole good refreshes since the last failure
  std::chrono::milliseconds delay_{0};
  Clock::time_point nextTry_{};
};

}  // namespace velta
