// Both links against in-process peers on loopback, with injected faults.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "platform/itemserver/wire/modbus_link.h"
#include "platform/itemserver/wire/native_link.h"
#include "platform/itemserver/wire/sim/modbus_peer.h"
#include "platform/itemserver/wire/sim/native_peer.h"

namespace velta {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

enum class Protocol { Modbus, Native };

constexpr auto kTimeout = 150ms;
constexpr int kStation = 1;

class LinkTest : public ::testing::TestWithParam<Protocol> {
 protected:
  void SetUp() override {
    if (GetParam() == Protocol::Modbus)
      peer_ = std::make_unique<ModbusPeer>(memory_);
    else
      peer_ = std::make_unique<NativePeer>(memory_, kStation);
    peer_->start();
    for (int r = 0; r < memory_.registerCount(); ++r) memory_.setReg(r, static_cast<std::uint16_t>(1000 + r));
    memory_.setBit(0, true);
    memory_.setBit(3, true);
    link_ = makeLink(peer_->port());
  }

  std::unique_ptr<PlcLink> makeLink(int port, ReconnectSettings backoff = {20ms, 200ms}) {
    if (GetParam() == Protocol::Modbus) {
      ModbusSettings s;
      s.port = port;
      s.responseTimeout = kTimeout;
      s.byteTimeout = 50ms;
      s.backoff = backoff;
      return std::make_unique<ModbusLink>(s);
    }
    NativeSettings s;
    s.station = kStation;
    s.responseTimeout = kTimeout;
    s.connectTimeout = 200ms;
    s.backoff = backoff;
    return std::make_unique<NativeLink>(std::make_unique<TcpTransport>("127.0.0.1", port), s);
  }

  // Retries f until it succeeds, within a bounded time; returns the kinds of the
  // failures seen on the way.
  std::vector<PlcLinkErrorKind> eventually(const std::function<void()>& f,
                                           std::chrono::milliseconds limit = 3000ms) {
    std::vector<PlcLinkErrorKind> seen;
    const auto end = Clock::now() + limit;
    for (;;) {
      try {
        f();
        return seen;
      } catch (const PlcLinkError& e) {
        seen.push_back(e.kind());
        if (Clock::now() > end) {
          ADD_FAILURE() << "no recovery: " << e.what();
          return seen;
        }
        std::this_thread::sleep_for(10ms);
      }
    }
  }

  PlcLinkErrorKind kindOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const PlcLinkError& e) {
      return e.kind();
    }
    ADD_FAILURE() << "no error";
    return PlcLinkErrorKind::Protocol;
  }

  std::vector<std::uint16_t> expectedRegs(int first, int count) {
    std::vector<std::uint16_t> v;
    for (int i = 0; i < count; ++i) v.push_back(memory_.reg(first + i));
    return v;
  }

  PlcMemory memory_{64, 64};
  std::unique_ptr<PeerServer> peer_;
  std::unique_ptr<PlcLink> link_;
};

TEST_P(LinkTest, ReadsAndWritesBitsAndRegisters) {
  link_->connect();
  EXPECT_TRUE(link_->isOpen());
  EXPECT_EQ(link_->readBits(0, 5), (std::vector<bool>{true, false, false, true, false}));
  EXPECT_EQ(link_->readRegisters(5, 3), expectedRegs(5, 3));
  link_->writeBit(3, false);
  link_->writeBit(6, true);
  link_->writeRegister(20, 0xBEEF);
  EXPECT_FALSE(memory_.bit(3));
  EXPECT_TRUE(memory_.bit(6));
  EXPECT_EQ(memory_.reg(20), 0xBEEF);
  link_->writeBits(10, {true, false, true});
  link_->writeRegisters(21, {1, 2, 65535});
  EXPECT_EQ(link_->readBits(10, 3), (std::vector<bool>{true, false, true}));
  EXPECT_EQ(link_->readRegisters(20, 4), (std::vector<std::uint16_t>{0xBEEF, 1, 2, 65535}));
  link_->close();
  EXPECT_FALSE(link_->isOpen());
}

TEST_P(LinkTest, OnePlannedRefreshReadsEveryStationItem) {
  std::vector<PlcElement> items;
  for (int m : {0, 2, 3, 4, 5, 6, 7, 8}) items.push_back(PlcElement::bit(m));
  for (int r : {5, 7, 8, 10, 11}) items.push_back(PlcElement::reg(r));
  const ReadPlan plan = link_->planReads(items);
  const int before = peer_->requestCount();
  const PlcValues values = link_->read(plan);
  EXPECT_EQ(peer_->requestCount() - before, GetParam() == Protocol::Modbus ? 2 : 1);
  for (const auto& e : items) {
    ASSERT_TRUE(values.count(e)) << e.name().toStdString();
    EXPECT_EQ(values.at(e), e.area == PlcElement::Area::Bit ? memory_.bit(e.number) : memory_.reg(e.number))
        << e.name().toStdString();
  }
}

