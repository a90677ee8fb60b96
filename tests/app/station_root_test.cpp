// The station root laid out by the program on its first start for a user.
#include "app/station_root.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "platform/drive_map.h"
#include "tests/support/temp_station.h"

namespace velta {
namespace {

using test::fileBytes;

const QString kSource = QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/");

class StationRootTest : public ::testing::Test {
 protected:
  QString host(const char* relative) const { return root_.path() + u'/' + QString::fromLatin1(relative); }
  DriveMap drives() const { return DriveMap(root_.path()); }
  test::OpenTempDir root_;
};

TEST_F(StationRootTest, AnEmptyRootGetsTheFoldersAndTheDefaultFilesAsShipped) {
  const StationRootLayout layout = LayOutStationRoot(drives());
  EXPECT_TRUE(layout.problems.isEmpty()) << layout.problems.join(u'\n').toStdString();
  for (const char* folder : {"D/rododezuz/data", "D/rododezuz/sistem",
                             "C/Documents and Settings/Administrator/Desktop"})
    EXPECT_TRUE(QFileInfo(host(folder)).isDir()) << folder;
  // The defaults built into the program are the files shipped in the source tree.
  for (const char* file : {"fatekserver.fcs", "rapor.rav"}) {
    const QString made = host("D/rododezuz/sistem/") + QString::fromLatin1(file);
    EXPECT_EQ(fileBytes(made), fileBytes(kSource + QString::fromLatin1(file))) << file;
    EXPECT_TRUE(layout.created.contains(made)) << file;
    EXPECT_TRUE(QFileInfo(made).isWritable()) << file << " must be editable by the plant";
  }
  EXPECT_FALSE(QFileInfo::exists(host("D/rododezuz/sistem/rapor.rav.new")));
}

TEST_F(StationRootTest, ALaidOutRootIsLeftAsItIs) {
  LayOutStationRoot(drives());
  const StationRootLayout second = LayOutStationRoot(drives());
  EXPECT_TRUE(second.created.isEmpty()) << second.created.join(u' ').toStdString();
  EXPECT_TRUE(second.problems.isEmpty());
}

TEST_F(StationRootTest, AFileThePlantEditedIsNeverReplaced) {
  QDir().mkpath(host("D/rododezuz/sistem"));
  QDir().mkpath(host("D/rododezuz/data"));
  test::writeBytes(host("D/rododezuz/sistem/rapor.rav"), "edited by the plant\n");
  test::writeBytes(host("D/rododezuz/data/T09122026K.tkv"), "a day's records");
  const StationRootLayout layout = LayOutStationRoot(drives());
  EXPECT_EQ(fileBytes(host("D/rododezuz/sistem/rapor.rav")), QByteArray("edited by the plant\n"));
  EXPECT_EQ(fileBytes(host("D/rododezuz/data/T09122026K.tkv")), QByteArray("a day's records"));
  // The missing pieces are added beside the present ones.
  EXPECT_EQ(fileBytes(host("D/rododezuz/sistem/fatekserver.fcs")), fileBytes(kSource + "fatekserver.fcs"));
  EXPECT_TRUE(QFileInfo(host("C/Documents and Settings/Administrator/Desktop")).isDir());
  EXPECT_FALSE(layout.created.contains(host("D/rododezuz/sistem/rapor.rav")));
}

TEST_F(StationRootTest, ALinkOrFolderUnderADefaultsNameIsLeftAlone) {
  QDir().mkpath(host("D/rododezuz/sistem/rapor.rav"));  // a folder where the file would go
  ASSERT_TRUE(QFile::link(QStringLiteral("/nonexistent/target.fcs"),
                          host("D/rododezuz/sistem/fatekserver.fcs")));
  const StationRootLayout layout = LayOutStationRoot(drives());
  EXPECT_TRUE(QFileInfo(host("D/rododezuz/sistem/rapor.rav")).isDir());
  EXPECT_TRUE(QFileInfo(host("D/rododezuz/sistem/fatekserver.fcs")).isSymLink());
  EXPECT_EQ(QFileInfo(host("D/rododezuz/sistem/fatekserver.fcs")).symLinkTarget(),
            QStringLiteral("/nonexistent/target.fcs"));
  EXPECT_TRUE(layout.problems.isEmpty());
}

TEST_F(StationRootTest, AFolderThatCannotBeWrittenIsReportedNotThrown) {
  QDir().mkpath(host("D/rododezuz/sistem"));
  QFile::setPermissions(host("D/rododezuz/sistem"), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                        QFileDevice::ReadOther | QFileDevice::ExeOther);
  QFile::setPermissions(host("D"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                       QFileDevice::ExeOther);
  StationRootLayout layout;
  {
    test::UnprivilegedFileAccess asNobody;
    layout = LayOutStationRoot(drives());
  }
  // Neither the folders nobody may create nor the two default files can be made; each
  // problem names its path, in the order of the layout.
  const QStringList expected = {host("D/rododezuz/data"),
                                host("C/Documents and Settings/Administrator/Desktop"),
                                host("D/rododezuz/sistem/fatekserver.fcs"),
                                host("D/rododezuz/sistem/rapor.rav")};
  ASSERT_EQ(layout.problems.size(), expected.size()) << layout.problems.join(u'\n').toStdString();
  for (qsizetype i = 0; i < expected.size(); ++i)
    EXPECT_TRUE(layout.problems[i].contains(expected[i])) << layout.problems[i].toStdString();
  EXPECT_FALSE(QFileInfo::exists(host("D/rododezuz/sistem/rapor.rav")));
  EXPECT_FALSE(QFileInfo::exists(host("D/rododezuz/sistem/rapor.rav.new")));
}

}  // namespace
}  // namespace velta
