// The operator station: builds the platform stand-ins and hands them to the station.
#include <QApplication>

#include "app/station.h"
#include "platform/qt_operator_dialogs.h"
#include "platform/qt_termination.h"
#include "platform/report/widgets/qt_report_dialogs.h"
#include "ui/form1.h"

int main(int argc, char** argv) {
  using namespace velta;
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(kApplicationTitle);

  QtOperatorDialogs dialogs;
  ObjectRegistry registry;
  LogindShutdown shutdown;
  QtTermination termination;
  SystemClock clock;
  Station station({dialogs, registry, shutdown, termination, clock, RegionalSettings::fromSystem(),
                   DriveMap::fromEnvironment()});
  QtReportDialogs reportDialogs;
  station.setReportDialogs(&reportDialogs);
  TForm1 form(station.form(), station);
  dialogs.setParent(&form);
  reportDialogs.setParent(&form);
  form.show();
  return app.exec();
}
