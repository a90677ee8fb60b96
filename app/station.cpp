#include "app/station.h"

#include <QTimer>
#include <cstdio>

#include "output/dataset_record_source.h"
#include "output/export_all.h"
#include "output/one_record_sheet.h"
#include "platform/error.h"
#include "platform/station_log.h"
#include "records/daily_file.h"
#include "records/print_buffer.h"
#include "records/record_browser.h"

namespace velta {

Station::Station(PlatformServices services)
    : s_(std::move(services)),
      poll_(form_, PlcServer, s_.registry, s_.shutdown, s_.termination, s_.regional),
      reports_(ReportEnvironment{s_.drives, s_.regional.decimalSeparator, nullptr}),
      reportOutput_(form_, s_.dialogs, reports_, [this] {
        if (!PreparePrintBuffer)
          throw Error(QStringLiteral("PreparePrintBuffer is not connected: the print buffer cannot be filled"));
        PreparePrintBuffer();
      }) {
  Table1.setRegional(s_.regional);
  Table1.setFieldDefs(DailyFileFields());
  // A box from inside the tick would hold the poll (Timer1 does not fire again while
  // its own handler waits), so it is shown once the tick is over.
  outlet_.tellOperatorAfterTick = [this](const QString& text) {
    QTimer::singleShot(0, &afterTick_, [this, text] { s_.dialogs.showError(kApplicationTitle, text); });
  };
  outlet_.log = [](const QString& line) { LogLine(line); };
  poll_.setTestCycle([this] {
    RunTestCycle({PlcServer, s_.regional, dailyFile(), poll_.readoutsCapturable(), storeTrouble_, outlet_,
                  pieceJournal_, pieceInProgress_});
  });
  Table2.setRegional(s_.regional);
  Table2.setFieldDefs(PrintBufferFields());
  reports_.RvDataSetConnection1.setDataSet(&table2Report_);
  PreparePrintBuffer = [this] { velta::PreparePrintBuffer({Table2, form_, s_.dialogs, s_.drives}); };
  table1RecordSource = [this] { return std::make_unique<DatasetRecordSource>(Table1); };
}

Station::~Station() = default;

// The start-up steps; an error ends them at its step (the window shows it).
void Station::FormCreate() {
  if (AnimateWindow) AnimateWindow(250);
  PlcServer = s_.registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
  PlcServer->OpenProject(kPlcProjectPath);
  CreateDailyFile(dailyFile());
  OpenDailyFileAtStartUp(dailyFile());  // close, directory, name, open, caption, panel
}

void Station::closeWindowComponents() {
  Table1.close();
  Table2.close();
  ExcelApplication1.Disconnect();
}
void Station::Timer1Timer() { poll_.Timer1Timer(); }
void Station::SpeedButton1Click() { velta::SpeedButton1Click(dailyFile()); }
void Station::SpeedButton5Click() { velta::SpeedButton5Click({Table1, form_, s_.dialogs}); }
void Station::SpeedButton6Click() { reportOutput_.SpeedButton6Click(); }
void Station::SpeedButton2Click() { reportOutput_.SpeedButton2Click(); }
void Station::SpeedButton3Click() { reportOutput_.SpeedButton3Click(); }
void Station::SpeedButton7Click() { poll_.SpeedButton7Click(); }
void Station::SpeedButton4Click() {
  if (!table1RecordSource) return;
  const std::unique_ptr<RecordSource> table1 = table1RecordSource();
  SilentProgress silent;
  const ExportAllResult result =
      velta::SpeedButton4Click(ExcelApplication1, *table1, exportProgress ? *exportProgress : silent);
  if (result.leftOut > 0) s_.dialogs.showMessage(kApplicationTitle, exportLeftOutText(result));
}
void Station::SpeedButton8Click() { velta::SpeedButton8Click(form_, s_.registry, s_.dialogs); }
void Station::DBGrid1CellClick() { ShowSelectedRecord(Table1, form_); }
void Station::DBGrid1KeyUp() { ShowSelectedRecord(Table1, form_); }
void Station::DBGrid1CtrlDelete() { velta::DBGrid1CtrlDelete({Table1, form_, s_.dialogs}); }

}  // namespace velta
