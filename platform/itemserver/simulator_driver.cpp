#include "platform/itemserver/simulator_driver.h"

#include <algorithm>
#include <cmath>

#include "platform/error.h"

namespace velta {

namespace {

// Standard addresses of the machine's bits and registers.
constexpr int coilOf(int m) { return 2000 + m; }
constexpr int kM0 = coilOf(0), kM7 = coilOf(7), kM8 = coilOf(8);
constexpr int kStageBit[5] = {coilOf(2), coilOf(3), coilOf(4), coilOf(5), coilOf(6)};
constexpr int kR5 = 5, kR7 = 7, kR8 = 8, kR10 = 10, kR11 = 11;
constexpr long long kSampleMs = 100;

quint64 mix(quint64 x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Repeatable noise in [-1, 1) from the seed and three coordinates.
double unit(quint64 seed, quint64 a, quint64 b, quint64 channel) {
  const quint64 h = mix(seed ^ mix(a ^ mix(b ^ mix(channel))));
  return static_cast<double>(h >> 11) * 0x1.0p-53 * 2.0 - 1.0;
}

qint64 clamp16(double v) { return std::clamp<qint64>(std::llround(v), 0, 65535); }

}  // namespace

SimulatorDriver::SimulatorDriver(const ServerProject& project, const SteadyClock& steady,
                                 const Clock& wall, LogSink log)
    : project_(project), steady_(steady), wall_(wall), log_(std::move(log)) {
  setCoil(kM0, project_.dataTransfer);
  setCoil(kM8, project_.labelPrinter);
  dueAt_ = steady_.now() + SteadyClock::Ms(project_.pieceIntervalMs);
  updateReadings(steady_.now());
}

void SimulatorDriver::start(const std::vector<DriverItem>& items) {
  items_ = items;
  kept_.assign(items_.size(), 0);
}

void SimulatorDriver::connect() {
  advance();
  if (up_) return;
  up_ = true;
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
  return a.area == PlcAddress::Area::Coil ? coils_[a.index] : registers_[a.index];
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
  return {up_, lastRefresh_};
}

void SimulatorDriver::advance() {
  const SteadyClock::Ms now = steady_.now();
  if (!bitSet_ && now >= dueAt_) {
    setCoil(kStageBit[stage_], true);
    bitSet_ = true;
  }
  updateReadings(now);
  if (up_ && (lastRefreshAt_.count() < 0 ||
              now - lastRefreshAt_ >= SteadyClock::Ms(project_.refreshPeriodMs))) {
    lastRefresh_ = QDateTime(wall_.currentDate(), wall_.currentTime());
    lastRefreshAt_ = now;
  }
}

void SimulatorDriver::machineWrite(const PlcAddress& a, qint64 raw) {
  if (a.area == PlcAddress::Area::Register) {
    setRegister(a.index, raw);
    return;
  }
  setCoil(a.index, raw != 0);
  if (raw != 0 || !bitSet_ || a.index != kStageBit[stage_]) return;

  // The program acknowledged the bit being worked on.
  const SteadyClock::Ms now = steady_.now();
  bitSet_ = false;
  if (stage_ < 4) {
    ++stage_;
    dueAt_ = now + SteadyClock::Ms(project_.phaseIntervalMs);
  } else {
    ++finished_;
    if (log_) log_(QStringLiteral("simulator: piece %1 finished").arg(finished_));
    ++piece_;
    stage_ = 0;
    dueAt_ = now + SteadyClock::Ms(project_.pieceIntervalMs);
    if (project_.shutdownAfterPieces > 0 && finished_ >= project_.shutdownAfterPieces) {
      setCoil(kM7, true);
      dueAt_ = SteadyClock::Ms::max();  // the machine stops with the PC
    }
  }
  lastSample_ = -1;  // the readings follow the new stage at once
  updateReadings(now);
}

void SimulatorDriver::updateReadings(SteadyClock::Ms now) {
  const long long sample = now.count() / kSampleMs;
  if (sample == lastSample_) return;
  lastSample_ = sample;

  // The piece is in the press from shortly before its first phase until its end bit.
  const bool loaded =
      stage_ < 4 && (stage_ > 0 || bitSet_ ||
                     SteadyClock::Ms(sample * kSampleMs + project_.phaseIntervalMs) >= dueAt_);
  const quint64 seed = project_.seed;
  const auto noise = [&](quint64 channel) { return unit(seed, 1000 + piece_, sample, channel); };
  const auto nominal = [&](quint64 channel) { return unit(seed, piece_, 0, channel); };

  double air = 6000 + 15 * noise(11);
  double load = 100 * (noise(12) + 1);
  double width = 0, length = 0;
  if (loaded) {
    static constexpr double kAirDrop[4] = {0, -40, -80, -30};
    static constexpr double kLoadShare[4] = {0.35, 0.7, 1.0, 0.5};
    static constexpr double kWidthGrowth[4] = {0, 1, 2, 1};
    static constexpr double kLengthShrink[4] = {0, -10, -20, -5};
    air += 150 * nominal(1) + kAirDrop[stage_];
    load = (1500000 + 60000 * nominal(2)) * kLoadShare[stage_] + 500 * noise(12);
    width = 300 + 5 * nominal(3) + kWidthGrowth[stage_] + noise(13);
    length = 12000 + 80 * nominal(4) + kLengthShrink[stage_] + 3 * noise(14);
  }
  const auto rawLoad = static_cast<quint32>(std::clamp<qint64>(std::llround(load), 0, 0xFFFFFFFFll));
  setRegister(kR5, clamp16(air));
  setRegister(kR7, clamp16(width));
  setRegister(kR8, clamp16(length));
  setRegister(kR10, rawLoad & 0xFFFF);
  setRegister(kR11, rawLoad >> 16);
}

}  // namespace velta
