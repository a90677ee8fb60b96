#include "plc/poll_cycle.h"

#include <cstdio>

#include "plc/fixed_point_text.h"
#include "plc/item_value.h"
#include "platform/station_log.h"

namespace velta {

namespace {

const QString kGroup = QString::fromLatin1(kItemGroup);
const QString kSystem = QStringLiteral("System");

quint64 linkSessionOf(const PlcServerRef& server) {
  auto* sessions = dynamic_cast<LinkSessions*>(server.get());
  return sessions ? sessions->linkSession() : 0;
}

void writeToStderr(const QString& reason) { LogLine(QStringLiteral("poll tick failed, the program ends: %1").arg(reason)); }

}  // namespace

PollCycle::PollCycle(FormState& form, PlcServerRef& server, const ObjectRegistry& registry,
                     ShutdownService& shutdown, TerminationRequest& termination,
                     const RegionalSettings& regional)
    : form_(form),
      server_(server),
      registry_(registry),
      shutdown_(shutdown),
      termination_(termination),
      regional_(regional),
      failureSink_(writeToStderr) {}

void PollCycle::Timer1Timer() {
  QString reason;
  try {
    tick();
    return;
  } catch (const std::exception& e) {
    reason = exceptionText(e);
  } catch (...) {
    reason = QStringLiteral("unknown failure");
  }
  tickFailed_ = true;
  termination_.requestTermination();
  if (failureSink_) failureSink_(reason);
}

Variant PollCycle::read(const char* item) {
  return requireServer(server_).GetItem(kGroup, QLatin1StringView(item));
}

bool PollCycle::is(const char* item, int v) {
  return itemIs(QLatin1StringView(item), read(item), v, regional_.decimalSeparator);
}

void PollCycle::tick() {
  const QChar sep = regional_.decimalSeparator;
  readoutsCapturable_ = false;

  // 1. Keep the link asked for.
  requireServer(server_).SetItem(kSystem, QStringLiteral("Connect"), Variant(QStringLiteral("1")));

  // 2. Connection state, shown in step 8.
  const bool linkUp = !is("Update", 0);
  const QString connection = linkUp ? kConnectionUp : kConnectionDown;
  const ReadingsSource now{server_, linkSessionOf(server_), linkUp};
  readoutsCapturable_ = now.linkUp && shown_.linkUp && shown_.session == now.session &&
                        !shown_.server.expired() && shown_.server.lock() == server_;

  // 3. The PLC's shutdown command; the rest of the tick still runs.
  if (is("M7", 1)) {
    if (!shutdownOrdered_) LogLine(QStringLiteral("the PLC orders the PC to power off (M7); the program ends"));
    shutdownOrdered_ = true;
    form_.setText(ctl::Edit8, kShutdownCommandText);
    shutdown_.requestPowerOff();
    termination_.requestTermination();
  }

  // 4. The test-cycle sequencer.
  if (testCycle_) testCycle_();

  // 5. Data transfer and label printer.
  if (is("M0", 0)) {
    form_.setSpeedButton1Enabled(true);
    form_.setText(ctl::Edit1, kTransferOff);
    form_.setColor(ctl::Edit1, kRed);
    form_.setText(ctl::Edit7, kPrinterOff);
    form_.setColor(ctl::Edit7, kRed);
  } else {
    form_.setSpeedButton1Enabled(false);
    form_.setText(ctl::Edit1, kTransferOn);
    form_.setColor(ctl::Edit1, kLime);
    if (is("M8", 1)) {
      form_.setText(ctl::Edit7, kPrinterOn);
      form_.setColor(ctl::Edit7, kLime);
    } else {
      form_.setText(ctl::Edit7, kPrinterOff);
      form_.setColor(ctl::Edit7, kRed);
    }
  }

  // 6. The measuring registers, each converted as it is read.
  const qint32 airPressure = registerFromText(QStringLiteral("R5"), read("R5"), sep);
  const qint32 width = registerFromText(QStringLiteral("R7"), read("R7"), sep);
  const qint32 length = registerFromText(QStringLiteral("R8"), read("R8"), sep);
  const qint32 loadLow = registerStraight(QStringLiteral("R10"), read("R10"), sep);
  const qint32 loadHigh = registerStraight(QStringLiteral("R11"), read("R11"), sep);
  const quint32 load = joinLoad(loadLow, loadHigh);

  // 7. The live readings.
  form_.setText(ctl::Edit2, fixedPointText(airPressure, 3, 5, 3, sep));
  form_.setText(ctl::Edit3, fixedPointText(load, 3, 7, 3, sep));
  form_.setText(ctl::Edit4, fixedPointText(width, 1, 5, 1, sep));
  form_.setText(ctl::Edit5, fixedPointText(length, 2, 5, 2, sep));
  shown_ = now;

  // 8. Status bar.
  form_.setStatusPanel(0, connection);
  form_.setStatusPanel(1, itemText(QStringLiteral("UpdateTime"), read("UpdateTime"), sep));
  form_.setStatusPanel(2, kMakerBanner);
}

void PollCycle::SpeedButton7Click() {
  LogLine(QStringLiteral("PLC BAĞLAN: the PLC item server is made anew and connected"));
  server_ = registry_.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
  server_->OpenProject(kPlcProjectPath);
  server_->SetItem(kSystem, QStringLiteral("connect"), Variant(QStringLiteral("1")));
}

}  // namespace velta
