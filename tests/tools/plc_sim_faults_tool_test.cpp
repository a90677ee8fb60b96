// velta-plc-sim's fault options, run as a process: a raw-socket client plays the station
// (reads M2..M6, acknowledges each bit it finds set) and notes what it met on the wire and
// where it stood in the handshake; the tool's own lines name the same piece and point.
#include <QProcess>
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/wire/raw_modbus_client.h"

namespace velta::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Met {
  RawModbus::Got got;
  int piece;      // the client's piece (1 + end bits it acknowledged)
  int lastAcked;  // the last bit it acknowledged
  std::chrono::milliseconds took;
};

struct ToolCase {
  const char* name;
  QStringList options;
  RawModbus::Got got;  // what the client meets in pieces 2 and 4
  int lastAcked;       // where it stood then
  const char* line;    // the tool's line for piece 2
  std::chrono::milliseconds readWait = 150ms;  // how long a read waits for its answer
};

void PrintTo(const ToolCase& c, std::ostream* os) { *os << c.name; }

class PlcSimFaultOption : public ::testing::TestWithParam<ToolCase> {};

// A port nobody listens on just now (the kernel's pick for a socket bound to port 0).
int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

TEST_P(PlcSimFaultOption, TheClientMeetsTheFaultWhereTheOptionPutsIt) {
  const ToolCase& c = GetParam();
  const int port = freePort();
  QProcess sim;
  sim.start(QStringLiteral(VELTA_PLC_SIM_TOOL),
            QStringList{"--modbus-port", QString::number(port), "--native-port", "0", "--piece-interval-ms", "100",
                        "--phase-gap-ms", "40"} +
                c.options);
  ASSERT_TRUE(sim.waitForStarted());
  ASSERT_TRUE(sim.waitForReadyRead(5000)) << "the tool did not say it listens";

  RawModbus client;
  std::vector<Met> met;
  int piece = 1, lastAcked = 0;
  bool inFault = false;
  const auto end = Clock::now() + 30s;
  while (piece <= 4 && Clock::now() < end) {
    if (!client.connected() && !client.connect(port)) {
      std::this_thread::sleep_for(10ms);
      continue;
    }
    const auto sent = Clock::now();
    const auto answer = client.exchange(RawModbus::readHandshakeBits(), c.readWait);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
    if (answer.got != RawModbus::Got::Reply) {
      if (!inFault) met.push_back({answer.got, piece, lastAcked, took});
      inFault = answer.got == RawModbus::Got::Nothing;
      client.close();
      continue;
    }
    inFault = false;
    if (took >= 250ms) met.push_back({RawModbus::Got::Reply, piece, lastAcked, took});
    const int bits = std::uint8_t(answer.bytes[9]);
    for (int m = 2; m <= 6; ++m) {
      if (!(bits & (1 << (m - 2)))) continue;
      if (client.exchange(RawModbus::acknowledge(m), 2000ms).got == RawModbus::Got::Reply) {
        lastAcked = m;
        if (m == 6) ++piece;
      }
      break;
    }
    std::this_thread::sleep_for(5ms);
  }
  sim.terminate();
  ASSERT_TRUE(sim.waitForFinished(5000));
  const QString out = QString::fromUtf8(sim.readAllStandardOutput());
  ASSERT_GT(piece, 4) << "the handshake stalled\n" << out.toStdString();

  ASSERT_EQ(met.size(), 2u) << out.toStdString();
  for (std::size_t i = 0; i < met.size(); ++i) {
    EXPECT_EQ(met[i].got, c.got) << "fault " << i;
    EXPECT_EQ(met[i].piece, 2 + 2 * static_cast<int>(i));
    EXPECT_EQ(met[i].lastAcked, c.lastAcked);
  }
  EXPECT_TRUE(out.contains(QString::fromUtf8(c.line))) << out.toStdString();
  EXPECT_EQ(out.count(QStringLiteral("simulator: fault")), 2) << out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Options, PlcSimFaultOption,
    ::testing::Values(
        ToolCase{"drop", {"--drop-every-pieces", "2", "--drop-at", "ack:M3"}, RawModbus::Got::Closed, 3,
                 "simulator: fault drop (connections closed) at piece 2 (M3 acknowledged)"},
        ToolCase{"silent",
                 {"--silent-every-pieces", "2", "--silent-at", "wait:M3", "--silent-ms", "300"},
                 RawModbus::Got::Nothing, 2,
                 "simulator: fault silent (connections accepted, no replies for 300 ms) at piece 2 (M3 waiting)"},
        ToolCase{"slow",
                 {"--slow-every-pieces", "2", "--slow-at", "ack:M4", "--slow-ms", "300", "--slow-for-ms", "30"},
                 RawModbus::Got::Reply, 4, "simulator: fault slow (replies 300 ms late for 30 ms) at piece 2 (M4 acknowledged)",
                 1000ms},
        ToolCase{"garbage", {"--garbage-every-pieces", "2", "--garbage-at", "wait:M5"}, RawModbus::Got::Junk, 4,
                 "(M5 waiting)"}),
    [](const ::testing::TestParamInfo<ToolCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace velta::test
