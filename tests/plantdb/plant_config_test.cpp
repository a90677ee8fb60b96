// The plant database settings file and the station's hook that reads it.
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

#include "plantdb/plant_config.h"
#include "platform/error.h"
#include "plantdb/start_plant_forwarding.h"

namespace velta::plantdb {
namespace {

TEST(PlantConfig, TheShippedExampleReadsAsItSays) {
  const auto c = readPlantConfig(QStringLiteral(VELTA_SOURCE_DIR "/resources/plantdb.conf.example"));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->connection, "host=db.plant.local port=5432 dbname=plant user=station");
  EXPECT_EQ(c->station, "PRESS-1");
  EXPECT_EQ(c->firstDay, QDate(2026, 1, 1));
}

TEST(PlantConfig, DefaultsAndComments) {
  const PlantConfig c = parsePlantConfig("# plant\n[Plant-Database]\n  CONNECTION = dbname=x;y  # a ; inside a value stays\n", "f");
  EXPECT_EQ(c.connection, "dbname=x;y");
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  EXPECT_EQ(c.station, QString::fromLocal8Bit(host));
  EXPECT_FALSE(c.firstDay.isValid());
}

struct BadFile {
  const char* text;
  const char* message;  // the whole error text for file "plantdb.conf"
};

class PlantConfigErrors : public ::testing::TestWithParam<BadFile> {};

TEST_P(PlantConfigErrors, NameTheFileAndTheLine) {
  try {
    parsePlantConfig(QString::fromUtf8(GetParam().text), "plantdb.conf");
    FAIL() << "accepted";
  } catch (const velta::Error& e) {
    EXPECT_EQ(e.text().toStdString(), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlantConfigErrors,
    ::testing::Values(
        BadFile{"[plant-database]\nconnection = a\nstation = x\nstation = y\n",
                "plant database settings \"plantdb.conf\", line 4: \"station\" given twice"},
        BadFile{"connection = a\n", "plant database settings \"plantdb.conf\", line 1: \"connection\" outside a section"},
        BadFile{"[plant-database]\n\nfirst-day = 01.01.2026\n",
                "plant database settings \"plantdb.conf\", line 3: \"01.01.2026\" is no date (yyyy-MM-dd)"},
        BadFile{"[plant-database]\nconnection = a\nhost = b\n",
                "plant database settings \"plantdb.conf\", line 3: unknown key \"host\""},
        BadFile{"[server]\n", "plant database settings \"plantdb.conf\", line 1: unknown section [server]"},
        BadFile{"[plant-database\n", "plant database settings \"plantdb.conf\", line 1: section header without \"]\""},
        BadFile{"[plant-database]\nconnection\n", "plant database settings \"plantdb.conf\", line 2: expected key = value"},
        BadFile{"[plant-database]\nconnection = ; nothing\n",
                "plant database settings \"plantdb.conf\", line 2: no value for \"connection\""},
        BadFile{"[plant-database]\nconnection = a\nstation = PRESS 1\n",
                "plant database settings \"plantdb.conf\", line 3: \"PRESS 1\" is no station name (letters, digits, "
                "\"-\", \"_\", \".\"; at most 63)"},
        BadFile{"[plant-database]\nstation = P\n",
                "plant database settings \"plantdb.conf\": no connection in [plant-database]"}));

TEST(StartPlantForwarding, NoFileNoForwarderAndNoWord) {
  QTemporaryDir root;
  testing::internal::CaptureStderr();
  EXPECT_EQ(StartPlantForwarding(DriveMap(root.path())), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(StartPlantForwarding, ABadFileIsOneLineOnStderrAndNoForwarder) {
  QTemporaryDir root;
  QDir().mkpath(root.path() + "/D/rododezuz/sistem");
  QFile f(root.path() + "/D/rododezuz/sistem/plantdb.conf");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("[plant-database]\nconection = host=x\n");
  f.close();
  testing::internal::CaptureStderr();
  EXPECT_EQ(StartPlantForwarding(DriveMap(root.path())), nullptr);
  // One stamped line of the station's log.
  const QString err = QString::fromStdString(testing::internal::GetCapturedStderr());
  EXPECT_EQ(err.count(u'\n'), 1) << err.toStdString();
  EXPECT_TRUE(err.endsWith(" velta-station: plant database settings \"" + f.fileName() +
                           "\", line 2: unknown key \"conection\"; records are not forwarded to the plant database\n"))
      << err.toStdString();
  EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )")).match(err).hasMatch());
}

}  // namespace
}  // namespace velta::plantdb
