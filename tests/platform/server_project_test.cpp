#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "platform/error.h"
#include "platform/itemserver/server_project.h"

namespace velta {
namespace {

using Area = PlcAddress::Area;

TEST(ServerProject, TheDefaultFileSelectsTheSimulatorWithTheStandardMap) {
  const ServerProject p =
      readServerProject(QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/fatekserver.fcs"));
  EXPECT_EQ(p.driver, "simulator");
  EXPECT_EQ(p.shutdownAfterPieces, 0);
  EXPECT_TRUE(p.dataTransfer);
  EXPECT_TRUE(p.labelPrinter);
  EXPECT_GT(p.pieceIntervalMs, 0);
  const std::map<QString, PlcAddress> expected = {
      {"M0", {Area::Coil, 2000}},   {"M2", {Area::Coil, 2002}},   {"M3", {Area::Coil, 2003}},
      {"M4", {Area::Coil, 2004}},   {"M5", {Area::Coil, 2005}},   {"M6", {Area::Coil, 2006}},
      {"M7", {Area::Coil, 2007}},   {"M8", {Area::Coil, 2008}},   {"R5", {Area::Register, 5}},
      {"R7", {Area::Register, 7}},  {"R8", {Area::Register, 8}},  {"R10", {Area::Register, 10}},
      {"R11", {Area::Register, 11}}};
  EXPECT_EQ(p.items, expected);
}

TEST(ServerProject, StandardAddresses) {
  EXPECT_EQ(standardAddress("M0"), (PlcAddress{Area::Coil, 2000}));
  EXPECT_EQ(standardAddress("m3"), (PlcAddress{Area::Coil, 2003}));
  EXPECT_EQ(standardAddress("M1001"), (PlcAddress{Area::Coil, 3001}));
  EXPECT_EQ(standardAddress("R0"), (PlcAddress{Area::Register, 0}));
  EXPECT_EQ(standardAddress("R4167"), (PlcAddress{Area::Register, 4167}));
  for (const char* bad : {"M1002", "R4168", "X1", "M", "R-1", "M2x"})
    EXPECT_THROW(standardAddress(bad), Error) << bad;
}

TEST(ServerProject, SettingsItemsCommentsAndLineEnds) {
  const ServerProject p = parseServerProject(
      "; comment\r\n# another\r\n[Server]\r\nDriver = Modbus-TCP ; the plant's PLC\r\n"
      "host = 10.0.0.7\r\nport=5020\r\nunit-id = 3\r\nparity = odd\r\nrefresh-period-ms = 250\r\n"
      "[simulator]\r\nseed = 99\r\nshutdown-after-pieces = 5\r\nlabel-printer = off\r\n"
      "[items]\r\nM2 = coil 100\r\nlamp = register 300\r\n",
      "p.fcs");
  EXPECT_EQ(p.driver, "modbus-tcp");
  EXPECT_EQ(p.host, "10.0.0.7");
  EXPECT_EQ(p.port, 5020);
  EXPECT_EQ(p.unitId, 3);
  EXPECT_EQ(p.parity, ServerProject::Parity::Odd);
  EXPECT_EQ(p.refreshPeriodMs, 250);
  EXPECT_EQ(p.seed, 99u);
  EXPECT_EQ(p.shutdownAfterPieces, 5);
  EXPECT_FALSE(p.labelPrinter);
  EXPECT_EQ(p.items.at("M2"), (PlcAddress{Area::Coil, 100}));
  EXPECT_EQ(p.items.at("LAMP"), (PlcAddress{Area::Register, 300}));
  EXPECT_EQ(p.items.at("M3"), (PlcAddress{Area::Coil, 2003}));
}

struct BadLine {
  const char* text;
  int line;
  const char* says;
};

class ServerProjectBadLine : public ::testing::TestWithParam<BadLine> {};

TEST_P(ServerProjectBadLine, NamesTheFileAndTheLine) {
  const auto& c = GetParam();
  try {
    parseServerProject(QString::fromUtf8(c.text), "/st/D/rododezuz/sistem/fatekserver.fcs");
    FAIL() << "no error for " << c.text;
  } catch (const Error& e) {
    const std::string t = e.text().toStdString();
    EXPECT_TRUE(e.text().contains("/st/D/rododezuz/sistem/fatekserver.fcs")) << t;
    EXPECT_TRUE(e.text().contains(QStringLiteral("line %1:").arg(c.line))) << t;
    EXPECT_TRUE(e.text().contains(QString::fromUtf8(c.says))) << t;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ServerProjectBadLine,
    ::testing::Values(BadLine{"[server]\ndriver = simulator\nspeed = 3\n", 3, "unknown key \"speed\""},
                      BadLine{"[server]\ndriver = simulator\n[network]\n", 3, "unknown section"},
                      BadLine{"driver = simulator\n", 1, "outside a section"},
                      BadLine{"[server]\n\ndriver simulator\n", 3, "key = value"},
                      BadLine{"[server]\nport = 70000\n", 2, "70000"},
                      BadLine{"[server]\nport = 5o2\n", 2, "5o2"},
                      BadLine{"[server]\ndriver = simulator\nDRIVER = simulator\n", 3, "twice"},
                      BadLine{"[server]\nparity = mark\n", 2, "mark"},
                      BadLine{"[server]\nhost =\n", 2, "no value"},
                      BadLine{"[server\n", 1, "]"},
                      BadLine{"[simulator]\ndata-transfer = maybe\n", 2, "maybe"},
                      BadLine{"[items]\nM2 = input 5\n", 2, "input 5"},
                      BadLine{"[items]\nM2 = coil 70000\n", 2, "70000"},
                      BadLine{"[items]\n2M = coil 5\n", 2, "2M"},
                      BadLine{"[server]\ndriver = profibus\n", 2, "profibus"},
                      BadLine{"[server]\ndriver = native-tcp\nstation = 0\n", 3, "\"0\""},
                      BadLine{"[server]\ndriver = native-tcp\nport = 0\n", 3, "\"0\""}));

TEST(ServerProject, ANumberWithANulInsideIsNoNumber) {
  const QString text = QStringLiteral("[server]\ndriver = simulator\nrefresh-period-ms = 1") + QChar(0) +
                       QStringLiteral("00\n");
  EXPECT_THROW(parseServerProject(text, "/st/D/rododezuz/sistem/fatekserver.fcs"), Error);
}

struct DriverDefaults {
  const char* text;
  const char* driver;
  int port;
  int station;
};

class ServerProjectDriver : public ::testing::TestWithParam<DriverDefaults> {};

// Each TCP driver has its protocol's port unless the project gives one.
TEST_P(ServerProjectDriver, PortAndStationDefaults) {
  const ServerProject p = parseServerProject(GetParam().text, "p.fcs");
  EXPECT_EQ(p.driver, GetParam().driver);
  EXPECT_EQ(effectivePort(p), GetParam().port);
  EXPECT_EQ(p.station, GetParam().station);
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, ServerProjectDriver,
    ::testing::Values(DriverDefaults{"[server]\ndriver = modbus-tcp\n", "modbus-tcp", 502, 1},
                      DriverDefaults{"[server]\ndriver = Native-TCP\nstation = 7\n", "native-tcp", 500, 7},
                      DriverDefaults{"[server]\ndriver = native-tcp\nport = 1500\n", "native-tcp", 1500, 1},
                      DriverDefaults{"[server]\ndriver = native-serial\nserial-device = /dev/ttyS1\n",
                                     "native-serial", 500, 1},
                      DriverDefaults{"[server]\ndriver = modbus-rtu\nbaud = 19200\n", "modbus-rtu", 502, 1}));

TEST(ServerProject, WithoutADriverNamesTheFile) {
  try {
    parseServerProject("[simulator]\nseed = 2\n", "x.fcs");
    FAIL();
  } catch (const Error& e) {
    EXPECT_TRUE(e.text().contains("x.fcs"));
    EXPECT_TRUE(e.text().contains("driver"));
  }
}

TEST(ServerProject, AMissingFileNamesIt) {
  QTemporaryDir dir;
  const QString path = dir.filePath("fatekserver.fcs");
  try {
    readServerProject(path);
    FAIL();
  } catch (const Error& e) {
    EXPECT_TRUE(e.text().contains(path)) << e.text().toStdString();
  }
}

}  // namespace
}  // namespace velta
