#include "app/station.h"

#include "output/dataset_record_source.h"
#include "output/export_all.h"
#include "output/one_record_sheet.h"
#include "platform/error.h"
#include "records/daily_file.h"

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
  table1RecordSource = [this] { return std::make_unique<DatasetRecordSource>(Table1); };
}

Station::~Station() = default;

// Start-up so far: the PLC item server object and its project.
void Station::FormCreate() {
  PlcServer = s_.registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
  PlcServer->OpenProject(kPlcProjectPath);
}
void Station::Timer1Timer() { poll_.Timer1Timer(); }
void Station::SpeedButton1Click() {
  velta::SpeedButton1Click({Table1, form_, s_.dialogs, s_.clock, s_.drives});
}
void Station::SpeedButton5Click() {}
void Station::SpeedButton6Click() { reportOutput_.SpeedButton6Click(); }
void Station::SpeedButton2Click() { reportOutput_.SpeedButton2Click(); }
void Station::SpeedButton3Click() { reportOutput_.SpeedButton3Click(); }
void Station::SpeedButton7Click() { poll_.SpeedButton7Click(); }
void Station::SpeedButton4Click() {
  if (!table1RecordSource) return;
  const std::unique_ptr<RecordSource> table1 = table1RecordSource();
  SilentProgress silent;
  velta::SpeedButton4Click(ExcelApplication1, *table1, exportProgress ? *exportProgress : silent);
}
void Station::SpeedButton8Click() { velta::SpeedButton8Click(form_, s_.registry, s_.dialogs); }
void Station::DBGrid1CellClick() {}
void Station::DBGrid1KeyUp() {}
void Station::DBGrid1CtrlDelete() {}

}  // namespace velta
