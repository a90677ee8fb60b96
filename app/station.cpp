#include "app/station.h"

#include "records/daily_file.h"

namespace velta {

Station::Station(PlatformServices services) : s_(std::move(services)) {
  Table1.setRegional(s_.regional);
  Table1.setFieldDefs(DailyFileFields());
}

Station::~Station() = default;

void Station::FormCreate() {}
void Station::Timer1Timer() {}
void Station::SpeedButton1Click() {
  velta::SpeedButton1Click({Table1, form_, s_.dialogs, s_.clock, s_.drives});
}
void Station::SpeedButton5Click() {}
void Station::SpeedButton6Click() {}
void Station::SpeedButton2Click() {}
void Station::SpeedButton3Click() {}
void Station::SpeedButton4Click() {}
void Station::SpeedButton8Click() {}
void Station::SpeedButton7Click() {}
void Station::DBGrid1CellClick() {}
void Station::DBGrid1KeyUp() {}
void Station::DBGrid1CtrlDelete() {}

}  // namespace velta