TEST_P(LinkTest, AnExceptionReplySurfacesAndTheLinkStaysUp) {
  link_->connect();
  peer_->injectFault(PeerFault::exception(4));
  try {
    link_->readRegisters(5, 2);
    FAIL();
  } catch (const PlcLinkError& e) {
    EXPECT_EQ(e.kind(), PlcLinkErrorKind::ExceptionReply);
    EXPECT_EQ(e.code(), 4);
  }
  EXPECT_TRUE(link_->isOpen());
  const int connections = peer_->connectionCount();
  EXPECT_EQ(link_->readRegisters(5, 2), expectedRegs(5, 2));
  EXPECT_EQ(peer_->connectionCount(), connections);  // same connection
}

TEST_P(LinkTest, ElementsThePlcDoesNotHaveGiveAnExceptionReply) {
  EXPECT_EQ(kindOf([&] { link_->readRegisters(100, 1); }), PlcLinkErrorKind::ExceptionReply);
  EXPECT_EQ(link_->readBits(0, 1), std::vector<bool>{true});
}

TEST_P(LinkTest, RecoversAfterThePeerDropsTheConnection) {
  link_->connect();
  EXPECT_EQ(link_->readRegisters(5, 1), expectedRegs(5, 1));
  peer_->dropConnections();
  std::this_thread::sleep_for(20ms);
  eventually([&] { EXPECT_EQ(link_->readRegisters(5, 2), expectedRegs(5, 2)); });
  EXPECT_TRUE(link_->isOpen());
}

TEST_P(LinkTest, RecoversAfterThePeerDropsMidRequest) {
  link_->connect();
  peer_->injectFault(PeerFault::drop());
  const auto kind = kindOf([&] { link_->readBits(0, 4); });
  EXPECT_TRUE(kind == PlcLinkErrorKind::ConnectionLost || kind == PlcLinkErrorKind::Timeout);
  eventually([&] { EXPECT_EQ(link_->readBits(0, 4), (std::vector<bool>{true, false, false, true})); });
}

TEST_P(LinkTest, RecoversAfterThePeerRestarts) {
  link_->connect();
  const int port = peer_->port();
  peer_->stop();
  EXPECT_EQ(kindOf([&] { link_->readRegisters(5, 1); }), PlcLinkErrorKind::ConnectionLost);
  EXPECT_FALSE(link_->isOpen());
  EXPECT_EQ(kindOf([&] { link_->readRegisters(5, 1); }), PlcLinkErrorKind::ConnectionLost);
  peer_->start(port);
  const auto seen = eventually([&] { EXPECT_EQ(link_->readRegisters(5, 3), expectedRegs(5, 3)); });
  for (auto k : seen) EXPECT_EQ(k, PlcLinkErrorKind::ConnectionLost);
}

TEST_P(LinkTest, AWorkingConnectionThatBreaksIsRetriedWithoutWaiting) {
  link_ = makeLink(peer_->port(), {5000ms, 5000ms});
  link_->connect();
  EXPECT_EQ(link_->readRegisters(5, 1), expectedRegs(5, 1));
  peer_->dropConnections();
  std::this_thread::sleep_for(20ms);
  // At most the call that finds the connection broken fails; the next one reconnects at
  // once instead of waiting out the long back-off.
  bool done = false;
  for (int attempt = 0; attempt < 2 && !done; ++attempt) {
    try {
      EXPECT_EQ(link_->readRegisters(6, 2), expectedRegs(6, 2));
      done = true;
    } catch (const PlcLinkError& e) {
      EXPECT_EQ(e.kind(), PlcLinkErrorKind::ConnectionLost);
    }
  }
  EXPECT_TRUE(done);
}

TEST_P(LinkTest, ReconnectionWaitsForTheBackOff) {
  const int port = peer_->port();
  link_ = makeLink(port, {400ms, 2000ms});
  peer_->stop();
  EXPECT_EQ(kindOf([&] { link_->readRegisters(5, 1); }), PlcLinkErrorKind::ConnectionLost);
  peer_->start(port);
  // Within the back-off the link does not even try: the peer sees no connection.
  EXPECT_EQ(kindOf([&] { link_->readRegisters(5, 1); }), PlcLinkErrorKind::ConnectionLost);
  EXPECT_EQ(peer_->connectionCount(), 0);
  // An explicit connect request is not held back.
  link_->connect();
  EXPECT_EQ(link_->readRegisters(5, 1), expectedRegs(5, 1));
}

TEST_P(LinkTest, ALateReplyIsNeverTakenForTheNextRequest) {
  link_->connect();
  peer_->injectFault(PeerFault::delayed(kTimeout * 3));
  EXPECT_EQ(kindOf([&] { link_->readRegisters(0, 4); }), PlcLinkErrorKind::Timeout);
  // The next requests ask for other data; the late answer to the first must not count.
  eventually([&] { EXPECT_EQ(link_->readRegisters(30, 4), expectedRegs(30, 4)); });
  std::this_thread::sleep_for(kTimeout * 3);  // the late reply has surely been sent by now
  EXPECT_EQ(link_->readRegisters(40, 2), expectedRegs(40, 2));
  EXPECT_EQ(link_->readBits(0, 4), (std::vector<bool>{true, false, false, true}));
}

