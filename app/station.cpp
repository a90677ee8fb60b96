#include "app/station.h"

#include "output/export_all.h"
#include "output/one_record_sheet.h"

namespace velta {

Station::Station(PlatformServices services) : s_(std::move(services)) {}

Station::~Station() = default;

void Station::FormCreate() {}
void Station::Timer1Timer() {}
void Station::SpeedButton1Click() {}
void Station::SpeedButton5Click() {}
void Station::SpeedButton6Click() {}
void Station::SpeedButton2Click() {}
void Station::SpeedButton3Click() {}
void Station::SpeedButton4Click() {
  if (!table1RecordSource) return;
  const std::unique_ptr<RecordSource> table1 = table1RecordSource();
  SilentProgress silent;
  velta::SpeedButton4Click(ExcelApplication1, *table1, exportProgress ? *exportProgress : silent);
}
void Station::SpeedButton8Click() { velta::SpeedButton8Click(form_, s_.registry, s_.dialogs); }
void Station::SpeedButton7Click() {}
void Station::DBGrid1CellClick() {}
void Station::DBGrid1KeyUp() {}
void Station::DBGrid1CtrlDelete() {}

}  // namespace velta
