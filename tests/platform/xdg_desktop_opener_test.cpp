// XdgDesktopOpener against stand-in xdg-mime and xdg-open programs on PATH.
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/spreadsheet/desktop_opener.h"

namespace velta {
namespace {

class XdgDesktopOpenerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + savedPath);
    marker = bin.filePath(QStringLiteral("opened"));
  }
  void TearDown() override { qputenv("PATH", savedPath); }

  void script(const QString& name, const QByteArray& body) {
    QFile f(bin.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
  }
  // xdg-mime answering "query filetype" and "query default" with the given program.
  void mimeDefault(const QByteArray& program) {
    script(QStringLiteral("xdg-mime"),
           "case \"$2\" in filetype) echo application/vnd.openxmlformats-officedocument.spreadsheetml.sheet;;\n"
           "default) echo '" + program + "';; esac\n");
  }

  QTemporaryDir bin;
  QByteArray savedPath;
  QString marker;
};

TEST_F(XdgDesktopOpenerTest, StartsTheDesktopsProgramForTheFile) {
  mimeDefault("libreoffice-calc.desktop");
  script(QStringLiteral("xdg-open"), "echo \"$1\" > '" + marker.toUtf8() + "'\n");
  XdgDesktopOpener().open(QStringLiteral("/tmp/Kitap1.xlsx"));
  QDeadlineTimer deadline(10000);
  // The stand-in runs detached: wait until it has written its line.
  while (QFileInfo(marker).size() == 0 && !deadline.hasExpired()) QThread::msleep(5);
  QFile f(marker);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll().trimmed(), QByteArray("/tmp/Kitap1.xlsx"));
}

TEST_F(XdgDesktopOpenerTest, NoProgramForTheTypeIsAnError) {
  mimeDefault("");
  script(QStringLiteral("xdg-open"), "echo \"$1\" > '" + marker.toUtf8() + "'\n");
  EXPECT_THROW(XdgDesktopOpener().open(QStringLiteral("/tmp/Kitap1.xlsx")), Error);
  EXPECT_FALSE(QFile::exists(marker));
}

TEST_F(XdgDesktopOpenerTest, FailingXdgMimeIsAnError) {
  script(QStringLiteral("xdg-mime"), "exit 4\n");
  EXPECT_THROW(XdgDesktopOpener().open(QStringLiteral("/tmp/Kitap1.xlsx")), Error);
}

}  // namespace
}  // namespace velta
