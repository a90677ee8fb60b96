// The item server's wire drivers against simulated PLCs on loopback: values, writes,
// link state, and that every acknowledgement holds across faults, so that every piece
// the machine finishes is seen exactly once by a consumer following the handshake.
#include <QElapsedTimer>
#include <atomic>
#include <map>
#include <thread>

#include "item_server_fixture.h"
#include "wire_fault_injector.h"
#include "platform/itemserver/wire/sim/modbus_peer.h"
#include "platform/itemserver/wire/sim/native_peer.h"
#include "platform/itemserver/wire/sim/sim_machine.h"
#include "platform/itemserver/wire_driver.h"

namespace velta {
namespace {

using namespace std::chrono_literals;
using test::kGroup;
using test::kProjectPath;

enum class Protocol { Modbus, Native };

class WireDriverTest : public test::ItemServerFixture, public ::testing::WithParamInterface<Protocol> {
 protected:
  WireDriverTest() {
    if (GetParam() == Protocol::Modbus)
      peer = std::make_unique<ModbusPeer>(memory);
    else
      peer = std::make_unique<NativePeer>(memory, 3);
    peer->start();
  }
  ~WireDriverTest() override {
    server.reset();  // joins the refresh thread before the peer goes
    peer->stop();
  }

  // A server on the peer, connected; serverLines go to [server] (a key given there
  // replaces the fixture's own).
  void open(const QString& serverLines = {}) {
    const QString driver = GetParam() == Protocol::Modbus ? "modbus-tcp" : "native-tcp";
    QString base;
    for (const QString& line : {QStringLiteral("refresh-period-ms = 10"), QStringLiteral("response-timeout-ms = 100"),
                                QStringLiteral("connect-timeout-ms = 200"), QStringLiteral("write-timeout-ms = 50")})
      if (!serverLines.contains(line.section(u' ', 0, 0) + QStringLiteral(" ="))) base += line + u'\n';
    writeProject(QStringLiteral("[server]\ndriver = %1\nhost = 127.0.0.1\nport = %2\nstation = 3\n")
                     .arg(driver)
                     .arg(peer->port()) +
                 base + serverLines);
    server = registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
    server->OpenProject(kProjectPath);
    server->SetItem("System", "Connect", "1");
  }
  WireDriver& driver() { return dynamic_cast<WireDriver&>(*dynamic_cast<ItemServer&>(*server).driver()); }
  qint64 item(const char* name) { return get(*server, name); }

  // Waits (bounded) until pred holds; false if it never did.
  template <class Pred>
  bool eventually(Pred pred, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (pred()) return true;
      std::this_thread::sleep_for(2ms);
    }
    return pred();
  }
  bool up() { return item("Update") == 1; }
  // Waits for a good refresh that began after now.
  bool freshRefresh() {
    const long long n = driver().goodRefreshes();
    return eventually([&] { return driver().goodRefreshes() >= n + 2; });
  }

