#include "platform/itemserver/wire/sim/sim_machine.h"

namespace velta {

SimMachine::SimMachine(PlcMemory& memory, const MachineSettings& settings,
                       std::function<void(int)> pieceFinished, Clock::time_point start)
    : start_(start), memory_(memory), model_(settings, memory_, MachineModel::Ms(0), std::move(pieceFinished)) {}

void SimMachine::step(Clock::time_point now) { model_.step(since(now)); }

}  // namespace velta
