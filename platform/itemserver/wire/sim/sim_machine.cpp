#include "platform/itemserver/wire/sim/sim_machine.h"

#include <algorithm>
#include <cmath>

namespace velta {

SimMachine::SimMachine(PlcMemory& memory, SimMachineSettings settings,
                       std::function<void(int)> pieceFinished)
    : memory_(memory), settings_(settings), pieceFinished_(std::move(pieceFinished)), rng_(settings.seed) {}

void SimMachine::updateReadings() {
  std::normal_distribution<double> noise(0.0, 1.0);
  const auto clamp16 = [](double v) {
    return static_cast<std::uint16_t>(std::lround(std::clamp(v, 0.0, 65535.0)));
  };
  memory_.setReg(5, clamp16(6000 + 25 * noise(rng_)));
  memory_.setReg(7, clamp16(width_ * 10 + 2 * noise(rng_)));
  memory_.setReg(8, clamp16(length_ * 100 + 5 * noise(rng_)));
  const auto load = static_cast<std::uint32_t>(std::lround(1'500'000 + 4'000 * noise(rng_)));
  memory_.setReg(10, static_cast<std::uint16_t>(load & 0xFFFF));
  memory_.setReg(11, static_cast<std::uint16_t>(load >> 16));
}

void SimMachine::step(Clock::time_point now) {
  if (!started_) {
    started_ = true;
    memory_.setBit(0, true);
    memory_.setBit(8, true);
    memory_.setBit(7, false);
    nextAt_ = now + settings_.pieceInterval;
    std::uniform_real_distribution<double> w(180.0, 220.0), l(280.0, 320.0);
    width_ = w(rng_);
    length_ = l(rng_);
  }
  updateReadings();
  if (waiting_ != 0) {
    if (memory_.bit(waiting_)) return;  // not acknowledged yet
    if (waiting_ == 6) {
      ++pieces_;
      if (pieceFinished_) pieceFinished_(pieces_);
      nextBit_ = 2;
      nextAt_ = now + settings_.pieceInterval;
      std::uniform_real_distribution<double> w(180.0, 220.0), l(280.0, 320.0);
      width_ = w(rng_);
      length_ = l(rng_);
    } else {
      nextBit_ = waiting_ + 1;
      nextAt_ = now + settings_.phaseGap;
    }
    waiting_ = 0;
  }
  if (now >= nextAt_) {
    waiting_ = nextBit_;
    memory_.setBit(waiting_, true);
  }
}

}  // namespace velta