  PlcMemory memory{256, 256, 2000};
  std::unique_ptr<PeerServer> peer;
  std::shared_ptr<PlcItemServer> server;
};

TEST_P(WireDriverTest, ReadsEveryItemInFewRequestsAndWritesThrough) {
  memory.setBit(2, true);
  memory.setReg(5, 6543);
  memory.setReg(11, 1);
  memory.setReg(10, 34464);
  open();
  EXPECT_LE(driver().plannedRequests(), 2u);
  ASSERT_TRUE(eventually([&] { return up(); }));
  ASSERT_TRUE(freshRefresh());
  EXPECT_EQ(item("M2"), 1);
  EXPECT_EQ(item("M3"), 0);
  EXPECT_EQ(item("R5"), 6543);
  EXPECT_EQ(item("R10"), 34464);
  EXPECT_EQ(item("R11"), 1);
  EXPECT_EQ(server->GetItem(kGroup, "UpdateTime").asText(), "12:00:00.000");
  EXPECT_EQ(server->GetItem("System", "Connect").asInt(), 1);

  server->SetItem(kGroup, "M2", Variant(qint64{0}));
  EXPECT_EQ(item("M2"), 0);  // at once
  EXPECT_TRUE(eventually([&] { return !memory.bit(2); }));
  server->SetItem(kGroup, "R7", Variant(qint64{-2}));
  EXPECT_EQ(item("R7"), 65534);
  EXPECT_TRUE(eventually([&] { return memory.reg(7) == 65534; }));
}

TEST_P(WireDriverTest, LinkDownShowsAsUpdateZeroAndComesBackByItself) {
  open();
  ASSERT_TRUE(eventually([&] { return up(); }));
  const int port = peer->port();
  peer->stop();
  ASSERT_TRUE(eventually([&] { return !up(); }));
  EXPECT_EQ(server->GetItem("System", "Connect").asInt(), 0);
  // Ticks keep asking for the link; that is no error and does not wait.
  for (int i = 0; i < 20; ++i) server->SetItem("System", "Connect", "1");
  memory.setReg(7, 1234);
  peer->start(port);
  ASSERT_TRUE(eventually([&] { return up(); }));
  ASSERT_TRUE(freshRefresh());
  EXPECT_EQ(item("R7"), 1234);
}

// (a) A read that left before the acknowledgement reached the PLC comes back with the
// old 1; it must never reach the kept values.
TEST_P(WireDriverTest, ReadInFlightDuringAWriteNeverBringsTheOldBitBack) {
  memory.setBit(6, true);
  open("");
  ASSERT_TRUE(eventually([&] { return up() && item("M6") == 1; }));
  // Every reply now comes 40 ms late, so the refresh thread is nearly always in a read
  // whose answer is taken before the write is made.
  peer->setReplyDelay(40ms);
  std::this_thread::sleep_for(15ms);
  server->SetItem(kGroup, "M6", Variant(qint64{0}));  // gives up after the 50 ms write timeout
  int sawOne = 0;
  for (int i = 0; i < 150; ++i) {
    sawOne += item("M6") == 1;
    std::this_thread::sleep_for(2ms);
  }
  EXPECT_EQ(sawOne, 0);
  EXPECT_TRUE(eventually([&] { return !memory.bit(6); }));
  EXPECT_EQ(driver().pendingWrites(), 0u);
  peer->setReplyDelay(0ms);
}

// (b)/(c) A write made while the link is down, and one that times out on the wire, is
// kept and made when the link returns, before any read is trusted.
TEST_P(WireDriverTest, WritesThatCannotBeMadeArePendingUntilTheLinkReturns) {
  memory.setBit(2, true);
  memory.setBit(3, true);
  open();
  ASSERT_TRUE(eventually([&] { return up() && item("M2") == 1 && item("M3") == 1; }));

  // The write's reply is later than the response time-out: the link drops it.
  peer->injectFault(PeerFault::delayed(300ms));
  peer->injectFault(PeerFault::drop());
  server->SetItem(kGroup, "M2", Variant(qint64{0}));
  EXPECT_EQ(item("M2"), 0);

  const int port = peer->port();
  peer->stop();
  ASSERT_TRUE(eventually([&] { return !up(); }));
  QElapsedTimer t;
  t.start();
  server->SetItem(kGroup, "M3", Variant(qint64{0}));  // link down: no wait at all
  EXPECT_LT(t.elapsed(), 50);
  EXPECT_EQ(item("M3"), 0);
  peer->start(port);
  int sawOne = 0;
  ASSERT_TRUE(eventually([&] {
    sawOne += item("M2") == 1 || item("M3") == 1;
    return up() && driver().pendingWrites() == 0;
  }));
  ASSERT_TRUE(freshRefresh());
  EXPECT_EQ(sawOne, 0);
  EXPECT_FALSE(memory.bit(2));
  EXPECT_FALSE(memory.bit(3));
}

// (e) The connect button replaces the server while an acknowledgement waits for the
// link: the new server makes it, and trusts no read of that bit before it has.
TEST_P(WireDriverTest, ANewServerOnTheSameLinkMakesTheWritesTheOldOneCouldNot) {
  memory.setBit(6, true);
  open();
  ASSERT_TRUE(eventually([&] { return up() && item("M6") == 1; }));
  const int port = peer->port();
  peer->stop();
  ASSERT_TRUE(eventually([&] { return !up(); }));
  server->SetItem(kGroup, "M6", Variant(qint64{0}));
  ASSERT_EQ(driver().pendingWrites(), 1u);

  // As SpeedButton7Click: a new server opens and asks for the link, then replaces the old.
  auto replacement = registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
  replacement->OpenProject(kProjectPath);
  replacement->SetItem("System", "connect", "1");
  server = replacement;
  EXPECT_EQ(get(*server, "M6"), 0);
  peer->start(port);
  int sawOne = 0;
  ASSERT_TRUE(eventually([&] {
    sawOne += item("M6") == 1;
    return up() && driver().pendingWrites() == 0;
  }));
  ASSERT_TRUE(freshRefresh());
  EXPECT_EQ(sawOne, 0);
  EXPECT_FALSE(memory.bit(6));
}

TEST_P(WireDriverTest, ReleasingTheServerStopsItsThreadEvenWhileThePeerIsSilent) {
  open();
  ASSERT_TRUE(eventually([&] { return up(); }));
  peer->setReplyDelay(2000ms);
  std::this_thread::sleep_for(20ms);
  QElapsedTimer t;
  t.start();
  server.reset();
  EXPECT_LT(t.elapsed(), 1500);  // bounded by the link's time-outs, not the peer
  peer->setReplyDelay(0ms);
}

// A consumer that follows the station's handshake: a phase bit found at 1 is captured
// (the piece number from the load's grams) and acknowledged; M6 found at 1 stores the
// record if phase 1 was captured, then is acknowledged.
struct Consumer {
  struct Record {
    int phases[4] = {0, 0, 0, 0};
  };
  std::vector<Record> stored;
  std::map<std::pair<int, int>, int> captures;  // (piece, phase) -> times captured
  Record panel;
  bool serial = false;