TEST_P(LinkTest, EveryReplyLateGivesTimeOutsThenRecoversWhenThePeerSpeedsUp) {
  link_->connect();
  peer_->setReplyDelay(kTimeout + 100ms);
  for (int i = 0; i < 3; ++i) EXPECT_NE(kindOf([&] { link_->readRegisters(5, 1); }), PlcLinkErrorKind::ExceptionReply);
  peer_->setReplyDelay(0ms);
  eventually([&] { EXPECT_EQ(link_->readRegisters(7, 2), expectedRegs(7, 2)); });
}

TEST_P(LinkTest, ALongSilenceNeitherFloodsThePeerNorBlocksTheCaller) {
  link_ = makeLink(peer_->port(), {400ms, 1000ms});
  link_->connect();
  EXPECT_EQ(link_->readRegisters(5, 1), expectedRegs(5, 1));
  const int before = peer_->requestCount();
  peer_->setReplyDelay(5000ms);  // a pulled cable: nothing comes back
  for (int call = 0; call < 8; ++call) {
    const auto kind = kindOf([&] { link_->readRegisters(5, 1); });
    EXPECT_TRUE(kind == PlcLinkErrorKind::Timeout || kind == PlcLinkErrorKind::ConnectionLost);
  }
  // One request on the old connection, one on a fresh one; then the back-off keeps the
  // calls off the wire instead of piling requests up at the PLC.
  EXPECT_EQ(peer_->requestCount() - before, 2);
  peer_->setReplyDelay(0ms);
  eventually([&] { EXPECT_EQ(link_->readRegisters(5, 2), expectedRegs(5, 2)); });
}

TEST_P(LinkTest, RecoversAfterGarbageInPlaceOfAReply) {
  link_->connect();
  peer_->injectFault(PeerFault::junk(std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09garbage", 17), false));
  const auto kind = kindOf([&] { link_->readRegisters(5, 2); });
  EXPECT_TRUE(kind == PlcLinkErrorKind::Protocol || kind == PlcLinkErrorKind::Timeout) << plcLinkErrorKindName(kind);
  eventually([&] { EXPECT_EQ(link_->readRegisters(10, 2), expectedRegs(10, 2)); });
}

INSTANTIATE_TEST_SUITE_P(Protocols, LinkTest, ::testing::Values(Protocol::Modbus, Protocol::Native),
                         [](const auto& p) { return p.param == Protocol::Modbus ? "Modbus" : "Native"; });

// Modbus specifics: the address map and the unit.
TEST(ModbusLinkMap, BitsAreCoilsFrom2000AndRegistersFromZero) {
  PlcMemory memory(16, 16, 2000);
  ModbusPeer peer(memory);
  peer.start();
  memory.setBit(2, true);
  memory.setReg(0, 77);
  ModbusSettings s;
  s.port = peer.port();
  s.responseTimeout = kTimeout;
  ModbusLink link(s);
  EXPECT_EQ(link.readBits(2, 1), std::vector<bool>{true});
  EXPECT_EQ(link.readRegisters(0, 1), std::vector<std::uint16_t>{77});
  // With the coils moved, M0 is no coil of this PLC: the PLC refuses.
  s.coilBase = 0;
  ModbusLink wrongBase(s);
  try {
    wrongBase.readBits(0, 1);
    FAIL();
  } catch (const PlcLinkError& e) {
    EXPECT_EQ(e.kind(), PlcLinkErrorKind::ExceptionReply);
    EXPECT_EQ(e.code(), 2);  // illegal data address
  }
  EXPECT_TRUE(link.describe().startsWith("modbus-tcp 127.0.0.1:"));
}

// Native specifics: garbage before a good reply is skipped, not an error.
TEST(NativeLinkStream, SkipsGarbageBeforeAGoodReplyAndChecksTheStation) {
  PlcMemory memory(16, 16);
  NativePeer peer(memory, 1);
  peer.start();
  memory.setReg(5, 6000);
  NativeSettings s;
  s.responseTimeout = kTimeout;
  NativeLink link(std::make_unique<TcpTransport>("127.0.0.1", peer.port()), s);
  peer.injectFault(PeerFault::junk("\x15\x15noise", true));
  EXPECT_EQ(link.readRegisters(5, 1), std::vector<std::uint16_t>{6000});
  EXPECT_EQ(link.garbageSkipped(), 7u);
  // A link set up for another station gets no answer: the PLC ignores the frames.
  s.station = 2;
  NativeLink other(std::make_unique<TcpTransport>("127.0.0.1", peer.port()), s);
  try {
    other.readRegisters(5, 1);
    FAIL();
  } catch (const PlcLinkError& e) {
    EXPECT_EQ(e.kind(), PlcLinkErrorKind::Timeout);
  }
}

}  // namespace
}  // namespace velta
