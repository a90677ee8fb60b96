#pragma once
// Asks the operating system to power the computer off. The call returns once the request
// has been answered or a bounded wait is over; the caller never looks at the outcome
// (the service tells it on its own). Never throws. UI thread.
namespace velta {

class ShutdownService {
 public:
  virtual ~ShutdownService() = default;
  virtual void requestPowerOff() = 0;
};

}  // namespace velta
