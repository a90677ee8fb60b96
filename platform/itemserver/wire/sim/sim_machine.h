#pragma once
// The simulated test machine over a PlcMemory, for velta-plc-sim and for tests: the same
// machine model (MachineModel) as the item server's built-in simulator driver, so the
// station meets the same machine over the wire. M bits and R registers by number; the
// acknowledgements the protocol peers write into the memory are seen at the next step().
// step() is called from one thread; the memory may be served meanwhile.
#include <chrono>
#include <functional>
#include <memory>

#include "platform/itemserver/machine_model.h"
#include "platform/itemserver/wire/sim/plc_memory.h"

namespace velta {

class SimMachine {
 public:
  using Clock = std::chrono::steady_clock;
  // memory outlives the machine; pieceFinished(n) is called once per finished piece,
  // from step()'s thread. The machine's time starts at start.
  SimMachine(PlcMemory& memory, const MachineSettings& settings,
             std::function<void(int piece)> pieceFinished = {}, Clock::time_point start = Clock::now());

  void step(Clock::time_point now = Clock::now());
  int piecesFinished() const { return model_.finishedPieces(); }
  // The bit the machine waits on to be acknowledged (2..6), or 0 when none is set.
  int waitingOn() const { return model_.waitingOn(); }
  // See MachineModel::onBitSet; called from step()'s thread.
  void onBitSet(std::function<void(int piece, int bit)> observer) { model_.onBitSet(std::move(observer)); }

 private:
  class Memory : public MachineMemory {
   public:
    explicit Memory(PlcMemory& m) : m_(m) {}
    bool bit(int m) const override { return m_.bit(m); }
    void setBit(int m, bool on) override { m_.setBit(m, on); }
    void setRegister(int r, quint16 v) override { m_.setReg(r, v); }

   private:
    PlcMemory& m_;
  };
  MachineModel::Ms since(Clock::time_point t) const {
    return std::chrono::duration_cast<MachineModel::Ms>(t - start_);
  }

  Clock::time_point start_;
  Memory memory_;
  MachineModel model_;
};

}  // namespace velta
