#pragma once
// A simulated test machine over a PlcMemory, for the simulator tool and for tests:
// data transfer on (M0 = 1), label printer on (M8 = 1), never the shutdown bit (M7).
// A piece starts every pieceInterval; its four phases M2..M5 and the end bit M6 are set
// one after the other, each waiting until the station has written it back to 0.
// Readings carry a little noise: R5 air pressure ~6000 (0.001 bar), R7 width in 0.1 cm,
// R8 length in 0.01 cm, R10/R11 low/high 16 bits of the load ~1,500,000 (0.001 kg).
// step() is called from one thread; the memory may be served meanwhile.
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>

#include "platform/itemserver/wire/sim/plc_memory.h"

namespace velta {

struct SimMachineSettings {
  std::chrono::milliseconds pieceInterval{4000};  // from one finished piece to the next start
  std::chrono::milliseconds phaseGap{500};        // from an acknowledged phase to the next
  std::uint32_t seed = 1;
};

class SimMachine {
 public:
  using Clock = std::chrono::steady_clock;
  SimMachine(PlcMemory& memory, SimMachineSettings settings,
             std::function<void(int piece)> pieceFinished = {});

  void step(Clock::time_point now = Clock::now());
  int piecesFinished() const { return pieces_; }
  // The bit the machine waits on to be acknowledged (2..6), or 0 between pieces.
  int waitingOn() const { return waiting_; }

 private:
  void updateReadings();

  PlcMemory& memory_;
  SimMachineSettings settings_;
  std::function<void(int)> pieceFinished_;
  std::mt19937 rng_;
  bool started_ = false;
  int waiting_ = 0;   // bit set and not yet acknowledged
  int nextBit_ = 2;   // the bit to set when the gap is over
  Clock::time_point nextAt_{};
  int pieces_ = 0;
  double width_ = 0, length_ = 0;
};

}  // namespace velta
