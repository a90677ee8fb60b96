#pragma once
// What the simulated machine did with each piece, noted as it happened (the registers it
// held when it set each phase bit, the simulated times of its handshake), and the check of
// the stored records against it. Room for every piece is taken and touched up front, so
// noting a piece never grows the process. UI thread (the run's one thread).
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <map>
#include <string>
#include <vector>

#include "platform/itemserver/wire/sim/plc_memory.h"

namespace velta::piecerun {

struct PieceTruth {
  quint16 air[4]{}, width[4]{}, length[4]{};  // R5, R7, R8 at M2..M5 set
  quint32 load[4]{};                          // R10/R11
  qint64 m2SetMs = -1, m2AckedMs = -1, m6SetMs = -1, finishedMs = -1;  // simulated ms from the start
};

struct RecordCheck {
  int records = 0;
  int lost = 0;       // pieces the machine finished that no record holds
  int doubled = 0;    // records of a piece stored before
  int wrong = 0;      // records with a value other than the machine held for its phase
  int wrongValues = 0;
  int wrongFile = 0;  // records in another day's file than the day their piece finished
  int wrongSerial = 0;  // serial numbers whose date and time are not when phase 1 was captured
  std::vector<std::string> firstProblems;  // the first few, for the report
  std::map<QString, int> perFile;          // records per data file name
  bool good() const { return lost == 0 && doubled == 0 && wrong == 0 && wrongFile == 0 && wrongSerial == 0; }
};

class PieceLedger {
 public:
  // start: the simulated instant of 0 ms; maxPieces: room taken up front.
  PieceLedger(QDateTime start, int maxPieces);

  int capacity() const { return static_cast<int>(pieces_.size()) - 1; }
  // From the machine's bit observer: the memory as the machine set bit for piece.
  void bitSet(int piece, int bit, const PlcMemory& memory, qint64 simMs);
  void acknowledged(int piece, int bit, qint64 simMs);
  void finished(int piece, qint64 simMs);
  const PieceTruth& piece(int n) const { return pieces_.at(static_cast<std::size_t>(n)); }
  QDateTime when(qint64 simMs) const { return start_.addMSecs(simMs); }

  // Every data file of the folder (T*.tkv) in date order, each record held against the
  // piece its load's grams and its place name (the next piece with those grams).
  RecordCheck check(const QString& dataFolder, int piecesFinished) const;

 private:
  QDateTime start_;
  std::vector<PieceTruth> pieces_;  // by piece number, [0] unused
};

}  // namespace velta::piecerun
