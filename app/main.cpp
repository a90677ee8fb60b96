// The operator station: the real stand-ins for the outside components, then the program.
#include <QApplication>

#include <cstdio>

#include "app/program.h"
#include "app/station_root.h"
#include "plantdb/start_plant_forwarding.h"
#include "platform/itemserver/item_server.h"
#include "platform/logind_shutdown.h"
#include "platform/qt_operator_dialogs.h"
#include "platform/qt_progress_reporter.h"
#include "platform/qt_termination.h"
#include "platform/qt_turkish_chrome.h"
#include "platform/station_log.h"
#include "platform/report/widgets/qt_report_dialogs.h"
#include "platform/spreadsheet/spreadsheet_application.h"
#include "ui/form1.h"

int main(int argc, char** argv) {
  using namespace velta;
  QApplication app(argc, argv);
  // The application title names the program on the task bar (and stands in for an empty
  // window title). Not the display name: Qt would append that to every window title.
  QApplication::setApplicationName(kApplicationTitle);
  if (!InstallTurkishQtTranslations(app))
    LogLine(QStringLiteral("Qt's Turkish translations are not installed (qt6-translations-l10n)"));

  QtOperatorDialogs dialogs;
  ObjectRegistry registry;
  LogindShutdown shutdown;
  QtTermination termination;
  SystemClock clock;
  XdgDesktopOpener desktopOpener;
  const DriveMap drives = DriveMap::fromEnvironment();
  // First start for this user: the folders and default station files that are missing.
  const StationRootLayout layout = LayOutStationRoot(drives);
  for (const QString& made : layout.created)
    LogLine(QStringLiteral("created %1").arg(made));
  for (const QString& problem : layout.problems)
    LogLine(problem);
  const RegionalSettings regional = RegionalSettings::fromSystem();
  registerItemServer(registry, drives);
  registerSpreadsheetApplication(registry, {dialogs, desktopOpener, regional,
                                            unsavedWorkbooksFolder(drives.stationRoot()),
                                            kApplicationTitle});

  // The plant database, when this station has its settings: a thread of its own that
  // forwards the data files' records; nothing without plantdb.conf.
  const auto plantForwarder = plantdb::StartPlantForwarding(drives);

  QtReportDialogs reportDialogs;
  std::unique_ptr<QtProgressReporter> exportProgress;
  ProgramHooks hooks;
  hooks.windowBuilt = [&](Station& station, TForm1& form) {
    dialogs.setParent(&form);
    reportDialogs.setParent(&form);
    station.setReportDialogs(&reportDialogs);
    exportProgress = std::make_unique<QtProgressReporter>(&form);
    station.exportProgress = exportProgress.get();
  };
  return RunProgram({dialogs, registry, shutdown, termination, clock, regional, drives}, hooks);
}
