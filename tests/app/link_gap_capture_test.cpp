// The real station on the real item server over the wire to the simulated machine, with
// the link cut at every point of the handshake: between pieces, right after each phase's
// acknowledgement (the machine sets the next phase while the link is down), and while a
// phase bit waits (the acknowledgement may be written into the gap). The machine's
// readings name their piece and phase; each stored value is checked against what the
// machine held when it set that phase's bit, not against the record's other phases.
#include <QDir>
#include <QFile>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "app/station.h"
#include "platform/itemserver/item_server.h"
#include "platform/itemserver/wire/sim/modbus_peer.h"
#include "platform/itemserver/wire/sim/native_peer.h"
#include "platform/itemserver/wire/sim/sim_machine.h"
#include "tests/app/machine_truth.h"
#include "tests/app/wire_station.h"

namespace velta::test {
namespace {

using namespace std::chrono_literals;

enum class Protocol { Modbus, Native };

// Where the link is cut, one kind per piece in turn.
enum class Cut { BetweenPieces, AfterAck2, AfterAck3, AfterAck4, AfterAck5, WhileABitWaits, Count };
const char* cutName(Cut c) {
  static const char* names[] = {"between pieces",       "after M2 acknowledged", "after M3 acknowledged",
                                "after M4 acknowledged", "after M5 acknowledged", "while a bit waits"};
  return names[static_cast<int>(c)];
}

class LinkGapCapture : public ::testing::TestWithParam<Protocol> {};

TEST_P(LinkGapCapture, EveryStoredPhaseHoldsWhatTheMachineHeldForIt) {
  constexpr int kRounds = 3;
  constexpr int kPieces = kRounds * static_cast<int>(Cut::Count);
  const bool modbus = GetParam() == Protocol::Modbus;
  PlcMemory memory(256, 256, 2000);
  const std::unique_ptr<PeerServer> peer = startPeer(memory, modbus);
  const int port = peer->port();
  WireStation ws(modbus, port);

  MachineSettings ms;
  ms.pieceIntervalMs = 150;
  // Shorter than an outage, so the machine moves on while the link is down; long enough
  // that a refresh and a tick come between a phase's readings and its bit even on a
  // machine loaded with sanitizer builds (the station captures the readings the tick
  // before showed, as the PLC expects: its readings stand well before the bit).
  ms.phaseIntervalMs = 150;
  ms.exactReadings = true;
  std::atomic<int> finished{0};
  SimMachine machine(memory, ms, [&](int n) { finished = n; });

  // The truth: the registers the machine held when it set each phase bit.
  MachineTruth truth;
  truth.watch(machine, memory);

  // The cutter: closes the PLC's port for an outage, from a thread of its own so that the
  // machine runs on meanwhile.
  std::atomic<bool> stop{false};
  std::atomic<int> cutRequests{0}, cutsMade{0};
  std::thread cutter([&] {
    std::mt19937 rng(modbus ? 11 : 12);
    std::uniform_int_distribution<int> outage(200, 320);
    int done = 0;
    while (!stop) {
      if (cutRequests > done) {
        ++done;
        peer->stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(outage(rng)));
        while (!stop) {
          try {
            peer->start(port);
            break;
          } catch (const Error&) {
            std::this_thread::sleep_for(5ms);
          }
        }
        ++cutsMade;
      }
      std::this_thread::sleep_for(1ms);
    }
  });
  // The machine loop: steps the machine and asks for a cut at the piece's point.
  std::map<int, Cut> cutOfPiece;
  std::thread machineLoop([&] {
    std::mt19937 rng(modbus ? 21 : 22);
    std::uniform_int_distribution<int> waitingBit(2, 6), delayMs(0, 15);
    int lastWaiting = 0, bitToCut = 0;
    std::chrono::steady_clock::time_point cutAt{};
    while (!stop) {
      machine.step();
      const int piece = finished + 1;
      const Cut cut = static_cast<Cut>((piece - 1) % static_cast<int>(Cut::Count));
      const int waiting = machine.waitingOn();
      if (waiting != lastWaiting) {
        if (waiting == 2) {
          cutOfPiece[piece] = cut;
          bitToCut = waitingBit(rng);
        }
        const bool acked = waiting == 0 && lastWaiting != 0;
        if (acked && lastWaiting == 6 && cut == Cut::BetweenPieces) ++cutRequests;
        if (acked && lastWaiting >= 2 && lastWaiting <= 5 &&
            cut == static_cast<Cut>(static_cast<int>(Cut::AfterAck2) + lastWaiting - 2))
          ++cutRequests;
        if (waiting == bitToCut && cut == Cut::WhileABitWaits)
          cutAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs(rng));
        lastWaiting = waiting;
      }
      if (cutAt != std::chrono::steady_clock::time_point{} && std::chrono::steady_clock::now() >= cutAt) {
        ++cutRequests;
        cutAt = {};
      }
      std::this_thread::sleep_for(1ms);
    }
  });

  {
    ws.start();
    const auto end = std::chrono::steady_clock::now() + 240s;
    while (finished < kPieces && ws.termination.requests == 0 && std::chrono::steady_clock::now() < end) {
      ws.tick();
      std::this_thread::sleep_for(10ms);
    }
    stop = true;
    machineLoop.join();
    cutter.join();
    EXPECT_TRUE(ws.failures.isEmpty()) << ws.failures.join("; ").toStdString();
    ASSERT_GE(finished.load(), kPieces) << "the run did not finish in time";
    ws.finish();
  }
  peer->stop();
  EXPECT_GE(cutsMade.load(), kPieces - 1);

  // Each record against the machine: its piece by the load's grams, each phase's four
  // values equal to what the machine held when it set that phase's bit.
  const auto records = ws.todaysRecords();
  std::map<int, int> perPiece;
  struct Row { int pieces = 0, records = 0, wrong = 0; };
  std::map<Cut, Row> table;
  for (const auto& [piece, cut] : cutOfPiece)
    if (piece <= finished) ++table[cut].pieces;
  int wrongValues = 0;
  for (const QStringList& r : records) {
    const int piece = MachineTruth::pieceOf(r);
    ++perPiece[piece];
    const Cut cut = cutOfPiece.count(piece) ? cutOfPiece[piece] : Cut::Count;
    ++table[cut].records;
    const int wrong = truth.wrongValues(r);
    wrongValues += wrong;
    table[cut].wrong += wrong;
  }
  for (int piece = 1; piece <= finished; ++piece) EXPECT_EQ(perPiece[piece], 1) << "piece " << piece;
  EXPECT_LE(records.size(), static_cast<std::size_t>(finished.load()) + 1);
  EXPECT_EQ(wrongValues, 0);
  std::printf("%-24s %6s %7s %12s\n", "link cut", "pieces", "records", "wrong values");
  for (const auto& [cut, row] : table)
    if (cut != Cut::Count)
      std::printf("%-24s %6d %7d %12d\n", cutName(cut), row.pieces, row.records, row.wrong);
  std::printf("cuts made: %d\n", cutsMade.load());
}

INSTANTIATE_TEST_SUITE_P(Protocols, LinkGapCapture, ::testing::Values(Protocol::Modbus, Protocol::Native),
                         [](const ::testing::TestParamInfo<Protocol>& p) {
                           return p.param == Protocol::Modbus ? "Modbus" : "Native";
                         });

}  // namespace
}  // namespace velta::test
