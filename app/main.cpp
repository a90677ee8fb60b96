// The operator station: builds the platform stand-ins and hands them to the station.
#include <QApplication>

#include "app/station.h"
#include "platform/itemserver/item_server.h"
#include "platform/qt_operator_dialogs.h"
#include "platform/qt_progress_reporter.h"
#include "platform/spreadsheet/spreadsheet_application.h"
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
  XdgDesktopOpener desktopOpener;
  const DriveMap drives = DriveMap::fromEnvironment();
  registerItemServer(registry, drives);
  const RegionalSettings regional = RegionalSettings::fromSystem();
  registerSpreadsheetApplication(registry, {dialogs, desktopOpener, regional,
                                            unsavedWorkbooksFolder(drives.stationRoot()), kApplicationTitle});
  Station station({dialogs, registry, shutdown, termination, clock, regional, drives});
  TForm1 form(station.form(), station, dialogs);
  dialogs.setParent(&form);
  QtReportDialogs reportDialogs;
  station.setReportDialogs(&reportDialogs);
  reportDialogs.setParent(&form);
  QtProgressReporter exportProgress(&form);
  station.exportProgress = &exportProgress;
  form.show();
  return app.exec();
}
