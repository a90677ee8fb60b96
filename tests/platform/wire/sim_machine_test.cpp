// The simulated machine over a PLC memory image (what velta-plc-sim serves), on a clock
// of the test's own.
#include <gtest/gtest.h>

#include "platform/itemserver/wire/sim/sim_machine.h"

namespace velta {
namespace {

using namespace std::chrono_literals;

class SimMachineTest : public ::testing::Test {
 protected:
  void advance(std::chrono::milliseconds d) {
    for (auto t = 0ms; t < d; t += 50ms) {
      now_ += 50ms;
      machine_.step(now_);
    }
  }
  std::uint32_t load() const { return memory_.reg(10) | (std::uint32_t{memory_.reg(11)} << 16); }

  PlcMemory memory_{16, 16};
  std::vector<int> finished_;
  SimMachine::Clock::time_point now_{};
  SimMachine machine_{memory_, MachineSettings{7, 1000, 200, true, true, 0},
                      [this](int n) { finished_.push_back(n); }, now_};
};

TEST_F(SimMachineTest, EachPhaseWaitsForTheStationsAcknowledgement) {
  machine_.step(now_);
  EXPECT_TRUE(memory_.bit(0));
  EXPECT_TRUE(memory_.bit(8));
  EXPECT_FALSE(memory_.bit(7));
  advance(1000ms);
  for (int bit = 2; bit <= 6; ++bit) {
    ASSERT_EQ(machine_.waitingOn(), bit);
    EXPECT_TRUE(memory_.bit(bit));
    advance(2000ms);  // nobody acknowledges: the machine keeps waiting
    EXPECT_EQ(machine_.waitingOn(), bit);
    EXPECT_TRUE(finished_.empty());
    memory_.setBit(bit, false);  // the station writes 0
    advance(bit == 6 ? 50ms : 250ms);
  }
  EXPECT_EQ(finished_, std::vector<int>{1});
  EXPECT_EQ(machine_.waitingOn(), 0);
  EXPECT_FALSE(memory_.bit(7));
  advance(1000ms);
  EXPECT_EQ(machine_.waitingOn(), 2);  // the next piece
}

TEST_F(SimMachineTest, EveryPhaseReadingCarriesThePieceNumber) {
  for (int piece = 1; piece <= 3; ++piece) {
    for (int bit = 2; bit <= 6; ++bit) {
      while (machine_.waitingOn() != bit) advance(50ms);
      if (bit < 6) {
        EXPECT_EQ(pieceOfLoad(load()), piece) << "bit " << bit;
        EXPECT_NEAR(memory_.reg(5), 6000, 300);
        EXPECT_GT(load(), 400'000u);
      }
      memory_.setBit(bit, false);
    }
  }
  advance(50ms);
  EXPECT_EQ(finished_, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace velta
