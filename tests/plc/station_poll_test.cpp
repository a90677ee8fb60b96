// The poll cycle as the station runs it: start-up's server object on the simulated
// machine, Timer1Timer and SpeedButton7Click through Station.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/station.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/itemserver/item_server.h"

namespace velta {
namespace {

using namespace std::chrono_literals;

class StationPollTest : public ::testing::Test {
 protected:
  StationPollTest() {
    QDir().mkpath(root.path() + "/D/rododezuz/sistem");
    QDir().mkpath(root.path() + "/D/rododezuz/data");
    QFile::copy(QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/fatekserver.fcs"),
                root.path() + "/D/rododezuz/sistem/fatekserver.fcs");
    registerItemServer(registry, ItemServerEnvironment{DriveMap(root.path()), &steady, &clock,
                                                       [this](const QString& l) { log << l; }});
    station.pollCycle().setFailureSink([this](const QString& r) { failures << r; });
  }

  QTemporaryDir root;
  ManualSteadyClock steady;
  FakeClock clock;
  QStringList log, failures;
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  Station station{{dialogs, registry, shutdown, termination, clock, RegionalSettings{}, DriveMap(root.path())}};
};

TEST_F(StationPollTest, TicksOnTheSimulatedMachineShowItsState) {
  station.FormCreate();
  ASSERT_TRUE(station.plcServer());
  // A stand-in for the sequencer that only acknowledges the handshake bits.
  station.pollCycle().setTestCycle([this] {
    PlcItemServer& s = requireServer(station.plcServer());
    const QString g = QString::fromLatin1(kItemGroup);
    for (const char* bit : {"M2", "M3", "M4", "M5", "M6"})
      if (s.GetItem(g, bit) == Variant(1)) s.SetItem(g, bit, 0);
  });
  for (int t = 0; t < 50; ++t) {  // 10 s
    steady.advance(200ms);
    station.Timer1Timer();
  }
  EXPECT_TRUE(failures.isEmpty()) << failures.join("; ").toStdString();
  EXPECT_EQ(termination.requests, 0);
  EXPECT_EQ(log, QStringList{"simulator: piece 1 finished"});
  EXPECT_EQ(station.form().text(ctl::Edit1), "VERİ TRANSFERİ AÇIK");
  EXPECT_EQ(station.form().text(ctl::Edit7), "ETİKET YAZICI AÇIK");
  EXPECT_FALSE(station.form().speedButton1Enabled());
  EXPECT_EQ(station.form().statusPanel(0), "PLC BAĞLANTISI TAMAM");
  EXPECT_EQ(station.form().statusPanel(1), "12:00:00.000");
  const double air = station.form().text(ctl::Edit2).toDouble();
  EXPECT_GT(air, 5.7);
  EXPECT_LT(air, 6.3);
  EXPECT_EQ(station.form().text(ctl::Edit2).section(u'.', 1).size(), 3);
}

TEST_F(StationPollTest, WithoutAServerObjectTheFirstTickEndsTheProgram) {
  registry.unregisterClass(QString::fromLatin1(kPlcServerProgId));
  EXPECT_THROW(station.FormCreate(), Error);
  station.Timer1Timer();
  EXPECT_EQ(termination.requests, 1);
  EXPECT_EQ(failures.size(), 1);
}

TEST_F(StationPollTest, ReconnectButtonMakesAConnectedServer) {
  station.FormCreate();
  const auto first = station.plcServer();
  EXPECT_EQ(first->GetItem(QString::fromLatin1(kItemGroup), "Update"), Variant(0));
  station.SpeedButton7Click();
  EXPECT_NE(station.plcServer(), first);
  EXPECT_EQ(station.plcServer()->GetItem(QString::fromLatin1(kItemGroup), "Update"), Variant(1));
}

}  // namespace
}  // namespace velta
