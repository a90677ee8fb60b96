#include "app/station.h"

#include "platform/error.h"

namespace velta {

Station::Station(PlatformServices services)
    : s_(std::move(services)),
      reports_(ReportEnvironment{s_.drives, s_.regional.decimalSeparator, nullptr}),
      reportOutput_(form_, s_.dialogs, reports_, [this] {
        if (!PreparePrintBuffer)
          throw Error(QStringLiteral("PreparePrintBuffer is not connected: the print buffer cannot be filled"));
        PreparePrintBuffer();
      }) {}

Station::~Station() = default;

void Station::FormCreate() {}
void Station::Timer1Timer() {}
void Station::SpeedButton1Click() {}
void Station::SpeedButton5Click() {}
void Station::SpeedButton6Click() { reportOutput_.SpeedButton6Click(); }
void Station::SpeedButton2Click() { reportOutput_.SpeedButton2Click(); }
void Station::SpeedButton3Click() { reportOutput_.SpeedButton3Click(); }
void Station::SpeedButton4Click() {}
void Station::SpeedButton8Click() {}
void Station::SpeedButton7Click() {}
void Station::DBGrid1CellClick() {}
void Station::DBGrid1KeyUp() {}
void Station::DBGrid1CtrlDelete() {}

}  // namespace velta
