#include "platform/itemserver/machine_model.h"

#include <algorithm>
#include <cmath>

namespace velta {

namespace {

constexpr int kM0 = 0, kM7 = 7, kM8 = 8;
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

quint16 clamp16(double v) { return static_cast<quint16>(std::clamp<qint64>(std::llround(v), 0, 65535)); }

}  // namespace

MachineModel::MachineModel(const MachineSettings& settings, MachineMemory& memory, Ms now,
                           std::function<void(int)> finished)
    : settings_(settings), memory_(memory), onFinished_(std::move(finished)) {
  memory_.setBit(kM0, settings_.dataTransfer);
  memory_.setBit(kM8, settings_.labelPrinter);
  dueAt_ = now + Ms(settings_.pieceIntervalMs);
  updateReadings(now);
}

void MachineModel::switchOn(Ms now) {
  if (finished_ == 0 && stage_ == 0 && !bitSet_) dueAt_ = now + Ms(settings_.pieceIntervalMs);
}

void MachineModel::step(Ms now) {
  if (bitSet_ && !memory_.bit(2 + stage_)) acknowledged(now);
  // Exact readings stand a whole phase interval before their bit, as a PLC writes its
  // registers before it raises the bit, even when this step comes late (a busy machine
  // would otherwise publish both at once).
  const bool readingsStood = !settings_.exactReadings || stage_ == 4 ||
                             (pressShown_ == stage_ + 1 && now >= pressShownAt_ + Ms(settings_.phaseIntervalMs));
  if (!bitSet_ && now >= dueAt_ && !readingsStood) updateReadings(now);
  if (!bitSet_ && now >= dueAt_ && readingsStood) {
    updateReadings(now);
    memory_.setBit(2 + stage_, true);
    bitSet_ = true;
    if (onBitSet_) onBitSet_(piece_, 2 + stage_);
  }
  updateReadings(now);
}

void MachineModel::acknowledged(Ms now) {
  bitSet_ = false;
  if (stage_ < 4) {
    ++stage_;
    dueAt_ = now + Ms(settings_.phaseIntervalMs);
  } else {
    ++finished_;
    if (onFinished_) onFinished_(finished_);
    ++piece_;
    stage_ = 0;
    dueAt_ = now + Ms(settings_.pieceIntervalMs);
    if (settings_.shutdownAfterPieces > 0 && finished_ >= settings_.shutdownAfterPieces) {
      memory_.setBit(kM7, true);
      dueAt_ = Ms::max();  // the machine stops with the PC
    }
  }
  lastSample_ = -1;  // the readings follow the new stage at once
}

void MachineModel::updateReadings(Ms now) {
  if (settings_.exactReadings) {
    // The piece's phase readings stand from a phase interval before its first bit.
    const bool inPress = stage_ < 4 && (stage_ > 0 || bitSet_ || now + Ms(settings_.phaseIntervalMs) >= dueAt_);
    const int p = inPress ? stage_ + 1 : 0;
    if (p != pressShown_) {
      pressShown_ = p;
      pressShownAt_ = now;
    }
    const int n = piece_ % 1000;
    memory_.setRegister(kR5, static_cast<quint16>(10000 * p + n));
    memory_.setRegister(kR7, static_cast<quint16>(10000 * p + 5000 + n));
    memory_.setRegister(kR8, static_cast<quint16>(10000 * p + 2000 + n));
    const auto rawLoad = static_cast<quint32>((1000 * p + n) * 1000 + n);
    memory_.setRegister(kR10, static_cast<quint16>(rawLoad & 0xFFFF));
    memory_.setRegister(kR11, static_cast<quint16>(rawLoad >> 16));
    return;
  }
  const long long sample = now.count() / kSampleMs;
  if (sample == lastSample_) return;
  lastSample_ = sample;

  // The piece is in the press from shortly before its first phase until its end bit.
  const bool loaded =
      stage_ < 4 && (stage_ > 0 || bitSet_ || Ms(sample * kSampleMs + settings_.phaseIntervalMs) >= dueAt_);
  const quint64 seed = settings_.seed;
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
  // Whole kilograms from the model, the grams from the piece number.
  const qint64 kg = std::clamp<qint64>(std::llround(load / 1000), 0, 4294966);
  const auto rawLoad = static_cast<quint32>(kg * 1000 + piece_ % 1000);
  memory_.setRegister(kR5, clamp16(air));
  memory_.setRegister(kR7, clamp16(width));
  memory_.setRegister(kR8, clamp16(length));
  memory_.setRegister(kR10, static_cast<quint16>(rawLoad & 0xFFFF));
  memory_.setRegister(kR11, static_cast<quint16>(rawLoad >> 16));
}

}  // namespace velta
