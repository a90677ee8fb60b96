#include "app/program.h"

#include <QApplication>
#include <cstdio>
#include <memory>

#include "platform/error.h"
#include "platform/station_log.h"
#include "platform/termination_signals.h"
#include "ui/form1.h"
#include "ui/record_grid_binding.h"

namespace velta {

int RunProgram(const PlatformServices& services, const ProgramHooks& hooks) {
  Station station(services);

  // Building the window.
  auto form = std::make_unique<TForm1>(station.form(), station, services.dialogs);
  form->bindRecordModel(&station.gridModel());
  auto grid = std::make_unique<RecordGridBinding>(*form->DBGrid1(), station.table1());
  station.AnimateWindow = [w = form.get()](int ms) { w->AnimateWindow(ms); };
  if (hooks.windowBuilt) hooks.windowBuilt(station, *form);
  try {
    station.excelApplication1().Connect();
  } catch (const std::exception& e) {
    LogLine(QStringLiteral("the spreadsheet program cannot be connected (%1); the station ends with exit code 1")
                .arg(exceptionText(e)));
    services.dialogs.showError(QStringLiteral("Application Error"),
                               errorDisplayText(exceptionText(e)));
    grid.reset();
    form.reset();
    station.closeWindowComponents();
    station.releasePlcServer();
    return 1;
  }

  // Start-up steps, then the running state. SIGTERM and SIGHUP (a service manager, a
  // log-out) close the window, so they end the program the same clean way.
  form->runFormCreate();
  form->show();
  form->enableTicks();
  int endedBySignal = 0;
  TerminationSignals endSignals([w = form.get(), &endedBySignal](int signalNumber) {
    LogLine(QStringLiteral("signal %1, closing the station").arg(signalNumber));
    endedBySignal = signalNumber;
    w->close();
  });
  if (hooks.running) hooks.running(station, *form);
  QApplication::exec();

  // Clean-up in its order.
  form->hide();
  grid.reset();
  form.reset();
  station.closeWindowComponents();
  station.releasePlcServer();
  const PollCycle& poll = station.pollCycle();
  const int code = poll.tickFailed() ? kExitTickFailed : 0;
  const QString why = poll.tickFailed()        ? QStringLiteral("a poll tick failed")
                      : poll.shutdownOrdered() ? QStringLiteral("the PLC ordered the power-off")
                      : endedBySignal          ? QStringLiteral("signal %1").arg(endedBySignal)
                                               : QStringLiteral("the window was closed");
  LogLine(QStringLiteral("the station ends with exit code %1 (%2)").arg(code).arg(why));
  return code;
}

}  // namespace velta