  void tick(PlcItemServer& s) {
    s.SetItem("System", "Connect", "1");
    (void)s.GetItem(kGroup, "Update");
    for (int phase = 0; phase < 4; ++phase) {
      const QString bit = QStringLiteral("M%1").arg(2 + phase);
      if (s.GetItem(kGroup, bit).asInt() != 1) continue;
      const auto load = static_cast<quint32>(s.GetItem(kGroup, "R11").asInt() << 16 |
                                             s.GetItem(kGroup, "R10").asInt());
      panel.phases[phase] = pieceOfLoad(load);
      ++captures[{panel.phases[phase], phase}];
      if (phase == 0) serial = true;
      s.SetItem(kGroup, bit, Variant(qint64{0}));
    }
    if (s.GetItem(kGroup, "M6").asInt() == 1) {
      if (serial) stored.push_back(panel);
      s.SetItem(kGroup, "M6", Variant(qint64{0}));
      panel = {};
      serial = false;
    }
  }
};

TEST_P(WireDriverTest, EveryPieceIsStoredExactlyOnceAcrossFaults) {
  constexpr int kPieces = 40;
  std::atomic<int> finished{0};
  std::atomic<bool> stop{false};
  MachineSettings ms;
  ms.seed = 11;
  ms.pieceIntervalMs = 30;
  ms.phaseIntervalMs = 10;
  SimMachine machine(memory, ms, [&](int n) { finished = n; });
  std::thread machineLoop([&] {
    while (!stop) {
      machine.step();
      std::this_thread::sleep_for(1ms);
    }
  });
  // Replies take a few milliseconds, so the ticks' acknowledgements often meet a read
  // in flight. An injected exception reply to an acknowledgement is a refused write,
  // made again at its own pace: kept short here, or forty pieces outlast the run.
  peer->setReplyDelay(4ms);
  open("refused-write-retry-ms = 50\n");

  test::WireFaultInjector faults(*peer, GetParam() == Protocol::Modbus ? 5 : 6,
                                 GetParam() == Protocol::Modbus ? 4 : 2);

  Consumer consumer;
  int downTicks = 0;
  const auto end = std::chrono::steady_clock::now() + 90s;
  while (finished < kPieces && std::chrono::steady_clock::now() < end) {
    consumer.tick(*server);
    downTicks += item("Update") == 0;
    std::this_thread::sleep_for(3ms);
  }
  faults.stop();
  stop = true;
  machineLoop.join();
  ASSERT_GE(finished.load(), kPieces) << "the run did not finish in time";
  EXPECT_GT(downTicks, 0) << "no fault was seen";

  // Every finished piece stored once, in order, with each phase captured once.
  ASSERT_GE(consumer.stored.size(), static_cast<std::size_t>(finished.load()));
  for (int piece = 1; piece <= finished; ++piece) {
    const auto& r = consumer.stored[static_cast<std::size_t>(piece - 1)];
    for (int phase = 0; phase < 4; ++phase) {
      EXPECT_EQ(r.phases[phase], piece) << "piece " << piece << " phase " << phase + 1;
      EXPECT_EQ((consumer.captures[{piece, phase}]), 1) << "piece " << piece << " phase " << phase + 1;
    }
  }
  // At most one more record: the piece whose end was stored but whose acknowledgement
  // the machine had not yet seen when the run stopped.
  EXPECT_LE(consumer.stored.size(), static_cast<std::size_t>(finished.load()) + 1);
}

// A PLC that answers reads but refuses a write (Modbus exception 4, native error digit 2)
// is not a broken link: the readings go on, the write is made once the PLC takes it,
// the acknowledged bit never shows 1 again meanwhile, and one line names the item.
TEST_P(WireDriverTest, ARefusedWriteKeepsTheReadingsGoingAndIsMadeLater) {
  const int code = GetParam() == Protocol::Modbus ? 4 : 2;
  memory.setBit(2, true);
  memory.setReg(5, 1000);
  open("refused-write-retry-ms = 50\n");
  ASSERT_TRUE(eventually([&] { return up() && item("M2") == 1; }));
  std::mutex linesMutex;
  QStringList lines;
  driver().setReportSink([&](const QString& l) {
    std::lock_guard lock(linesMutex);
    lines << l;
  });
  peer->refuseWrites(code);
  server->SetItem(kGroup, "M2", 0);
  // For a while: readings follow the PLC, the link stays up, M2 stays acknowledged.
  for (int r5 = 1001; r5 <= 1010; ++r5) {
    memory.setReg(5, static_cast<quint16>(r5));
    ASSERT_TRUE(eventually([&] { return item("R5") == r5; })) << "readings frozen at " << item("R5");
    EXPECT_TRUE(up());
    EXPECT_EQ(item("M2"), 0);
  }
  EXPECT_TRUE(memory.bit(2)) << "the PLC refused: its bit is still set";
  EXPECT_GE(driver().pendingWrites(), 1u);
  {
    std::lock_guard lock(linesMutex);
    ASSERT_EQ(lines.size(), 1) << lines.join("\n").toStdString();  // once, not per retry
    EXPECT_TRUE(lines[0].contains("M2")) << lines[0].toStdString();
  }
  peer->refuseWrites(0);
  EXPECT_TRUE(eventually([&] { return !memory.bit(2) && driver().pendingWrites() == 0; }));
  EXPECT_EQ(item("M2"), 0);
}

// A newer write of an item replaces its refused one: the old value never comes back.
TEST_P(WireDriverTest, ANewerWriteReplacesARefusedOne) {
  const int code = GetParam() == Protocol::Modbus ? 4 : 2;
  open("refused-write-retry-ms = 30\n");
  ASSERT_TRUE(eventually([&] { return up(); }));
  driver().setReportSink([](const QString&) {});
  peer->refuseWrites(code);
  server->SetItem(kGroup, "R5", 111);
  ASSERT_TRUE(eventually([&] { return peer->requestCount() > 0 && driver().pendingWrites() == 1; }));
  peer->refuseWrites(0);
  server->SetItem(kGroup, "R5", 222);
  ASSERT_TRUE(eventually([&] { return driver().pendingWrites() == 0; }));
  std::this_thread::sleep_for(100ms);  // past the refused write's retry time
  EXPECT_EQ(memory.reg(5), 222);
  EXPECT_EQ(item("R5"), 222);
}

// A peer that pads every reply with junk: the readings still come through, and the
// connections it breaks are spaced by the back-off instead of a new one every refresh.
TEST_P(WireDriverTest, JunkAfterEveryReplyIsNoReasonForANewConnectionEveryRefresh) {
  memory.setReg(5, 4242);
  peer->setTrailingJunk(std::string("\x00\x07junk\x03", 7));
  open();
  ASSERT_TRUE(eventually([&] { return item("R5") == 4242; }));
  const int connections = peer->connectionCount();
  const long long refreshes = driver().goodRefreshes();
  std::this_thread::sleep_for(2000ms);  // 200 refresh periods
  const int made = peer->connectionCount() - connections;
  std::printf("junk after every reply: %d connections, %lld good refreshes in 2 s\n", made,
              driver().goodRefreshes() - refreshes);
  EXPECT_LE(made, 20);
  memory.setReg(5, 4343);
  EXPECT_TRUE(eventually([&] { return item("R5") == 4343; }));
}

// Acknowledgements still queued when the program ends (the server released at exit)
// reach the PLC within the grace of one response time-out, instead of being lost.
TEST_P(WireDriverTest, WritesQueuedAtReleaseStillReachThePlc) {
  memory.setBit(2, true);
  memory.setBit(6, true);
  open("write-timeout-ms = 1\nresponse-timeout-ms = 400\n");
  ASSERT_TRUE(eventually([&] { return up() && item("M2") == 1 && item("M6") == 1; }));
  peer->setReplyDelay(40ms);  // every exchange takes a while
  server->SetItem(kGroup, "M2", 0);  // returns at once (1 ms write time-out), queued
  server->SetItem(kGroup, "M6", 0);
  server.reset();  // the program's clean-up releases the server
  EXPECT_FALSE(memory.bit(2));
  EXPECT_FALSE(memory.bit(6));
}

INSTANTIATE_TEST_SUITE_P(Protocols, WireDriverTest, ::testing::Values(Protocol::Modbus, Protocol::Native),
                         [](const ::testing::TestParamInfo<Protocol>& p) { return p.param == Protocol::Modbus ? "Modbus" : "Native"; });

}  // namespace
}  // namespace velta
