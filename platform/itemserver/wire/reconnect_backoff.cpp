#include "platform/itemserver/wire/reconnect_backoff.h"

#include <algorithm>

namespace velta {

void ReconnectBackoff::failed(Clock::time_point now) {
  goodInRow_ = 0;
  if (++failures_ == 1) {
    nextTry_ = now;  // it had worked: straight back
    return;
  }
  delay_ = delay_.count() == 0 ? settings_.initial : std::min(settings_.max, delay_ * 2);
  nextTry_ = now + delay_;
}

void ReconnectBackoff::connectFailed(Clock::time_point now) {
  goodInRow_ = 0;
  ++failures_;
  delay_ = std::max(delay_, settings_.initial);
  nextTry_ = now + delay_;
}

void ReconnectBackoff::succeeded() {
  if (++goodInRow_ < settings_.steadyRefreshes) return;
  failures_ = 0;
  delay_ = std::chrono::milliseconds{0};
  nextTry_ = {};
}

}  // namespace velta
