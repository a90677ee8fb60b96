// The fault plan against a real Modbus peer and a raw-socket client that plays the
// station's role (reads M2..M6, acknowledges each bit it finds set). The machine and the
// plan run on one made-up time line, stepped by the test, so each fault's moment is a
// point of the handshake; what the client meets on the wire (connection closed, refused,
// no answer, a late answer, bytes that are no reply) is the truth each case is held to.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <ostream>
#include <set>
#include <string>

#include "platform/itemserver/wire/sim/modbus_peer.h"
#include "tests/platform/wire/raw_modbus_client.h"
#include "platform/itemserver/wire/sim/sim_fault_plan.h"
#include "platform/itemserver/wire/sim/sim_machine.h"

namespace velta {
namespace {

using test::RawModbus;

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;
using Time = SimMachine::Clock::time_point;

// Where the handshake stood when the client met a fault.
struct Met {
  RawModbus::Got got;
  int finished;   // pieces the machine had finished
  int waiting;    // the bit the machine waited on (0: none)
  int lastAcked;  // the last bit whose acknowledgement the machine had seen
  Time at;
  std::string bytes;
  bool operator<(const Met& o) const { return finished < o.finished; }
};

// The machine, its peer, the plan and the client, on a time line of 10 ms steps.
class FaultBench {
 public:
  explicit FaultBench(quint64 seed = 1) : plan({&peer}, seed) {
    settings.pieceIntervalMs = 50;
    settings.phaseIntervalMs = 30;
    machine = std::make_unique<SimMachine>(memory, settings, nullptr, now);
    peer.start();
    plan.setReport([this](const std::string& line) { lines.push_back(line); });
  }
  // Steps until the machine has finished pieces; every fault the client meets is noted
  // with the handshake's state, then the client connects again (when the port lets it).
  void run(int pieces, Ms wait = 2000ms) {
    int lastAcked = 0, sentAck = 0;
    bool inFault = false;
    for (int guard = 0; machine->piecesFinished() < pieces && guard < 20000; ++guard) {
      now += 10ms;
      machine->step(now);
      if (sentAck != 0 && machine->waitingOn() != sentAck) {
        lastAcked = sentAck;
        ackSeenAt[{sentAck == 6 ? machine->piecesFinished() : machine->piecesFinished() + 1, sentAck}] = now;
        sentAck = 0;
      }
      plan.afterStep(*machine, now);
      if (!client.connected()) {
        if (!client.connect(peer.port())) {
          refusedAt.push_back(now);
          continue;
        }
        ++connects;
      }
      if (!client.connected()) continue;
      const auto sent = std::chrono::steady_clock::now();
      const auto answer = client.exchange(RawModbus::readHandshakeBits(), wait);
      readTook.emplace_back(now, std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - sent));
      if (answer.got != RawModbus::Got::Reply) {
        if (!inFault) met.push_back({answer.got, machine->piecesFinished(), machine->waitingOn(), lastAcked, now, answer.bytes});
        inFault = answer.got == RawModbus::Got::Nothing;  // a silence is one fault however long
        client.close();
        continue;
      }
      if (inFault) answeredAgainAt.push_back(now);
      inFault = false;
      ++replies;
      const int bits = std::uint8_t(answer.bytes[9]);
      for (int m = 2; m <= 6; ++m) {
        if (!(bits & (1 << (m - 2)))) continue;
        if (client.exchange(RawModbus::acknowledge(m), wait).got == RawModbus::Got::Reply) sentAck = m;
        break;
      }
    }
    ASSERT_GE(machine->piecesFinished(), pieces) << "the handshake stalled";
  }

