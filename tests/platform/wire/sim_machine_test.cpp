// The simulated machine's piece cycle and readings, on a clock of the test's own.
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
  PlcMemory memory_{16, 16};
  std::vector<int> finished_;
  SimMachine machine_{memory_, {1000ms, 200ms, 7}, [this](int n) { finished_.push_back(n); }};
  SimMachine::Clock::time_point now_{};
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

TEST_F(SimMachineTest, ReadingsArePlausible) {
  for (int i = 0; i < 50; ++i) {
    advance(50ms);
    EXPECT_NEAR(memory_.reg(5), 6000, 200);
    EXPECT_NEAR(memory_.reg(7), 2000, 250);   // 180..220 cm in 0.1 cm
    EXPECT_NEAR(memory_.reg(8), 30000, 2500);  // 280..320 cm in 0.01 cm
    const std::uint32_t load = memory_.reg(10) | (std::uint32_t{memory_.reg(11)} << 16);
    EXPECT_NEAR(static_cast<double>(load), 1'500'000.0, 40'000.0);
  }
}

}  // namespace
}  // namespace velta
