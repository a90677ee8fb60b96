#include "platform/itemserver/wire/reconnect_backoff.h"

#include <algorithm>

namespace velta {

void ReconnectBackoff::failed(Clock::time_point now) {
  delay_ = delay_.count() == 0 ? settings_.initial : std::min(settings_.max, delay_ * 2);
  nextTry_ = now + delay_;
}

void ReconnectBackoff::succeeded() {
  delay_ = std::chrono::milliseconds{0};
  nextTry_ = {};
}

}  // namespace velta
