#pragma once
// systemd-logind's PowerOff (not interactive) over a D-Bus connection, the system bus in
// the program. The call waits for logind's answer, at most answerWait, so the request
// has left before the program ends; the outcome is one line to the log (logind accepted
// it, refused it and why, is absent, or did not answer in time).
#include <QDBusConnection>
#include <QString>
#include <chrono>
#include <functional>

#include "platform/shutdown_service.h"

namespace velta {

class LogindShutdown : public ShutdownService {
 public:
  using Log = std::function<void(const QString& line)>;

  // A log that writes "velta-station: " + line to stderr.
  static Log stderrLog();

  explicit LogindShutdown(QDBusConnection bus = QDBusConnection::systemBus(),
                          std::chrono::milliseconds answerWait = std::chrono::seconds(5), Log log = stderrLog());
  void requestPowerOff() override;

 private:
  QDBusConnection bus_;
  std::chrono::milliseconds answerWait_;
  Log log_;
};

}  // namespace velta
