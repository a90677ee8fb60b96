#pragma once
// Asks the operating system to power the computer off. Fire and forget: the caller
// never waits for or looks at the answer. UI thread.
namespace velta {

class ShutdownService {
 public:
  virtual ~ShutdownService() = default;
  virtual void requestPowerOff() = 0;
};

// systemd-logind's PowerOff over the system bus.
class LogindShutdown : public ShutdownService {
 public:
  void requestPowerOff() override;
};

}  // namespace velta
