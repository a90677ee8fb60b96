#pragma once
// A run of the station's logic (Station: FormCreate, then one poll tick per 200 ms of
// simulated time) against the simulated machine on a loopback peer (Modbus TCP or the
// native protocol) with link faults, on a fast clock: the station's wall clock and the
// machine's time are one simulated time line, moved on per tick; after each machine step
// the run waits only until the item server shows what the machine holds (or has seen the
// link go down). Real data files in a station root; every record checked afterwards
// against what the machine held. Shared by velta-piece-run and its test. One thread (it
// is the station's UI thread); needs a QCoreApplication.
#include <QDateTime>
#include <QString>
#include <functional>
#include <string>

#include "tools/piece_run/piece_truth.h"
#include "tools/piece_run/process_figures.h"

namespace velta::piecerun {

struct Options {
  int pieces = 10000;       // pieces to finish (with hours: at least these)
  bool modbus = true;       // else the native protocol
  int faultEvery = 50;      // a link fault every this many pieces (0: none)
  quint64 seed = 1;         // the machine's and the faults' seed
  double hours = 0;         // > 0: a soak of this many simulated hours from 2026-12-09 12:00
  QDateTime start;          // another first instant (invalid: 2026-12-09, 12:00 soak, 06:00 else)
  QString root;             // station root; empty: a temporary folder, removed afterwards
  std::function<void(const std::string& line)> out;  // progress and fault lines (null: stdout)
};

struct Result {
  int piecesFinished = 0;
  int faultsMade = 0;
  int stalls = 0;          // waits for the item server that ran out (the run's own trouble)
  int tickFailures = 0;    // poll ticks that failed (the program would have ended)
  int operatorBoxes = 0;   // boxes the station showed after start-up
  int stationLogLines = 0;
  quint64 linkSessions = 0;  // good link sessions the item server opened (1 + reconnects)
  int ticksLinkDown = 0;     // ticks the station ran with the link down
  RecordCheck records;
  double simulatedHours = 0;
  double seconds = 0;      // real time of the run
  bool soak = false;
  ProcessFigures warm, end;  // soak: after the warm-up and at the end
  bool good() const;       // everything stored once and right; soak: figures steady
  std::string why;         // when not good, what failed
};

Result run(const Options& options);
// The figures, one per line, as the tool prints them.
std::string summary(const Options& options, const Result& result);

}  // namespace velta::piecerun
