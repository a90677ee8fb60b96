// What a report project file may cost the station: the file is read in the station's
// own process at every report press, so a file too large or a template nested too deep
// must come back as an Error naming the file and the limit, never as memory or stack
// spent until the process dies.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/error.h"
#include "platform/report/report_components.h"
#include "platform/report/scripted_report_dialogs.h"
#include "tests/support/report_samples.h"

namespace velta {
namespace {

const QString kProjectFile = QStringLiteral("D:\\sistem\\r.rav");

// Sections opened depth times around the serial number, closed unless told otherwise.
QString nestedProject(int depth, bool closed = true) {
  QString open, close;
  for (int i = 0; i < depth; ++i) {
    open += QStringLiteral("{{#RvDataSetConnection1}}");
    close += QStringLiteral("{{/RvDataSetConnection1}}");
  }
  return QStringLiteral("[report R]\ntemplate = <<END\n<p>") + open + QStringLiteral("{{SERiNO}}") +
         (closed ? close : QString()) + QStringLiteral("</p>\nEND\n");
}

class ReportLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    QDir(root.path()).mkpath(QStringLiteral("D/sistem"));
    QDir(root.path()).mkpath(QStringLiteral("C/out"));
    source.record = testing::sampleRecord();
    connection.setDataSet(&source);
    project.addConnection(&connection);
    project.addRenderer(&text);
    project.setProjectFile(kProjectFile);
    sys.setDefaultDest(ReportDestination::rdFile);
    sys.setDoNativeOutput(false);
    sys.setRenderObject(&text);
    sys.setOutputFileName(QStringLiteral("C:\\out\\a.txt"));
    sys.setSystemSetups(sys.SystemSetups() & ~SetupPermissions(ssAllowSetup));
    project.setEngine(&sys);
  }
  void writeProject(const QByteArray& content) {
    QFile f(root.path() + QStringLiteral("/D/sistem/r.rav"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(content), content.size());
  }
  // The press: a fresh read of the file, then the report; the error text, if any.
  QString press() {
    project.Close();
    QFile::remove(output());
    try {
      project.Execute();
    } catch (const Error& e) {
      return e.text();
    }
    return {};
  }
  QString output() const { return root.path() + QStringLiteral("/C/out/a.txt"); }
  QString outputText() const {
    QFile f(output());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
  }

  QTemporaryDir root;
  ScriptedReportDialogs dialogs;
  RecordDataSource source;
  RvDataSetConnection connection;
  RvRenderText text;
  RvSystem sys;
  RvProject project{QStringLiteral("RvProject1"), ReportEnvironment{DriveMap(root.path()), u',', &dialogs}};
};

TEST_F(ReportLimitsTest, DeepNestingIsRefusedNamingTheFileAndTheLimit) {
  struct Case {
    int depth;
    bool closed;
  } cases[] = {
      {kMaxTemplateNesting + 1, true},
      {10000, true},    // the 500 KB file that took 2.5 GB
      {20000, false},   // the one that overflowed the stack
  };
  for (const auto& c : cases) {
    writeProject(nestedProject(c.depth, c.closed).toUtf8());
    const QString error = press();
    EXPECT_TRUE(error.contains(kProjectFile)) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("nest at most %1").arg(kMaxTemplateNesting))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("line 3"))) << "the line of the offending tag: " << error.toStdString();
    EXPECT_FALSE(QFile::exists(output())) << c.depth;
  }
}

TEST_F(ReportLimitsTest, DeepElementNestingIsRefusedNamingTheFileAndTheLimit) {
  for (int depth : {kMaxElementNesting + 1, 20000}) {  // 20,000 took Qt's layout minutes
    const QString deep = QStringLiteral("[report R]\ntemplate = <<END\n") + QStringLiteral("<b>").repeated(depth) +
                            QStringLiteral("{{RvDataSetConnection1.SERiNO}}") + QStringLiteral("</b>").repeated(depth) +
                            QStringLiteral("\nEND\n");
    writeProject(deep.toUtf8());
    const QString error = press();
    EXPECT_TRUE(error.contains(kProjectFile)) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("nest at most %1").arg(kMaxElementNesting))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(output())) << depth;
  }
  const QString within = QStringLiteral("[report R]\ntemplate = <<END\n") + QStringLiteral("<b>").repeated(kMaxElementNesting) +
                         QStringLiteral("{{RvDataSetConnection1.SERiNO}}") + QStringLiteral("</b>").repeated(kMaxElementNesting) +
                         QStringLiteral("\nEND\n");
  writeProject(within.toUtf8());
  EXPECT_EQ(press(), QString());
  EXPECT_TRUE(outputText().contains(testing::kSerial));
}

TEST_F(ReportLimitsTest, ReportsWithinTheLimitsStillFill) {
  writeProject(nestedProject(kMaxTemplateNesting).toUtf8());
  EXPECT_EQ(press(), QString());
  EXPECT_TRUE(outputText().contains(testing::kSerial));

  QFile station(QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/rapor.rav"));
  ASSERT_TRUE(station.open(QIODevice::ReadOnly));
  writeProject(station.readAll());
  EXPECT_EQ(press(), QString());
  EXPECT_TRUE(outputText().contains(testing::kSerial));
}

TEST_F(ReportLimitsTest, FileOverTheSizeLimitIsRefusedBeforeItIsRead) {
  const QByteArray small = nestedProject(1).toUtf8();
  auto padded = [&](qint64 size) {  // a comment line fills the file up to size bytes
    QByteArray comment = "# " + QByteArray(size - small.size() - 3, 'x') + "\n";
    return comment + small;
  };
  writeProject(padded(kMaxReportProjectBytes));
  EXPECT_EQ(press(), QString()) << "a file of exactly the limit is a report project";
  EXPECT_TRUE(outputText().contains(testing::kSerial));

  writeProject(padded(kMaxReportProjectBytes + 1));
  const QString error = press();
  EXPECT_TRUE(error.contains(kProjectFile)) << error.toStdString();
  EXPECT_TRUE(error.contains(QString::number(kMaxReportProjectBytes))) << error.toStdString();
  EXPECT_FALSE(QFile::exists(output()));
}

}  // namespace
}  // namespace velta
