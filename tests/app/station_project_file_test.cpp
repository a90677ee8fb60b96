// The real item server with a missing or broken PLC project file: the start-up error
// names the file, and the station then runs on as with a link that is down (no capture,
// nothing ends it) until "PLC BAĞLAN" reads a good file.
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "app/station.h"
#include "platform/itemserver/item_server.h"
#include "tests/app/station_fixture.h"

namespace velta::test {
namespace {

struct BrokenProject {
  const char* name;
  const char* contents;  // nullptr: no file at all
  const char* named;     // what the error names besides the file
};

void PrintTo(const BrokenProject& b, std::ostream* os) { *os << b.name; }

class StationWithoutAProject : public ::testing::TestWithParam<BrokenProject> {};

TEST_P(StationWithoutAProject, RunsAsALinkThatIsDownUntilPlcConnectReadsAGoodFile) {
  QTemporaryDir root;
  QDir().mkpath(root.path() + "/D/rododezuz/data");
  QDir().mkpath(root.path() + "/D/rododezuz/sistem");
  const QString project = root.path() + "/D/rododezuz/sistem/fatekserver.fcs";
  auto writeProject = [&](const QByteArray& text) {
    QFile f(project);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
  };
  if (GetParam().contents) writeProject(GetParam().contents);

  FakeClock clock(QDate(2026, 12, 9), QTime(10, 0, 0));
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  registerItemServer(registry, ItemServerEnvironment{DriveMap(root.path()), nullptr, &clock, {}});
  Station station({dialogs, registry, shutdown, termination, clock, RegionalSettings{}, DriveMap(root.path())});
  QStringList failures;
  station.pollCycle().setFailureSink([&](const QString& r) { failures << r; });
  QString startUpError;
  try {
    station.FormCreate();
  } catch (const std::exception& e) {
    startUpError = exceptionText(e);
  }
  EXPECT_TRUE(startUpError.contains(project)) << startUpError.toStdString();
  EXPECT_TRUE(startUpError.contains(QString::fromLatin1(GetParam().named))) << startUpError.toStdString();

  for (int t = 0; t < 20; ++t) station.Timer1Timer();
  EXPECT_EQ(termination.requests, 0) << failures.join("; ").toStdString();
  EXPECT_FALSE(station.pollCycle().tickFailed());
  EXPECT_EQ(station.form().statusPanel(0), QStringLiteral("PLC BAĞLANTISI YOK"));

  // The plant mends the file and presses "PLC BAĞLAN": the link comes up.
  writeProject("[server]\ndriver = simulator\n");
  station.pollCycle().SpeedButton7Click();
  for (int t = 0; t < 3; ++t) station.Timer1Timer();
  EXPECT_EQ(station.form().statusPanel(0), QStringLiteral("PLC BAĞLANTISI TAMAM"));
  EXPECT_EQ(termination.requests, 0);
  station.closeWindowComponents();
  station.releasePlcServer();
}

INSTANTIATE_TEST_SUITE_P(
    Station, StationWithoutAProject,
    ::testing::Values(BrokenProject{"Missing", nullptr, ""},
                      BrokenProject{"BadValue", "[server]\ndriver = simulator\nbaud = fast\n", "line 3"},
                      BrokenProject{"UnknownDriver", "[server]\ndriver = profibus\n", "profibus"}),
    [](const ::testing::TestParamInfo<BrokenProject>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace velta::test
