#include "item_server_fixture.h"

#include "platform/itemserver/simulator_driver.h"

namespace velta {
namespace {

using test::kGroup;
using namespace std::chrono_literals;

class SimulatorTest : public test::ItemServerFixture {
 protected:
  // Plays the station for `ticks` ticks of 200 ms: reads the phase and end bits and
  // acknowledges each one found at 1 (unless ack is false), noting "M2" etc. in order.
  void play(PlcItemServer& s, int ticks, bool ack = true) {
    for (int t = 0; t < ticks; ++t) {
      steady.advance(200ms);
      for (const char* bit : {"M2", "M3", "M4", "M5", "M6"}) {
        if (get(s, bit) != 1) continue;
        seen << bit;
        readings.push_back({get(s, "R5"), get(s, "R7"), get(s, "R8"),
                            get(s, "R11") << 16 | get(s, "R10")});
        if (ack) s.SetItem(kGroup, bit, 0);
      }
    }
  }

  struct Readings {
    qint64 air, width, length, load;
  };
  QStringList seen;
  std::vector<Readings> readings;
};

TEST_F(SimulatorTest, APieceRunsThroughItsBitsInOrderOnAcknowledgement) {
  auto s = simulator();
  play(*s, 40);  // 8 s: one piece of 3 s wait and four 1 s phase gaps
  EXPECT_EQ(seen, (QStringList{"M2", "M3", "M4", "M5", "M6"}));
  EXPECT_EQ(log, QStringList{"simulator: piece 1 finished"});
  EXPECT_EQ(get(*s, "M7"), 0);
}

TEST_F(SimulatorTest, WithoutAcknowledgementTheNextBitNeverComes) {
  auto s = simulator();
  play(*s, 100, /*ack=*/false);
  EXPECT_EQ(seen.size(), 86);  // M2 on every tick from 3 s to 20 s, nothing else
  EXPECT_EQ(seen.removeDuplicates(), 85);
  EXPECT_EQ(seen, QStringList{"M2"});
  EXPECT_TRUE(log.isEmpty());
  // Acknowledging M3 out of turn does not move the machine either.
  s->SetItem(kGroup, "M3", 0);
  steady.advance(5000ms);
  EXPECT_EQ(get(*s, "M3"), 0);
  EXPECT_EQ(get(*s, "M2"), 1);
}

TEST_F(SimulatorTest, ReadingsArePlausibleAndFollowThePiece) {
  auto s = simulator();
  play(*s, 35 * 5);  // five pieces of 7 s
  ASSERT_EQ(readings.size(), 25u);
  for (std::size_t i = 0; i < readings.size(); ++i) {
    const auto& r = readings[i];
    const int stage = static_cast<int>(i % 5);
    EXPECT_GE(r.air, 5700) << i;
    EXPECT_LE(r.air, 6300) << i;
    if (stage == 4) continue;  // the piece has left the press at its end bit
    EXPECT_GE(r.width, 290) << i;
    EXPECT_LE(r.width, 310) << i;
    EXPECT_GE(r.length, 11850) << i;
    EXPECT_LE(r.length, 12150) << i;
    EXPECT_GE(r.load, 400000) << i;
    EXPECT_LE(r.load, 1600000) << i;
  }
  // The load rises to its top in the third phase.
  EXPECT_GT(readings[2].load, 1400000);
  EXPECT_LT(readings[0].load, readings[1].load);
  EXPECT_LT(readings[1].load, readings[2].load);
  // Noise: the air pressure is not a constant.
  std::set<qint64> airs;
  for (const auto& r : readings) airs.insert(r.air);
  EXPECT_GT(airs.size(), 5u);
}

TEST_F(SimulatorTest, CountsFinishedPiecesAndNeverSetsM7ByDefault) {
  auto s = simulator();
  play(*s, 35 * 10);  // 70 s: a piece every 7 s
  EXPECT_EQ(log.size(), 10);
  EXPECT_EQ(log.last(), "simulator: piece 10 finished");
  EXPECT_EQ(dynamic_cast<SimulatorDriver*>(dynamic_cast<ItemServer&>(*s).driver())->finishedPieces(), 10);
  EXPECT_EQ(get(*s, "M7"), 0);
}

TEST_F(SimulatorTest, SetsM7OnlyAfterTheNumberOfPiecesTheProjectGives) {
  auto s = simulator("shutdown-after-pieces = 2\n");
  play(*s, 35);
  EXPECT_EQ(log.size(), 1);
  EXPECT_EQ(get(*s, "M7"), 0);
  play(*s, 35);
  EXPECT_EQ(log.size(), 2);
  EXPECT_EQ(get(*s, "M7"), 1);
  play(*s, 100);  // the machine stops with the PC
  EXPECT_EQ(log.size(), 2);
}

TEST_F(SimulatorTest, DataTransferAndLabelPrinterFromTheProject) {
  auto s = simulator("data-transfer = off\nlabel-printer = off\n");
  EXPECT_EQ(get(*s, "M0"), 0);
  EXPECT_EQ(get(*s, "M8"), 0);
}

TEST_F(SimulatorTest, RepeatableUnderASeedAndTheClock) {
  const auto run = [this](const QString& seed) {
    steady.set(0ms);
    seen.clear();
    readings.clear();
    auto s = simulator("seed = " + seed + "\n");
    play(*s, 40 * 3);
    std::vector<qint64> out;
    for (const auto& r : readings) out.insert(out.end(), {r.air, r.width, r.length, r.load});
    return out;
  };
  const auto a = run("7");
  EXPECT_EQ(run("7"), a);
  EXPECT_NE(run("8"), a);
}

}  // namespace
}  // namespace velta
