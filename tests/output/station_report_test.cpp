// The station's report buttons: wired to the report output and its print-buffer step.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/station.h"
#include "platform/error.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/report/scripted_report_dialogs.h"

namespace velta {
namespace {

class StationReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    QDir(root.path()).mkpath(QStringLiteral("C/Documents and Settings/Administrator/Desktop"));
    QDir(root.path()).mkpath(QStringLiteral("D/rododezuz/sistem"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/rapor.rav"),
                            root.path() + QStringLiteral("/D/rododezuz/sistem/rapor.rav")));
    station.setReportDialogs(&reportDialogs);
    station.reports().RvDataSetConnection1.setDataSet(&printBuffer);
  }
  QTemporaryDir root;
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  FakeClock clock;
  ScriptedReportDialogs reportDialogs;
  RecordDataSource printBuffer;
  Station station{PlatformServices{dialogs, registry, shutdown, termination, clock,
                                   RegionalSettings::turkish(), DriveMap(root.path())}};
};

TEST_F(StationReportTest, ButtonsWithoutThePrintBufferStepRaiseAClearError) {
  ASSERT_TRUE(station.PreparePrintBuffer);  // the station connects the print buffer itself
  station.PreparePrintBuffer = nullptr;
  station.form().setText(ctl::Edit6, QStringLiteral("T09032026K1405V"));
  for (auto click : {&Station::SpeedButton6Click, &Station::SpeedButton2Click, &Station::SpeedButton3Click}) {
    try {
      (station.*click)();
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_TRUE(e.text().startsWith(QStringLiteral("PreparePrintBuffer is not connected"))) << e.text().toStdString();
    }
  }
  EXPECT_TRUE(reportDialogs.requests.empty());
}

TEST_F(StationReportTest, ButtonsRunTheReportOutput) {
  station.form().setText(ctl::Edit6, QStringLiteral(" "));
  station.SpeedButton2Click();
  EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("KAYIT ŞEÇ ")});

  int prepared = 0;
  station.PreparePrintBuffer = [&] {
    ++prepared;
    printBuffer.record = {{"SERiNO", "T09032026K1405V"}, {"SONUC", "NEGATiF"}};
  };
  station.form().setText(ctl::Edit6, QStringLiteral("T09032026K1405V"));
  station.SpeedButton3Click();
  station.SpeedButton6Click();  // the scripted dialog cancels
  EXPECT_EQ(prepared, 2);
  EXPECT_TRUE(QFile::exists(root.path() + QStringLiteral(
                                "/C/Documents and Settings/Administrator/Desktop/T09032026K1405V.html")));
  EXPECT_EQ(reportDialogs.requests.size(), 1u);
}

}  // namespace
}  // namespace velta
