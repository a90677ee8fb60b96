#include "platform/itemserver/simulator_driver.h"

#include <algorithm>
#include <cmath>

#include "platform/error.h"

namespace velta {

namespace {

MachineSettings machineSettings(const ServerProject& p) {
  return {p.seed, p.pieceIntervalMs, p.phaseIntervalMs, p.dataTransfer, p.labelPrinter,
          p.shutdownAfterPieces};
}

}  // namespace

SimulatorDriver::SimulatorDriver(const ServerProject& project, const SteadyClock& steady,
                                 const Clock& wall, LogSink log)
    : project_(project), steady_(steady), wall_(wall), log_(std::move(log)),
      machine_(machineSettings(project_), memory_, steady_.now(), [this](int n) {
        if (log_) log_(QStringLiteral("simulator: piece %1 finished").arg(n));
      }) {}

void SimulatorDriver::start(const std::vector<DriverItem>& items) {
  items_ = items;
  kept_.assign(items_.size(), 0);
}

void SimulatorDriver::connect() {
  // The station's first connect request switches the machine on, so the first piece
  // comes a piece interval after the station began polling, not during its start-up.
  if (!switchedOn_) {
    switchedOn_ = true;
    machine_.switchOn(steady_.now());
  }
  advance();
  if (up_) return;
  up_ = true;
  ++session_;
  for (const auto& [item, raw] : pending_) machineWrite(items_[item].address, raw);
  pending_.clear();
  lastRefreshAt_ = SteadyClock::Ms(-1);
  advance();
}

void SimulatorDriver::disconnect() {
  advance();
  if (!up_) return;
  for (std::size_t i = 0; i < items_.size(); ++i) kept_[i] = memory(items_[i].address);
  up_ = false;
}

qint64 SimulatorDriver::memory(const PlcAddress& a) const {
  return a.area == PlcAddress::Area::Coil ? memory_.coils[a.index] : memory_.registers[a.index];
}

qint64 SimulatorDriver::value(std::size_t item) {
  advance();
  return up_ ? memory(items_.at(item).address) : kept_.at(item);
}

void SimulatorDriver::write(std::size_t item, qint64 raw) {
  advance();
  const PlcAddress& a = items_.at(item).address;
  if (up_) {
    machineWrite(a, raw);
  } else {
    kept_[item] = raw;
    pending_.emplace_back(item, raw);
  }
}

LinkState SimulatorDriver::link() {
  advance();
  return {up_, lastRefresh_, session_};
}

void SimulatorDriver::advance() {
  const SteadyClock::Ms now = steady_.now();
  machine_.step(now);
  if (up_ && (lastRefreshAt_.count() < 0 ||
              now - lastRefreshAt_ >= SteadyClock::Ms(project_.refreshPeriodMs))) {
    lastRefresh_ = QDateTime(wall_.currentDate(), wall_.currentTime());
    lastRefreshAt_ = now;
  }
}

void SimulatorDriver::machineWrite(const PlcAddress& a, qint64 raw) {
  if (a.area == PlcAddress::Area::Register)
    memory_.registers[a.index] = static_cast<quint16>(raw);
  else
    memory_.coils[a.index] = raw != 0 ? 1 : 0;
  // The machine sees an acknowledgement at once.
  machine_.step(steady_.now());
}

}  // namespace velta