  PlcMemory memory{256, 256, 2000};
  MachineSettings settings;
  Time now = Time{} + 1h;
  std::unique_ptr<SimMachine> machine;
  ModbusPeer peer{memory};
  SimFaultPlan plan;
  RawModbus client;
  std::vector<Met> met;
  std::vector<Time> refusedAt, answeredAgainAt;
  std::vector<std::pair<Time, Ms>> readTook;   // each read of the bits: when, how long it took
  std::map<std::pair<int, int>, Time> ackSeenAt;  // (piece, bit): when the machine saw its acknowledgement
  std::vector<std::string> lines;
  int replies = 0;
  int connects = 0;
};

// What the client must have found when a fault was made at point in piece p.
void expectMetAt(const Met& m, SimFaultPoint point, int piece) {
  SCOPED_TRACE("piece " + std::to_string(piece) + ", " + describe(point));
  if (point.kind == SimFaultPoint::Kind::Acknowledged) {
    EXPECT_EQ(m.finished, point.bit == 6 ? piece : piece - 1);
    EXPECT_EQ(m.waiting, 0) << "the next bit was already set";
    EXPECT_EQ(m.lastAcked, point.bit);
  } else {
    EXPECT_EQ(m.finished, piece - 1);
    EXPECT_EQ(m.waiting, point.bit);
    EXPECT_EQ(m.lastAcked, point.bit == 2 ? (piece == 1 ? 0 : 6) : point.bit - 1);
  }
}

struct DropCase {
  const char* point;
  int every;
};
void PrintTo(const DropCase& c, std::ostream* os) { *os << c.point << " every " << c.every; }

class DropAtPoint : public ::testing::TestWithParam<DropCase> {};

TEST_P(DropAtPoint, TheClientLosesItsConnectionAtThatPointOfEveryNthPiece) {
  const SimFaultPoint point = *parseSimFaultPoint(GetParam().point);
  const int every = GetParam().every;
  FaultBench b;
  b.plan.add({SimFaultKind::Drop, every, 0, point, {}, {}});
  b.run(6);
  std::vector<int> hit;
  for (int p = every; p <= 6; p += every) hit.push_back(p);
  ASSERT_EQ(b.met.size(), hit.size());
  for (std::size_t i = 0; i < hit.size(); ++i) {
    EXPECT_EQ(b.met[i].got, RawModbus::Got::Closed);
    expectMetAt(b.met[i], point, hit[i]);
  }
  // One connection before the first fault and one after each but a last one at the end.
  EXPECT_EQ(b.connects, static_cast<int>(hit.size()) + (hit.back() == 6 && point == SimFaultPoint::betweenPieces() ? 0 : 1));
  EXPECT_EQ(b.peer.connectionCount(), b.connects);
  ASSERT_EQ(b.lines.size(), hit.size());
  EXPECT_EQ(b.lines[0], "simulator: fault drop (connections closed) at piece " + std::to_string(every) + " (" +
                            describe(point) + ")");
}

INSTANTIATE_TEST_SUITE_P(Points, DropAtPoint,
                         ::testing::Values(DropCase{"between", 2}, DropCase{"ack:M2", 3}, DropCase{"ack:M5", 2},
                                           DropCase{"wait:M2", 2}, DropCase{"wait:M4", 3}, DropCase{"wait:m6", 2}),
                         [](const ::testing::TestParamInfo<DropCase>& p) {
                           std::string n = p.param.point;
                           for (char& c : n)
                             if (c == ':') c = '_';
                           return n + "_every" + std::to_string(p.param.every);
                         });

TEST(SimFaultPlan, ADropWithADurationKeepsThePortClosedThatLong) {
  FaultBench b;
  b.plan.add({SimFaultKind::Drop, 2, 0, SimFaultPoint::acknowledged(3), 300ms, {}});
  b.run(4);
  ASSERT_EQ(b.met.size(), 2u);
  for (const Met& m : b.met) {
    // Refused from the step after the drop until 300 ms on, then accepted again.
    std::vector<Time> refused;
    for (Time t : b.refusedAt)
      if (t > m.at && t < m.at + 400ms) refused.push_back(t);
    ASSERT_FALSE(refused.empty());
    EXPECT_EQ(refused.front(), m.at + 10ms);
    EXPECT_EQ(refused.back(), m.at + 290ms);
    EXPECT_EQ(refused.size(), 29u);
  }
  EXPECT_NE(b.lines[0].find("port closed for 300 ms"), std::string::npos) << b.lines[0];
}

TEST(SimFaultPlan, SilentAcceptsConnectionsButAnswersNothingForItsDuration) {
  FaultBench b;
  b.plan.add({SimFaultKind::Silent, 2, 0, SimFaultPoint::waiting(3), 50ms, {}});
  b.run(4, 150ms);
  ASSERT_EQ(b.met.size(), 2u);
  ASSERT_EQ(b.answeredAgainAt.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(b.met[i].got, RawModbus::Got::Nothing);
    expectMetAt(b.met[i], SimFaultPoint::waiting(3), 2 * static_cast<int>(i) + 2);
    EXPECT_EQ(b.answeredAgainAt[i], b.met[i].at + 50ms);
  }
  // Every silent step reconnected, and no connection was refused.
  EXPECT_TRUE(b.refusedAt.empty());
  EXPECT_GE(b.peer.connectionCount(), 1 + 2 * 5);
}

TEST(SimFaultPlan, SlowRepliesComeLateForTheSpanThenOnTimeAgain) {
  FaultBench b;
  b.plan.add({SimFaultKind::Slow, 2, 0, SimFaultPoint::acknowledged(2), 40ms, 250ms});
  b.run(4);
  EXPECT_TRUE(b.met.empty()) << "a late reply is still a reply";
  // The reads from the step that saw M2 acknowledged in pieces 2 and 4 until 40 ms on
  // waited the delay; every other read did not.
  std::vector<Time> slow;
  for (const auto& [at, took] : b.readTook)
    if (took >= 250ms) slow.push_back(at);
  std::vector<Time> want;
  for (int piece : {2, 4})
    for (Ms d : {0ms, 10ms, 20ms, 30ms}) want.push_back(b.ackSeenAt.at({piece, 2}) + d);
  EXPECT_EQ(slow, want);
  ASSERT_EQ(b.lines.size(), 2u);
  EXPECT_EQ(b.lines[1], "simulator: fault slow (replies 250 ms late for 40 ms) at piece 4 (M2 acknowledged)");
}

TEST(SimFaultPlan, GarbageAnswersTheNextRequestWithBytesThatAreNoReply) {
  FaultBench b(7);
  b.plan.add({SimFaultKind::Garbage, 2, 0, SimFaultPoint::waiting(4), {}, {}});
  b.run(4, 300ms);
  ASSERT_EQ(b.met.size(), 2u);
  ASSERT_EQ(b.plan.made().size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(b.met[i].got, RawModbus::Got::Junk);
    expectMetAt(b.met[i], SimFaultPoint::waiting(4), 2 * static_cast<int>(i) + 2);
    EXPECT_EQ(b.met[i].bytes, b.plan.made()[i].garbage) << "the bytes on the wire are not those the plan sent";
    EXPECT_GE(b.met[i].bytes.size(), 5u);
  }
}

TEST(SimFaultPlan, AnyPointIsDrawnAnewForEveryPieceAndMadeWhereDrawn) {
  FaultBench b(42);
  b.plan.add({SimFaultKind::Drop, 1, 0, SimFaultPoint::any(), {}, {}});
  b.run(12);
  const auto& made = b.plan.made();
  ASSERT_EQ(made.size(), 12u);
  ASSERT_EQ(b.met.size(), 12u);
  std::set<std::pair<int, int>> points;
  for (std::size_t i = 0; i < b.met.size(); ++i) {
    expectMetAt(b.met[i], made[i].at, made[i].piece);
    EXPECT_EQ(made[i].piece, static_cast<int>(i) + 1);
    points.insert({static_cast<int>(made[i].at.kind), made[i].at.bit});
  }
  EXPECT_GE(points.size(), 4u) << "the points do not vary";
}

TEST(SimFaultPlan, PointsAreParsedAsTheToolTakesThem) {
  const std::map<std::string, std::optional<SimFaultPoint>> cases{
      {"between", SimFaultPoint::betweenPieces()}, {"ack:M2", SimFaultPoint::acknowledged(2)},
      {"ack:M6", SimFaultPoint::betweenPieces()},  {"wait:M6", SimFaultPoint::waiting(6)},
      {"any", SimFaultPoint::any()},               {"ack:M1", std::nullopt},
      {"wait:M7", std::nullopt},                   {"wait:4", std::nullopt},
      {"", std::nullopt},                          {"ack:M22", std::nullopt}};
  for (const auto& [text, want] : cases) EXPECT_EQ(parseSimFaultPoint(text), want) << text;
}

}  // namespace
}  // namespace velta
