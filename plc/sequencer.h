#pragma once
// The test-cycle sequencer: turns the PLC's handshake bits into stored test records.
// Runs once per poll tick (step 4) on the UI thread, with no error handling of its own:
// any failure (server call, item test, data file) goes to the tick's guard.
#include "platform/clock.h"
#include "platform/plc_item_server.h"
#include "records/daily_file.h"
#include "ui/form_state.h"

namespace velta {

struct TestCycleContext {
  PlcServerRef& PlcServer;
  const RegionalSettings& regional;  // for the item test of text values
  DailyFileContext dailyFile;        // Table1, the panels, the clock, the data folder
  // The readouts came from a good refresh of the link's present session (the poll
  // cycle tells); otherwise a phase bit at 1 is left for a later tick, unacknowledged.
  bool readoutsCapturable;
};

// Daily file check (M0), phases 1-4 (M2..M5), end of piece (M6), transfer off (M0).
//
// A phase is captured only from readouts that came over the link as it is now: a phase
// bit found at 1 while they do not (the first tick after start-up, "PLC BAĞLAN" or a
// link gap) stays unacknowledged for that tick; the PLC keeps waiting and the next tick
// captures it with fresh readings. One record per piece stays the rule.
//
// Day change: when data transfer is on and Table1 still holds an earlier day's file
// (opened by name), today's file is created when missing (without a message) and
// Table1 switches to it, keeping the PLC values panel, so that a piece whose first
// phase came before midnight is stored whole in the new day's file. A file the
// operator chose in the dialog is left for today's as before, and the panel cleared.
void RunTestCycle(const TestCycleContext& ctx);

}  // namespace velta
