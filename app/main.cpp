// The operator station: builds the platform stand-ins and hands them to the station.
#include <QApplication>

#include "app/station.h"
#include "platform/itemserver/item_server.h"
#include "platform/qt_operator_dialogs.h"
#include "platform/qt_termination.h"
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
  const DriveMap drives = DriveMap::fromEnvironment();
  registerItemServer(registry, drives);
  Station station({dialogs, registry, shutdown, termination, clock, RegionalSettings::fromSystem(),
                   drives});
  TForm1 form(station.form(), station, dialogs);
  dialogs.setParent(&form);
  form.show();
  return app.exec();
}
