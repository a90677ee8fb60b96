// The station program for the whole-station crash test: the program's own life
// (RunProgram: the window offscreen, Timer1's 200 ms ticks, FormCreate, clean-up), the
// real item server on the station root's project file and real data files. Only what a
// test cannot have stands in: the operator's boxes are answered at once, the spreadsheet
// program records, and the PLC's power-off order is only noted. Prints "running" once
// the event loop starts; the station's log goes to stderr as in the program.
#include <QApplication>
#include <cstdio>
#include <memory>

#include "app/program.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/itemserver/item_server.h"
#include "platform/qt_termination.h"
#include "platform/spreadsheet/fakes/recording_spreadsheet.h"

int main(int argc, char** argv) {
  using namespace velta;
  QApplication app(argc, argv);
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  QtTermination termination;
  SystemClock clock;
  const DriveMap drives = DriveMap::fromEnvironment();
  registerItemServer(registry, drives);
  const auto spreadsheet = std::make_shared<RecordingSpreadsheet>();
  spreadsheet->registerIn(registry);
  ProgramHooks hooks;
  hooks.running = [](Station&, TForm1&) {
    std::printf("running\n");
    std::fflush(stdout);
  };
  return RunProgram({dialogs, registry, shutdown, termination, clock, RegionalSettings::fromSystem(), drives}, hooks);
}
