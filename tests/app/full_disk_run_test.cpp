// A full disk during a run: the station root on a small tmpfs of its own, filled to the
// last page while pieces run. The pieces wait unacknowledged, the operator is told once,
// and once there is room again every piece is stored once with the PLC's readings.
#include <sys/mount.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>

#include "tests/app/handshake_plc.h"
#include "tests/app/station_fixture.h"
#include "tests/support/data_file_checks.h"

namespace velta::test {
namespace {

class FullDiskRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/velta-full-disk-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    root_ = QString::fromLocal8Bit(name);
    if (::mount("tmpfs", name, "tmpfs", 0, "size=640k,mode=0755") != 0) {
      const int err = errno;
      ::rmdir(name);
      root_.clear();
      if (err == EPERM) GTEST_SKIP() << "mounting a tmpfs needs root (CI runs as root)";
      FAIL() << "cannot mount a tmpfs: " << std::strerror(err);
    }
    QDir().mkpath(dataDir());
    QDir().mkpath(root_ + "/D/rododezuz/sistem");
    registry.registerClass(QString::fromLatin1(kPlcServerProgId), [this] {
      auto s = std::make_shared<RecordingServer>();
      s->values = {{"Update", 1}, {"M0", 1}};
      server = s.get();
      return s;
    });
    station = std::make_unique<Station>(PlatformServices{dialogs, registry, shutdown, termination, clock,
                                                         RegionalSettings{}, DriveMap(root_)});
    station->pollCycle().setFailureSink([this](const QString& r) { failures << r; });
    station->setSequencerLog([this](const QString& line) { log << line; });
  }
  void TearDown() override {
    station.reset();
    if (root_.isEmpty()) return;
    ::umount2(root_.toLocal8Bit().constData(), MNT_DETACH);
    ::rmdir(root_.toLocal8Bit().constData());
  }

  QString dataDir() const { return root_ + "/D/rododezuz/data"; }
  QString todaysFile() const { return dataDir() + "/" + DailyTableName(clock); }
  void runPlc(int scans) {
    for (int i = 0; i < scans; ++i) {
      plc.scan(server->values);
      clock.time = clock.time.addMSecs(200);
      station->Timer1Timer();
      QCoreApplication::processEvents();
    }
  }
  void runPlcUntilFinished(int pieces) {
    for (int guard = 0; plc.finished() < pieces && guard < 300; ++guard) runPlc(1);
    ASSERT_EQ(plc.finished(), pieces);
  }
  // Fills the tmpfs to its last page.
  void fillTheDisk() {
    const int fd = ::open((root_ + "/filler").toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const QByteArray block(4096, 'x');
    while (::write(fd, block.constData(), static_cast<size_t>(block.size())) > 0) {
    }
    const QByteArray byte(1, 'x');
    while (::write(fd, byte.constData(), 1) > 0) {
    }
    ::close(fd);
  }
  static QStringList airPressuresOf(const QStringList& row) { return {row[1], row[5], row[9], row[13]}; }

  QString root_;
  FakeClock clock{QDate(2026, 12, 9), QTime(14, 5, 30)};
  HandshakePlc plc;
  RecordingServer* server = nullptr;
  QStringList failures, log;
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  std::unique_ptr<Station> station;
};

TEST_F(FullDiskRun, PiecesWaitWhileTheDiskIsFullAndAreStoredOnceThereIsRoom) {
  station->FormCreate();
  runPlcUntilFinished(1);
  const size_t boxesBefore = dialogs.errors().size();

  fillTheDisk();
  runPlc(80);  // sixteen seconds: five pieces' time
  EXPECT_EQ(plc.finished(), 1) << "no piece is finished while nothing can be stored";
  EXPECT_TRUE(plc.bitUp());
  EXPECT_EQ(server->values[HandshakePlc::bitName(plc.stage())], Variant(1)) << "the PLC waits, unacknowledged";
  ASSERT_EQ(dialogs.errors().size(), boxesBefore + 1) << "told once";
  EXPECT_TRUE(dialogs.errors().back().contains("Neden: diskte yer kalmadı")) << dialogs.errors().back().toStdString();
  EXPECT_EQ(termination.requests, 0);
  EXPECT_TRUE(failures.isEmpty()) << failures.join('\n').toStdString();

  ASSERT_TRUE(QFile::remove(root_ + "/filler"));
  runPlcUntilFinished(3);
  const auto rows = storedRecords(todaysFile());
  ASSERT_EQ(rows.size(), 3u);
  for (int piece = 1; piece <= 3; ++piece)
    EXPECT_EQ(airPressuresOf(rows[static_cast<size_t>(piece - 1)]), plc.airPressures(piece)) << "piece " << piece;
  EXPECT_EQ(dialogs.errors().size(), boxesBefore + 1);
  EXPECT_EQ(log.filter("failed attempts").size(), 1) << log.join(QChar(10)).toStdString();

  EXPECT_EQ(integrityCheck(todaysFile()), "ok");
}

}  // namespace
}  // namespace velta::test
