#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>

#include "platform/shutdown_service.h"

namespace velta {

void LogindShutdown::requestPowerOff() {
  auto msg = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
  msg << false;  // not interactive: no authentication prompt
  QDBusConnection::systemBus().asyncCall(msg);  // result ignored on purpose
}

}  // namespace velta
