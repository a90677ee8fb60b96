#include "platform/logind_shutdown.h"
#include "platform/station_log.h"

#include <QDBusError>
#include <QDBusMessage>
#include <cstdio>

namespace velta {

LogindShutdown::Log LogindShutdown::stderrLog() {
  return [](const QString& line) { LogLine(line); };
}

LogindShutdown::LogindShutdown(QDBusConnection bus, std::chrono::milliseconds answerWait, Log log)
    : bus_(std::move(bus)), answerWait_(answerWait), log_(std::move(log)) {}

void LogindShutdown::requestPowerOff() {
  auto msg = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
  msg << false;  // not interactive: no authentication prompt
  // Blocking without an event loop: no tick runs while the program is ending anyway,
  // and an asynchronous call sent just before exit may never leave the process.
  const QDBusMessage reply = bus_.call(msg, QDBus::Block, static_cast<int>(answerWait_.count()));
  if (reply.type() == QDBusMessage::ReplyMessage) {
    log_(QStringLiteral("power-off requested, logind accepted it"));
    return;
  }
  const QString why =
      QDBusError(reply).type() == QDBusError::NoReply
          ? QStringLiteral("logind did not answer within %1 ms").arg(answerWait_.count())
          : QStringLiteral("%1 (%2)").arg(reply.errorMessage(), reply.errorName());
  log_(QStringLiteral("the PC is not powered off: %1").arg(why));
}

}  // namespace velta
