#include <gtest/gtest.h>

#include "platform/drive_map.h"

using velta::DriveMap;

TEST(DriveMap, MapsFixedWindowsPathsUnderTheStationRoot) {
  const DriveMap map(QStringLiteral("/srv/station"));
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {R"(D:\rododezuz\data)", "/srv/station/D/rododezuz/data"},
      {R"(D:\rododezuz\data\)", "/srv/station/D/rododezuz/data/"},
      {R"(D:\rododezuz\sistem\fatekserver.fcs)", "/srv/station/D/rododezuz/sistem/fatekserver.fcs"},
      {R"(c:\Documents and Settings\Administrator\Desktop\T1.pdf)",
       "/srv/station/C/Documents and Settings/Administrator/Desktop/T1.pdf"},
      {"D:\\", "/srv/station/D/"},
      {"/home/op/T09122026K.tkv", "/home/op/T09122026K.tkv"},  // native path unchanged
      {"T09122026K.tkv", "T09122026K.tkv"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(map.toHost(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(DriveMap, RootComesFromTheEnvironment) {
  qputenv(DriveMap::kRootVariable, "/tmp/velta-root-x/");
  EXPECT_EQ(DriveMap::fromEnvironment().stationRoot(), QStringLiteral("/tmp/velta-root-x"));
  qunsetenv(DriveMap::kRootVariable);
  EXPECT_TRUE(DriveMap::fromEnvironment().stationRoot().endsWith(QStringLiteral("/velta-station")));
}
