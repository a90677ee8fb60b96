// The serial links (native protocol and Modbus RTU) over a pseudo-terminal, with a
// simulated PLC on the other end.
#include <gtest/gtest.h>
#include <modbus/modbus.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/itemserver/wire/modbus_link.h"
#include "platform/itemserver/wire/native_link.h"
#include "platform/itemserver/wire/sim/native_peer.h"

namespace velta {
namespace {

using namespace std::chrono_literals;

// A pseudo-terminal: the link opens the slave by name, the PLC sits on the master.
class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[128];
    ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    device_ = name;
    for (int r = 0; r < 16; ++r) memory_.setReg(r, static_cast<std::uint16_t>(500 + r));
    memory_.setBit(2, true);
  }
  void TearDown() override {
    stop_ = true;
    if (plc_.joinable()) plc_.join();
    ::close(master_);
    ::close(slave_);
  }
  bool readable(int ms) {
    pollfd p{master_, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
  }

  int master_ = -1, slave_ = -1;
  std::string device_;
  PlcMemory memory_{16, 16};
  std::atomic<bool> stop_{false};
  std::atomic<int> delayNextMs_{0};
  std::atomic<bool> garbageFirst_{false};
  std::thread plc_;
};

TEST_F(PtyTest, NativeLinkOverASerialLine) {
  NativePeer answerer(memory_, 1);
  plc_ = std::thread([&] {
    fatek::FrameScanner scanner;
    char buf[256];
    while (!stop_) {
      if (!readable(20)) continue;
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) continue;
      scanner.feed(std::string_view(buf, static_cast<std::size_t>(n)));
      while (auto frame = scanner.next()) {
        std::string out = answerer.answer(*frame);
        if (garbageFirst_.exchange(false)) out = "\x7f\x7fjunk" + out;
        if (const int d = delayNextMs_.exchange(0)) std::this_thread::sleep_for(std::chrono::milliseconds(d));
        (void)!::write(master_, out.data(), out.size());
      }
    }
  });
  NativeSettings s;
  s.responseTimeout = 150ms;
  NativeLink link(std::make_unique<SerialTransport>(SerialSettings{device_, 9600, 'E', 7, 1}), s);
  EXPECT_EQ(link.readRegisters(5, 2), (std::vector<std::uint16_t>{505, 506}));
  link.writeBit(2, false);
  EXPECT_FALSE(memory_.bit(2));

  garbageFirst_ = true;
  EXPECT_EQ(link.readBits(0, 3), (std::vector<bool>{false, false, false}));

  // A reply later than the time-out is dropped before the next request goes out.
  delayNextMs_ = 300;
  EXPECT_THROW(link.readRegisters(0, 1), PlcLinkError);
  EXPECT_TRUE(link.isOpen());  // a serial line is not reopened for one time-out
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(link.readRegisters(7, 3), (std::vector<std::uint16_t>{507, 508, 509}));
}

TEST_F(PtyTest, SerialSettingsAreCheckedBeforeOpening) {
  for (const SerialSettings& bad : {SerialSettings{device_, 1234, 'N', 8, 1}, SerialSettings{device_, 9600, 'X', 8, 1},
                                    SerialSettings{device_, 9600, 'N', 9, 1}, SerialSettings{"/nonexistent/tty", 9600, 'N', 8, 1}}) {
    SerialTransport t(bad);
    try {
      t.open(100ms);
      ADD_FAILURE() << bad.device << " " << bad.baud;
    } catch (const PlcLinkError& e) {
      EXPECT_EQ(e.kind(), PlcLinkErrorKind::ConnectionLost);
    }
  }
}

TEST_F(PtyTest, ModbusRtuLinkOverASerialLine) {
  plc_ = std::thread([&] {
    modbus_t* ctx = modbus_new_rtu("/dev/null", 19200, 'N', 8, 1);
    modbus_set_slave(ctx, 7);
    modbus_set_socket(ctx, master_);
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!stop_) {
      if (!readable(20)) continue;
      const int rc = modbus_receive(ctx, query);
      if (rc <= 0) continue;
      if (const int d = delayNextMs_.exchange(0)) std::this_thread::sleep_for(std::chrono::milliseconds(d));
      memory_.withMapping([&](modbus_mapping_t* map) { modbus_reply(ctx, query, rc, map); });
    }
    modbus_set_socket(ctx, -1);
    modbus_free(ctx);
  });
  ModbusSettings s;
  s.mode = ModbusSettings::Mode::Rtu;
  s.serial = {device_, 19200, 'N', 8, 1};
  s.unitId = 7;
  s.responseTimeout = 150ms;
  s.byteTimeout = 50ms;
  ModbusLink link(s);
  EXPECT_EQ(link.readRegisters(5, 3), (std::vector<std::uint16_t>{505, 506, 507}));
  EXPECT_EQ(link.readBits(0, 3), (std::vector<bool>{false, false, true}));
  link.writeRegister(9, 4242);
  EXPECT_EQ(memory_.reg(9), 4242);

  delayNextMs_ = 300;
  try {
    link.readRegisters(0, 2);
    FAIL();
  } catch (const PlcLinkError& e) {
    EXPECT_EQ(e.kind(), PlcLinkErrorKind::Timeout);
  }
  std::this_thread::sleep_for(250ms);
  // The late reply to R0..R1 was flushed; this one is ours.
  EXPECT_EQ(link.readRegisters(10, 1), (std::vector<std::uint16_t>{510}));
  EXPECT_TRUE(link.describe().startsWith("modbus-rtu "));
}

}  // namespace
}  // namespace velta
