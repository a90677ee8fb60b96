#pragma once
// The test-cycle sequencer: turns the PLC's handshake bits into stored test records.
// Runs once per poll tick (step 4) on the UI thread, with no error handling of its own:
// any failure (server call, item test, data file) goes to the tick's guard.
#include <QString>
#include <functional>

#include "platform/clock.h"
#include "platform/plc_item_server.h"
#include "records/daily_file.h"
#include "records/piece_journal.h"
#include "platform/form_state.h"

namespace velta {

// What the sequencer keeps between ticks about a piece that today's file could not take.
struct StoreTrouble {
  bool told = false;   // the operator has been told of the present trouble
  int failures = 0;    // failed attempts since the last good store or opening
  QString lastReason;  // the last failure written to the log
};

// Where the sequencer's words go. A box must wait until the tick is over (the poll goes
// on while the operator reads it); the log is one line for the plant engineer.
struct SequencerOutlet {
  std::function<void(const QString& text)> tellOperatorAfterTick;
  std::function<void(const QString& line)> log;
};

// What the sequencer keeps between ticks about the piece in progress and its journal.
struct PieceInProgress {
  bool journalLookedAt = false;  // the journal left by the last run has been looked at
  bool restored = false;         // the panel holds a piece from that journal that the PLC
                                 // has not gone on with yet
  int restoredPhases = 0;
  bool journaled = false;        // the journal file holds the panel's piece
  // From a restored journal written just before its append (see JournaledPiece).
  QString storingInto;
  qint64 lastSiranoBefore = -1;
};

struct TestCycleContext {
  PlcServerRef& PlcServer;
  const RegionalSettings& regional;  // for the item test of text values
  DailyFileContext dailyFile;        // Table1, the panels, the clock, the data folder
  // The readouts came from a good refresh of the link's present session (the poll
  // cycle tells); otherwise a phase bit at 1 is left for a later tick, unacknowledged.
  bool readoutsCapturable;
  StoreTrouble& trouble;
  const SequencerOutlet& outlet;
  PieceJournal& journal;
  PieceInProgress& piece;
};

// Daily file check (M0), phases 1-4 (M2..M5), end of piece (M6), transfer off (M0).
//
// A phase is captured only from readouts that came over the link as it is now: a phase
// bit found at 1 while they do not (the first tick after start-up, "PLC BAĞLAN" or a
// link gap) stays unacknowledged for that tick; the PLC keeps waiting and the next tick
// captures it with fresh readings. One record per piece stays the rule.
//
// A piece that today's file cannot take (a folder or file that cannot be written, no
// room on the disk, a file that cannot be opened) is never dropped: M6 stays
// unacknowledged and the panel keeps the piece, so the PLC waits; every later tick
// tries again (reopening or creating today's file when Table1 is closed), and the piece
// is stored exactly once when the cause is gone. The operator is told once per trouble
// (a box after the tick, naming the file and the reason); a today's file that is not
// one of this station's is kept aside and a new one made, with a box naming both.
//
// The piece in progress survives a crash: each captured phase is written to the piece
// journal (synced) before its acknowledgement, the journal is read back at the first
// tick after start-up into the panel, and removed once the piece is stored (before M6
// is acknowledged). A restored piece goes on when the PLC goes on with it: its next
// phase, the phase it had last (acknowledged or not), or M6 after all four. A journal
// that cannot be read, that was written on another day, or whose piece the PLC does not
// go on with (another phase, M6 too early, transfer off) is kept aside under a name that
// says so, the operator told; it is never stored. A restored piece found already in the
// file (the station went down between its append and the journal's removal) is not
// stored again.
//
// Day change: when data transfer is on and Table1 still holds an earlier day's file
// (opened by name), today's file is created when missing (without a message) and
// Table1 switches to it, keeping the PLC values panel, so that a piece whose first
// phase came before midnight is stored whole in the new day's file. A file the
// operator chose in the dialog is left for today's as before, and the panel cleared.
void RunTestCycle(const TestCycleContext& ctx);

}  // namespace velta
