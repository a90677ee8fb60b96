#pragma once
// The program's life from building the window to the exit code:
//  1. the window is built: Timer1 armed (no ticks yet), ExcelApplication1 connected;
//     a failed connection shows "Application Error" and ends with exit code 1, the
//     window never shown;
//  2. FormCreate under the general error display; then the window is shown and the
//     200 ms ticks begin;
//  3. the event loop, until the window is closed (SIGTERM and SIGHUP close it too) or
//     the program asked to end;
//  4. clean-up: window hidden and destroyed (FormDestroy, Timer1 stops), Table1 and
//     Table2 closed and ExcelApplication1 let go, then PlcServer released; exit code 0,
//     or kExitTickFailed when a poll tick failed and ended the program (so a supervisor
//     can tell it from a normal end).
// UI thread; needs a QApplication.
#include <functional>

#include "app/station.h"

namespace velta {

class TForm1;

struct ProgramHooks {
  // Runs once the window exists, before FormCreate (the program attaches its dialogs).
  std::function<void(Station&, TForm1&)> windowBuilt;
  // Runs just before the event loop starts.
  std::function<void(Station&, TForm1&)> running;
};

inline constexpr int kExitTickFailed = 2;

int RunProgram(const PlatformServices& services, const ProgramHooks& hooks = {});

}  // namespace velta
