// The power-off request on a private D-Bus bus of the test's own, with python-dbusmock's
// logind stand-in on it: the call arrives with its argument before requestPowerOff
// returns, and a refusing, absent or silent logind ends in one line that says why.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <chrono>
#include <memory>

#include "platform/logind_shutdown.h"

namespace velta {
namespace {

using namespace std::chrono_literals;

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kMock = QStringLiteral("org.freedesktop.DBus.Mock");
// Debian's interpreter, where python3-dbusmock is installed.
const QString kPython = QStringLiteral("/usr/bin/python3");

class LogindShutdownTest : public ::testing::Test {
 protected:
  void SetUp() override {
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({"--session", "--nofork", "--print-address=1"});
    daemon_.start();
    ASSERT_TRUE(daemon_.waitForStarted(5000)) << "dbus-daemon (package dbus) is needed";
    ASSERT_TRUE(daemon_.waitForReadyRead(5000));
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    ASSERT_FALSE(address_.isEmpty());
    bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, QStringLiteral("velta-test")));
    ASSERT_TRUE(bus_->isConnected()) << bus_->lastError().message().toStdString();
  }
  void TearDown() override {
    bus_.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("velta-test"));
    for (QProcess* p : {&mock_, &daemon_}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->terminate();
      if (!p->waitForFinished(3000)) {
        p->kill();
        p->waitForFinished(1000);
      }
    }
  }

  // logind's stand-in on the private bus, its name taken before this returns.
  void startLogind() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    mock_.setProcessEnvironment(env);
    mock_.setProgram(kPython);
    mock_.setArguments({"-m", "dbusmock", "--session", "--template", "logind"});
    mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mock_.start();
    ASSERT_TRUE(mock_.waitForStarted(5000));
    QElapsedTimer t;
    t.start();
    while (!bus_->interface()->isServiceRegistered(kLogind) && t.elapsed() < 15000) {
      ASSERT_EQ(mock_.state(), QProcess::Running) << "python3-dbusmock is needed";
      QThread::msleep(20);
    }
    ASSERT_TRUE(bus_->interface()->isServiceRegistered(kLogind));
  }
  // Replaces the stand-in's PowerOff with Python code.
  void setPowerOff(const QString& code) {
    auto m = QDBusMessage::createMethodCall(kLogind, kLogindPath, kMock, QStringLiteral("AddMethod"));
    m << QStringLiteral("org.freedesktop.login1.Manager") << QStringLiteral("PowerOff") << QStringLiteral("b")
      << QString() << code;
    const QDBusMessage r = bus_->call(m);
    ASSERT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
  }
  // The stand-in's record of PowerOff calls: their arguments as text.
  QStringList powerOffCalls() {
    auto m = QDBusMessage::createMethodCall(kLogind, kLogindPath, kMock, QStringLiteral("GetMethodCalls"));
    m << QStringLiteral("PowerOff");
    const QDBusMessage r = bus_->call(m);
    EXPECT_EQ(r.type(), QDBusMessage::ReplyMessage) << r.errorMessage().toStdString();
    QStringList calls;
    if (r.arguments().isEmpty()) return calls;
    const QDBusArgument list = r.arguments().first().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
      qulonglong when = 0;
      QVariantList args;
      list.beginStructure();
      list >> when >> args;
      list.endStructure();
      QStringList texts;
      for (const QVariant& a : args) {
        const QVariant v = a.canConvert<QDBusVariant>() ? a.value<QDBusVariant>().variant() : a;
        texts << v.toString();
      }
      calls << texts.join(u',');
    }
    list.endArray();
    return calls;
  }
  // Requests the power-off and returns the log's lines and the time it took.
  QStringList requestPowerOff(std::chrono::milliseconds wait, qint64* tookMs = nullptr) {
    QStringList lines;
    LogindShutdown shutdown(*bus_, wait, [&lines](const QString& l) { lines << l; });
    QElapsedTimer t;
    t.start();
    shutdown.requestPowerOff();
    if (tookMs) *tookMs = t.elapsed();
    return lines;
  }

  QProcess daemon_, mock_;
  QString address_;
  std::unique_ptr<QDBusConnection> bus_;
};

TEST_F(LogindShutdownTest, TheCallArrivesWithItsArgumentBeforeTheRequestReturns) {
  startLogind();
  const QStringList lines = requestPowerOff(5s);
  EXPECT_EQ(powerOffCalls(), QStringList{"false"}) << "one call, not interactive";
  EXPECT_EQ(lines, QStringList{"power-off requested, logind accepted it"});
}

TEST_F(LogindShutdownTest, ARefusalIsOneLineWithLogindsReason) {
  startLogind();
  setPowerOff(QStringLiteral("raise dbus.exceptions.DBusException('Interactive authentication required.', "
                             "name='org.freedesktop.DBus.Error.InteractiveAuthorizationRequired')"));
  const QStringList lines = requestPowerOff(5s);
  ASSERT_EQ(lines.size(), 1);
  EXPECT_EQ(lines[0], "the PC is not powered off: Interactive authentication required. "
                      "(org.freedesktop.DBus.Error.InteractiveAuthorizationRequired)");
}

TEST_F(LogindShutdownTest, AnAbsentLogindIsOneLineAndNoWait) {
  qint64 took = 0;
  const QStringList lines = requestPowerOff(5s, &took);
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].startsWith("the PC is not powered off: ")) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains("org.freedesktop.DBus.Error.ServiceUnknown")) << lines[0].toStdString();
  EXPECT_LT(took, 2000) << "the bus says at once that nobody has the name";
}

TEST_F(LogindShutdownTest, ALogindThatDoesNotAnswerIsWaitedForOnlyAsLongAsSaid) {
  startLogind();
  setPowerOff(QStringLiteral("__import__('time').sleep(3)"));
  qint64 took = 0;
  const QStringList lines = requestPowerOff(300ms, &took);
  EXPECT_EQ(lines, QStringList{"the PC is not powered off: logind did not answer within 300 ms"});
  EXPECT_LT(took, 2500) << "the wait is bounded by the given time, not by logind";
}

TEST_F(LogindShutdownTest, NoBusAtAllIsOneLine) {
  QDBusConnection none = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "velta-none");
  QStringList lines;
  LogindShutdown shutdown(none, 1s, [&lines](const QString& l) { lines << l; });
  shutdown.requestPowerOff();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].startsWith("the PC is not powered off: ")) << lines[0].toStdString();
  QDBusConnection::disconnectFromBus("velta-none");
}

}  // namespace
}  // namespace velta
